// The runtime: its lifetime, message processing, the screen, the clipboard,
// the program's folder and the window-manager calls.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/forms/forms.h"
#include "platform/forms/internal.h"

namespace forms {

namespace {

detail::Runtime* g_runtime = nullptr;

// The desktop's handle: far above any window id a backend hands out, and
// distinct from the insert-after values near 2^32.
constexpr HWND kDesktopWindow = 0x7FFF0001u;
constexpr int kDesktopSize = 16;

// How often Form_Resize may run for one form in one round of message
// processing. A handler that keeps changing the size would otherwise never
// let DoEvents return; the rest is reported at the next round.
constexpr int kResizeRounds = 8;

Form* formOfWindow(display::WindowId id) {
  detail::Runtime* rt = g_runtime;
  if (rt == nullptr || id == 0) return nullptr;
  for (Form* f : rt->forms) {
    if (f->window() != nullptr && f->window()->id() == id) return f;
  }
  return nullptr;
}

bool isLoaded(const Form* f) {
  detail::Runtime* rt = g_runtime;
  return rt != nullptr && std::find(rt->forms.begin(), rt->forms.end(), f) != rt->forms.end();
}

// Every form unloads, the last loaded first, as their windows would close
// one by one.
void unloadAll() {
  while (g_runtime != nullptr && !g_runtime->forms.empty()) {
    Form* f = g_runtime->forms.back();
    f->Unload();
    if (isLoaded(f)) FormsInternals::teardown(*f, false);
  }
}

void dispatch(const display::Event& e) {
  if (e.type == display::Event::Type::Quit) {
    // The whole program is asked to end. A handler that is running (a test
    // inside its message processing) finds the forms gone and cannot load
    // them again.
    if (g_runtime != nullptr) g_runtime->ending = true;
    unloadAll();
    return;
  }
  Form* f = formOfWindow(e.window);
  if (f != nullptr) FormsInternals::handleEvent(*f, e);
}

// Runs the resize reports and repaints of every loaded form. Handlers that
// run here may load or unload forms, so the list is walked by copy and
// every form is checked again before use.
void settle() {
  if (g_runtime == nullptr) return;
  const std::vector<Form*> forms = g_runtime->forms;
  for (Form* f : forms) {
    for (int round = 0; round < kResizeRounds; ++round) {
      if (!isLoaded(f) || !FormsInternals::impl(*f).reportResize()) break;
    }
  }
  const std::vector<Form*> now = g_runtime != nullptr ? g_runtime->forms : std::vector<Form*>{};
  for (Form* f : now) {
    if (isLoaded(f)) f->repaint();
  }
}

std::string executableFolder() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash);
}

}  // namespace

detail::Runtime* detail::runtime() { return g_runtime; }

detail::Runtime& detail::requireRuntime() {
  if (g_runtime == nullptr) throw RuntimeError("the forms runtime is not started");
  return *g_runtime;
}

void startRuntime(display::Display& display, Clock& clock, std::string appPath) {
  if (g_runtime != nullptr) stopRuntime();
  auto* rt = new detail::Runtime();
  rt->display = &display;
  rt->clock = &clock;
  while (appPath.size() > 1 && appPath.back() == '/') appPath.pop_back();
  rt->appPath = std::move(appPath);
  rt->desktopPixels.assign(static_cast<std::size_t>(kDesktopSize) * kDesktopSize, 0);
  g_runtime = rt;
}

void stopRuntime() {
  detail::Runtime* rt = g_runtime;
  if (rt == nullptr) return;
  while (!rt->forms.empty()) FormsInternals::teardown(*rt->forms.back(), false);
  for (HDC dc : rt->desktopDcs) gdi::DeleteDC(dc);
  rt->display->setCursor(display::Cursor::Default);
  g_runtime = nullptr;
  delete rt;
}

bool runtimeStarted() { return g_runtime != nullptr; }

display::Display& currentDisplay() { return *detail::requireRuntime().display; }

Clock& currentClock() {
  static RealClock realClock;
  return g_runtime != nullptr ? *g_runtime->clock : realClock;
}

void DoEvents() {
  if (g_runtime == nullptr) return;
  display::Event e;
  // The display is asked again after every event: a handler may have
  // stopped the runtime.
  while (g_runtime != nullptr && g_runtime->display->pollEvent(&e)) dispatch(e);
  settle();
}

void setStartupForm(Form* form) {
  if (g_runtime != nullptr) g_runtime->startupForm = form;
}

bool programEnding() { return g_runtime != nullptr && g_runtime->ending; }

void runMessageLoop() {
  constexpr int kWaitMs = 50;
  while (g_runtime != nullptr && !g_runtime->forms.empty()) {
    if (g_runtime->ending) {
      // A form a handler left loaded (it ran on after the main window had
      // closed) must not keep the program alive without a main window.
      unloadAll();
      break;
    }
    Clock& clock = *g_runtime->clock;
    const double before = clock.now();
    display::Event e;
    if (g_runtime->display->waitEvent(&e, kWaitMs)) {
      dispatch(e);
    } else if (clock.now() - before < 0.001) {
      // A display that cannot wait (the headless one returns at once) would
      // turn this loop into a busy spin; the clock's sleep stands in.
      clock.sleep(kWaitMs);
    }
    DoEvents();
  }
}

// ---- program folder, screen, clipboard -------------------------------------

std::string App::Path() {
  if (g_runtime != nullptr && !g_runtime->appPath.empty()) {
    return g_runtime->appPath == "/" ? std::string() : g_runtime->appPath;
  }
  static const std::string folder = executableFolder();
  return folder;
}

float Screen::Width() {
  return static_cast<float>(detail::requireRuntime().display->screenWidth()) * kTwipsPerPixel;
}

float Screen::Height() {
  return static_cast<float>(detail::requireRuntime().display->screenHeight()) * kTwipsPerPixel;
}

float Screen::TwipsPerPixelX() { return kTwipsPerPixel; }
float Screen::TwipsPerPixelY() { return kTwipsPerPixel; }

int Screen::MousePointer() { return g_runtime != nullptr ? g_runtime->mousePointer : 0; }

void Screen::setMousePointer(int pointer) {
  detail::Runtime& rt = detail::requireRuntime();
  rt.mousePointer = pointer;
  // 11 is the hourglass; every other pointer shows as the default arrow,
  // which is all this program uses.
  rt.display->setCursor(pointer == 11 ? display::Cursor::Wait : display::Cursor::Default);
}

void Clipboard::Clear() { detail::requireRuntime().display->clearClipboard(); }

void Clipboard::SetText(const std::string& windows1252) {
  detail::requireRuntime().display->setClipboardText(windows1252ToUtf8(windows1252));
}

// ---- window-manager calls ----------------------------------------------------

gdi::BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy,
                       std::uint32_t flags) {
  Form* f = formOfWindow(hwnd);
  if (f == nullptr) return gdi::FALSE;
  auto& im = FormsInternals::impl(*f);
  display::Window& w = *im.window;
  if ((flags & SWP_NOZORDER) == 0) {
    if (insertAfter == HWND_TOPMOST) {
      w.setTopmost(true);
    } else if (insertAfter == HWND_NOTOPMOST) {
      w.setTopmost(false);
    } else if (insertAfter == HWND_TOP) {
      w.raise();
    }
  }
  if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
    // The call speaks of the outer rectangle; the window is placed by its
    // client area, which the frame surrounds.
    display::Rect r = im.client;
    if ((flags & SWP_NOMOVE) == 0) {
      r.x = x + im.frameLeft();
      r.y = y + im.frameTop();
    }
    if ((flags & SWP_NOSIZE) == 0) {
      r.width = std::max(1, cx - w.frameWidth());
      r.height = std::max(1, cy - w.frameHeight());
    }
    w.setClientRect(r);
    im.setClient(r);
  }
  if ((flags & SWP_SHOWWINDOW) != 0) w.setVisible(true);
  if ((flags & SWP_HIDEWINDOW) != 0) w.setVisible(false);
  if ((flags & SWP_NOACTIVATE) == 0) {
    w.raise();
    w.focus();
  }
  return gdi::TRUE;
}

gdi::BOOL BringWindowToTop(HWND hwnd) {
  Form* f = formOfWindow(hwnd);
  if (f == nullptr) return gdi::FALSE;
  f->window()->raise();
  return gdi::TRUE;
}

gdi::BOOL SetForegroundWindow(HWND hwnd) {
  Form* f = formOfWindow(hwnd);
  if (f == nullptr) return gdi::FALSE;
  f->window()->raise();
  f->window()->focus();
  return gdi::TRUE;
}

HWND GetDesktopWindow() { return kDesktopWindow; }

HDC GetDC(HWND hwnd) {
  detail::Runtime* rt = g_runtime;
  if (rt == nullptr) return 0;
  if (hwnd == 0 || hwnd == kDesktopWindow) {
    gdi::PixelView v;
    v.top = reinterpret_cast<std::uint8_t*>(rt->desktopPixels.data());
    v.stride = kDesktopSize * 4;
    v.width = kDesktopSize;
    v.height = kDesktopSize;
    v.format = gdi::PixelFormat::Xrgb32;
    HDC dc = gdi::CreateViewDC(v, gdi::POINT{0, 0}, gdi::RECT{0, 0, kDesktopSize, kDesktopSize});
    if (dc != 0) rt->desktopDcs.push_back(dc);
    return dc;
  }
  Form* f = formOfWindow(hwnd);
  if (f == nullptr) return 0;
  return FormsInternals::createWindowDc(*f);
}

int ReleaseDC(HWND hwnd, HDC hdc) {
  (void)hwnd;  // the DC alone says where it came from
  detail::Runtime* rt = g_runtime;
  if (rt == nullptr || hdc == 0) return 0;
  auto release = [hdc](std::vector<HDC>& dcs) {
    auto it = std::find(dcs.begin(), dcs.end(), hdc);
    if (it == dcs.end()) return false;
    dcs.erase(it);
    gdi::DeleteDC(hdc);
    return true;
  };
  if (release(rt->desktopDcs)) return 1;
  for (Form* f : rt->forms) {
    if (release(FormsInternals::impl(*f).windowDcs)) return 1;
  }
  return 0;
}

}  // namespace forms

// The SDL2 display: one SDL window per form, shown through SDL's software
// framebuffer, with SDL's events translated for the forms runtime.

#include <SDL.h>

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/display/display.h"
#include "platform/display/sdl_surface.h"
#include "platform/display/x11_frame.h"

namespace display {

namespace {

Uint32 sdlFormatOf(gdi::PixelFormat f) {
  // Our Bgr24 stores blue, green, red bytes: SDL names that byte order BGR24.
  return f == gdi::PixelFormat::Bgr24 ? SDL_PIXELFORMAT_BGR24 : SDL_PIXELFORMAT_XRGB8888;
}

bool validView(const gdi::PixelView& v) { return v.top != nullptr && v.width > 0 && v.height > 0; }

// SDL reports errors with a trailing newline now and then; a caller prints
// our reason as one line.
std::string oneLine(std::string s) {
  std::replace(s.begin(), s.end(), '\n', ' ');
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// SDL numbers the buttons left 1, middle 2, right 3; ours are left 1,
// right 2, middle 3, then the two extra buttons.
int buttonOf(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return sdlButton;
  }
}

Key keyOf(SDL_Keycode sym) {
  switch (sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return Key::Enter;
    case SDLK_SPACE: return Key::Space;
    case SDLK_TAB: return Key::Tab;
    case SDLK_ESCAPE: return Key::Escape;
    case SDLK_LEFT: return Key::Left;
    case SDLK_RIGHT: return Key::Right;
    case SDLK_UP: return Key::Up;
    case SDLK_DOWN: return Key::Down;
    default: return Key::Other;
  }
}

bool g_displayOpen = false;  // SDL's video state is global: one display per process

// SIGINT and SIGTERM ask the program to quit: the handler only notes the
// signal, and the event loop turns it into a Quit event, so the program
// ends through its forms like a closed window. The handler is reset by the
// first signal, so a second one ends the program at once.
volatile sig_atomic_t g_quitSignal = 0;
bool g_quitReported = false;

extern "C" void noteQuitSignal(int signal) { g_quitSignal = signal; }

void installQuitSignals() {
  struct sigaction sa {};
  sa.sa_handler = noteQuitSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

// How long a new framed window waits for the window manager to tell its
// frame; a manager that announces the request answers within milliseconds.
constexpr int kFrameRequestMs = 500;
// How long a change between the normal and the maximised state may take a
// window manager.
constexpr Uint64 kStateChangeMs = 500;
// How long the window events must pause before a state change counts as done.
constexpr Uint64 kStateSettleMs = 60;

class SdlDisplay;

class SdlWindow : public Window {
 public:
  SdlWindow(SdlDisplay* owner, SDL_Window* window, bool topmost)
      : owner_(owner), window_(window), id_(SDL_GetWindowID(window)), topmost_(topmost) {}
  ~SdlWindow() override;

  WindowId id() const override { return id_; }
  void setTitle(const std::string& utf8) override {
    if (window_ != nullptr) SDL_SetWindowTitle(window_, utf8.c_str());
  }
  void setClientRect(const Rect& r) override;
  Rect clientRect() const override;
  int frameWidth() const override;
  int frameHeight() const override;
  int frameLeft() const override;
  int frameTop() const override;
  void setVisible(bool visible) override;
  bool visible() const override { return visible_; }
  void setTopmost(bool topmost) override;
  void setState(WindowState s) override;
  WindowState state() const override;
  void raise() override;
  void focus() override;
  bool hasFocus() const override;
  void present(const gdi::PixelView& pixels) override;
  void setIcon(const gdi::PixelView& small32, const gdi::PixelView& large48) override;

 private:
  friend class SdlDisplay;
  bool borders(int* top, int* left, int* bottom, int* right) const;

  SdlDisplay* owner_;
  SDL_Window* window_;
  WindowId id_;
  bool topmost_;
  bool visible_ = false;
  // The frame the window manager announced before the window was first
  // shown; SDL knows the frame only from then on.
  FrameExtents announced_;
};

class SdlDisplay : public Display {
 public:
  SdlDisplay() { g_displayOpen = true; }
  ~SdlDisplay() override {
    // SDL_Quit destroys every SDL window; windows still alive must not touch
    // theirs afterwards.
    for (SdlWindow* w : windows_) {
      SDL_DestroyWindow(w->window_);
      w->window_ = nullptr;
      w->owner_ = nullptr;
    }
    if (waitCursor_ != nullptr) SDL_FreeCursor(waitCursor_);
    if (arrowCursor_ != nullptr) SDL_FreeCursor(arrowCursor_);
    SDL_Quit();
    g_displayOpen = false;
  }

  std::unique_ptr<Window> createWindow(const WindowSpec& spec) override {
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (spec.borderless) flags |= SDL_WINDOW_BORDERLESS;
    if (spec.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    if (spec.resizable) flags |= SDL_WINDOW_RESIZABLE;
    SDL_Window* sdl = SDL_CreateWindow(spec.title.c_str(), spec.client.x, spec.client.y,
                                       std::max(spec.client.width, 1),
                                       std::max(spec.client.height, 1), flags);
    if (sdl == nullptr) return nullptr;
    auto w = std::make_unique<SdlWindow>(this, sdl, spec.topmost);
    if (!spec.borderless) requestFrameExtents(sdl, kFrameRequestMs, &w->announced_);
    windows_.push_back(w.get());
    toTop(w.get());
    return w;
  }

  bool pollEvent(Event* out) override {
    if (g_quitSignal != 0 && !g_quitReported) {
      g_quitReported = true;
      *out = Event{};
      out->type = Event::Type::Quit;
      return true;
    }
    // Every call pumps SDL, which also answers other programs' requests for
    // the clipboard we own: the X clipboard is served by this loop.
    SDL_Event e;
    while (SDL_PollEvent(&e) != 0) {
      if (translate(e, out)) return true;
    }
    return false;
  }

  bool waitEvent(Event* out, int timeoutMs) override {
    if (pollEvent(out)) return true;
    // SDL wakes up for events we drop (text input, mouse wheel...); keep
    // waiting for the rest of the time instead of returning early.
    const Uint64 deadline = SDL_GetTicks64() + static_cast<Uint64>(std::max(timeoutMs, 0));
    for (;;) {
      const Uint64 now = SDL_GetTicks64();
      if (now >= deadline) return false;
      // A signal does not wake SDL's wait: wait in short slices so that a
      // quit by signal is noticed promptly.
      SDL_Event e;
      const int slice = static_cast<int>(std::min<Uint64>(deadline - now, 10));
      if (SDL_WaitEventTimeout(&e, slice) == 0) {
        if (pollEvent(out)) return true;
        continue;
      }
      if (translate(e, out)) return true;
    }
  }

  int screenWidth() const override { return bounds().w; }
  int screenHeight() const override { return bounds().h; }

  void setCursor(Cursor c) override {
    cursor_ = c;
    SDL_Cursor*& slot = c == Cursor::Wait ? waitCursor_ : arrowCursor_;
    if (slot == nullptr) {
      slot = SDL_CreateSystemCursor(c == Cursor::Wait ? SDL_SYSTEM_CURSOR_WAIT
                                                      : SDL_SYSTEM_CURSOR_ARROW);
    }
    // Some servers have no such cursor; the pointer then keeps its shape,
    // which only costs the user a visual hint.
    if (slot != nullptr) SDL_SetCursor(slot);
  }
  Cursor cursor() const override { return cursor_; }

  void setClipboardText(const std::string& utf8) override { SDL_SetClipboardText(utf8.c_str()); }
  void clearClipboard() override { SDL_SetClipboardText(""); }
  std::string clipboardText() const override {
    char* text = SDL_GetClipboardText();
    if (text == nullptr) return {};
    std::string result(text);
    SDL_free(text);
    return result;
  }

  // Stacking as we asked for it, bottom to top. A window manager keeps the
  // topmost band above the rest by itself; without one (a bare X server)
  // nothing does, so we raise the topmost windows again whenever an
  // ordinary window was raised above them.
  void toTop(SdlWindow* w) {
    order_.erase(std::remove(order_.begin(), order_.end(), w), order_.end());
    auto firstTopmost = std::find_if(order_.begin(), order_.end(),
                                     [](const SdlWindow* o) { return o->topmost_; });
    order_.insert(w->topmost_ ? order_.end() : firstTopmost, w);
  }

  void restoreBands() {
    for (SdlWindow* o : order_) {
      if (o->topmost_ && o->visible_ && o->window_ != nullptr) SDL_RaiseWindow(o->window_);
    }
  }

  // Called before `leaving` is hidden or destroyed. Without a window manager
  // the X server drops the focus of a vanishing window on the floor; we hand
  // it to the window on top, as the headless display does, so the main
  // window gets the keyboard back when the test window closes.
  void handOverFocus(SdlWindow* leaving) {
    const bool hadFocus =
        focusTarget_ == leaving ||
        (leaving->window_ != nullptr &&
         (SDL_GetWindowFlags(leaving->window_) & SDL_WINDOW_INPUT_FOCUS) != 0);
    if (focusTarget_ == leaving) focusTarget_ = nullptr;
    if (!hadFocus) return;
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
      SdlWindow* o = *it;
      if (o != leaving && o->visible_ && o->window_ != nullptr &&
          (SDL_GetWindowFlags(o->window_) & SDL_WINDOW_MINIMIZED) == 0) {
        o->focus();
        return;
      }
    }
  }

  void forget(SdlWindow* w) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end());
    order_.erase(std::remove(order_.begin(), order_.end(), w), order_.end());
    if (focusTarget_ == w) focusTarget_ = nullptr;
  }

  void focused(SdlWindow* w) { focusTarget_ = w; }

 private:
  SDL_Rect bounds() const {
    SDL_Rect r{0, 0, 0, 0};
    if (SDL_GetDisplayBounds(0, &r) != 0) r = SDL_Rect{0, 0, 0, 0};
    return r;
  }

  SdlWindow* find(Uint32 sdlId) const {
    for (SdlWindow* w : windows_) {
      if (w->id_ == sdlId) return w;
    }
    return nullptr;
  }

  // Maps one SDL event; false for events the forms runtime has no use for
  // and for events of windows that are already gone.
  bool translate(const SDL_Event& e, Event* out) {
    Event ev;
    Uint32 windowId = 0;
    switch (e.type) {
      case SDL_QUIT:
        ev.type = Event::Type::Quit;
        *out = ev;
        return true;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        ev.type = e.type == SDL_MOUSEBUTTONDOWN ? Event::Type::MouseDown : Event::Type::MouseUp;
        windowId = e.button.windowID;
        ev.x = e.button.x;
        ev.y = e.button.y;
        ev.button = buttonOf(e.button.button);
        break;
      case SDL_MOUSEMOTION:
        ev.type = Event::Type::MouseMove;
        windowId = e.motion.windowID;
        ev.x = e.motion.x;
        ev.y = e.motion.y;
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        ev.type = e.type == SDL_KEYDOWN ? Event::Type::KeyDown : Event::Type::KeyUp;
        windowId = e.key.windowID;
        ev.key = keyOf(e.key.keysym.sym);
        ev.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
        break;
      case SDL_WINDOWEVENT:
        windowId = e.window.windowID;
        switch (e.window.event) {
          case SDL_WINDOWEVENT_CLOSE: ev.type = Event::Type::CloseRequested; break;
          case SDL_WINDOWEVENT_SIZE_CHANGED:
            ev.type = Event::Type::Resized;
            ev.width = e.window.data1;
            ev.height = e.window.data2;
            break;
          case SDL_WINDOWEVENT_MOVED:
            ev.type = Event::Type::Moved;
            ev.x = e.window.data1;
            ev.y = e.window.data2;
            break;
          case SDL_WINDOWEVENT_MINIMIZED:
            ev.type = Event::Type::StateChanged;
            ev.state = WindowState::Minimized;
            break;
          case SDL_WINDOWEVENT_MAXIMIZED:
            ev.type = Event::Type::StateChanged;
            ev.state = WindowState::Maximized;
            break;
          case SDL_WINDOWEVENT_RESTORED:
            ev.type = Event::Type::StateChanged;
            ev.state = WindowState::Normal;
            break;
          case SDL_WINDOWEVENT_FOCUS_GAINED: ev.type = Event::Type::FocusGained; break;
          case SDL_WINDOWEVENT_FOCUS_LOST: ev.type = Event::Type::FocusLost; break;
          case SDL_WINDOWEVENT_EXPOSED: ev.type = Event::Type::Exposed; break;
          default: return false;
        }
        break;
      default:
        return false;
    }
    SdlWindow* w = find(windowId);
    if (w == nullptr) return false;
    if (ev.type == Event::Type::FocusGained) {
      // The user may have activated the window through the window manager,
      // which raises it: keep our idea of the stacking in step.
      focusTarget_ = w;
      toTop(w);
    } else if (ev.type == Event::Type::FocusLost && focusTarget_ == w) {
      focusTarget_ = nullptr;
    }
    ev.window = w->id_;
    *out = ev;
    return true;
  }

  std::vector<SdlWindow*> windows_;
  std::vector<SdlWindow*> order_;  // bottom to top
  SdlWindow* focusTarget_ = nullptr;
  Cursor cursor_ = Cursor::Default;
  SDL_Cursor* waitCursor_ = nullptr;
  SDL_Cursor* arrowCursor_ = nullptr;
};

SdlWindow::~SdlWindow() {
  if (owner_ == nullptr) return;
  owner_->handOverFocus(this);
  owner_->forget(this);
  SDL_DestroyWindow(window_);
}

void SdlWindow::setClientRect(const Rect& r) {
  if (window_ == nullptr) return;
  // SDL positions the client area once it knows the frame. Before the first
  // showing it does not, and a window manager places the frame where the
  // window was asked to be: the announced frame is taken off here.
  int top, left, bottom, right;
  const bool sdlKnows = SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) == 0 &&
                        (top | left | bottom | right) != 0;
  const int dx = sdlKnows ? 0 : announced_.left;
  const int dy = sdlKnows ? 0 : announced_.top;
  SDL_SetWindowPosition(window_, r.x - dx, r.y - dy);
  SDL_SetWindowSize(window_, std::max(r.width, 1), std::max(r.height, 1));
}

Rect SdlWindow::clientRect() const {
  Rect r;
  if (window_ == nullptr) return r;
  SDL_GetWindowPosition(window_, &r.x, &r.y);
  SDL_GetWindowSize(window_, &r.width, &r.height);
  return r;
}

bool SdlWindow::borders(int* top, int* left, int* bottom, int* right) const {
  *top = *left = *bottom = *right = 0;
  // The frame is known only once a window manager has decorated the window;
  // until then (and without one) it counts as none.
  if (window_ == nullptr || SDL_GetWindowBordersSize(window_, top, left, bottom, right) != 0) {
    *top = *left = *bottom = *right = 0;
  }
  if ((*top | *left | *bottom | *right) == 0) {
    // Not shown yet: the frame the window manager announced, if any.
    *top = announced_.top;
    *left = announced_.left;
    *bottom = announced_.bottom;
    *right = announced_.right;
  }
  return (*top | *left | *bottom | *right) != 0;
}

int SdlWindow::frameWidth() const {
  int top, left, bottom, right;
  borders(&top, &left, &bottom, &right);
  return left + right;
}

int SdlWindow::frameHeight() const {
  int top, left, bottom, right;
  borders(&top, &left, &bottom, &right);
  return top + bottom;
}

int SdlWindow::frameLeft() const {
  int top, left, bottom, right;
  borders(&top, &left, &bottom, &right);
  return left;
}

int SdlWindow::frameTop() const {
  int top, left, bottom, right;
  borders(&top, &left, &bottom, &right);
  return top;
}

void SdlWindow::setVisible(bool visible) {
  if (window_ == nullptr || visible == visible_) return;
  if (visible) {
    visible_ = true;
    SDL_ShowWindow(window_);
    // Mapping a window puts it on top; the topmost band must stay above.
    owner_->toTop(this);
    if (!topmost_) owner_->restoreBands();
  } else {
    owner_->handOverFocus(this);
    visible_ = false;
    SDL_HideWindow(window_);
  }
}

void SdlWindow::setTopmost(bool topmost) {
  if (window_ == nullptr || topmost == topmost_) return;
  topmost_ = topmost;
  SDL_SetWindowAlwaysOnTop(window_, topmost ? SDL_TRUE : SDL_FALSE);
  owner_->toTop(this);
  if (topmost) {
    if (visible_) SDL_RaiseWindow(window_);
  } else {
    owner_->restoreBands();
  }
}

void SdlWindow::setState(WindowState s) {
  if (window_ == nullptr) return;
  int oldWidth = 0, oldHeight = 0;
  SDL_GetWindowSize(window_, &oldWidth, &oldHeight);
  const WindowState old = state();
  switch (s) {
    case WindowState::Normal: SDL_RestoreWindow(window_); break;
    case WindowState::Minimized: SDL_MinimizeWindow(window_); break;
    case WindowState::Maximized: SDL_MaximizeWindow(window_); break;
  }
  // A window manager carries out a maximise or a restore some milliseconds
  // later. The caller reads the new rectangle at once (and a restored form
  // sets its size right after, from its position), so wait for the
  // manager's answer: a size or place set while the manager still holds the
  // window maximised is undone, or moves the window into the corner. The
  // answer may come in more than one step (a maximise still on its way, then
  // the restore), so the wait ends when the size has changed and no window
  // event has come for a short while. Without a window manager (no
  // announced frame) nothing answers, and nothing waits.
  const bool resizes = s != WindowState::Minimized && old != WindowState::Minimized && s != old;
  if (!resizes || !visible_ || (announced_.left | announced_.top | announced_.right | announced_.bottom) == 0) return;
  const Uint64 start = SDL_GetTicks64();
  Uint64 lastEvent = start;
  int events = -1;
  bool changed = false;
  while (SDL_GetTicks64() - start < kStateChangeMs) {
    // Pumping moves X events into SDL's queue; the event loop still sees
    // every one of them. Peeking only counts them.
    SDL_PumpEvents();
    const int queued = SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
    const Uint64 now = SDL_GetTicks64();
    if (queued != events) {
      events = queued;
      lastEvent = now;
    }
    int width = 0, height = 0;
    SDL_GetWindowSize(window_, &width, &height);
    changed = changed || width != oldWidth || height != oldHeight;
    if (changed && now - lastEvent >= kStateSettleMs) return;
    SDL_Delay(2);
  }
}

WindowState SdlWindow::state() const {
  if (window_ == nullptr) return WindowState::Normal;
  const Uint32 flags = SDL_GetWindowFlags(window_);
  if ((flags & SDL_WINDOW_MINIMIZED) != 0) return WindowState::Minimized;
  if ((flags & SDL_WINDOW_MAXIMIZED) != 0) return WindowState::Maximized;
  return WindowState::Normal;
}

void SdlWindow::raise() {
  if (window_ == nullptr) return;
  SDL_RaiseWindow(window_);
  owner_->toTop(this);
  if (!topmost_) owner_->restoreBands();
}

void SdlWindow::focus() {
  if (window_ == nullptr || !visible_) return;
  // On X11 this also raises the window; elsewhere it may be unsupported,
  // and the raise that follows is what a user sees either way.
  SDL_SetWindowInputFocus(window_);
  owner_->focused(this);
  raise();
}

bool SdlWindow::hasFocus() const {
  return window_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlWindow::present(const gdi::PixelView& pixels) {
  if (window_ == nullptr) return;
  // SDL hands out a new surface after a resize and the cached one otherwise,
  // so fetching it on every present costs nothing and is always current.
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface == nullptr) return;
  if (copyToSurface(pixels, surface)) SDL_UpdateWindowSurface(window_);
}

void SdlWindow::setIcon(const gdi::PixelView& small32, const gdi::PixelView& large48) {
  if (window_ == nullptr) return;
  // SDL takes one image; the larger one scales down better in task lists.
  const gdi::PixelView& src = validView(large48) ? large48 : small32;
  if (!validView(src)) return;
  // Repack into rows top-down with a positive pitch, as SDL expects.
  const int bpp = gdi::bytesPerPixel(src.format);
  const int pitch = src.width * bpp;
  std::vector<std::uint8_t> packed(static_cast<std::size_t>(pitch) * src.height);
  for (int y = 0; y < src.height; ++y) {
    std::memcpy(packed.data() + static_cast<std::size_t>(y) * pitch,
                src.top + static_cast<std::ptrdiff_t>(y) * src.stride,
                static_cast<std::size_t>(pitch));
  }
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(packed.data(), src.width, src.height,
                                                         bpp * 8, pitch, sdlFormatOf(src.format));
  if (icon == nullptr) return;
  SDL_SetWindowIcon(window_, icon);
  SDL_FreeSurface(icon);
}

}  // namespace

int quitSignal() { return g_quitSignal; }

bool copyToSurface(const gdi::PixelView& src, SDL_Surface* dst) {
  if (dst == nullptr || dst->format == nullptr) return false;
  const bool valid = validView(src);
  const int cols = valid ? std::min(dst->w, static_cast<int>(src.width)) : 0;
  const int rows = valid ? std::min(dst->h, static_cast<int>(src.height)) : 0;
  // Black margins where the view does not reach, so a stale frame never
  // shows at the edge after a resize.
  if (cols < dst->w) {
    SDL_Rect right{cols, 0, dst->w - cols, dst->h};
    SDL_FillRect(dst, &right, SDL_MapRGB(dst->format, 0, 0, 0));
  }
  if (rows < dst->h) {
    SDL_Rect bottom{0, rows, cols, dst->h - rows};
    SDL_FillRect(dst, &bottom, SDL_MapRGB(dst->format, 0, 0, 0));
  }
  if (cols == 0 || rows == 0) return true;
  if (SDL_MUSTLOCK(dst) && SDL_LockSurface(dst) != 0) return false;
  auto* out = static_cast<std::uint8_t*>(dst->pixels);
  const Uint32 surfaceFormat = dst->format->format;
  const bool xrgb = src.format == gdi::PixelFormat::Xrgb32;
  bool ok = true;
  if (xrgb && surfaceFormat == SDL_PIXELFORMAT_XRGB8888) {
    // The common case: one memcpy a row.
    const std::size_t bytes = static_cast<std::size_t>(cols) * 4;
    for (int y = 0; y < rows; ++y) {
      std::memcpy(out + static_cast<std::ptrdiff_t>(y) * dst->pitch,
                  src.top + static_cast<std::ptrdiff_t>(y) * src.stride, bytes);
    }
  } else if (xrgb && surfaceFormat == SDL_PIXELFORMAT_ARGB8888) {
    // Same layout, but our unused byte is 0, which a compositor would take
    // for a fully transparent window: make every pixel opaque.
    for (int y = 0; y < rows; ++y) {
      const std::uint8_t* from = src.top + static_cast<std::ptrdiff_t>(y) * src.stride;
      std::uint8_t* to = out + static_cast<std::ptrdiff_t>(y) * dst->pitch;
      for (int x = 0; x < cols; ++x) {
        std::uint32_t v;
        std::memcpy(&v, from + x * 4, 4);
        v |= 0xFF000000u;
        std::memcpy(to + x * 4, &v, 4);
      }
    }
  } else {
    // Row by row, so that a bottom-up view (negative stride) needs no
    // special case: SDL's converter wants positive pitches.
    const Uint32 srcFormat = sdlFormatOf(src.format);
    const int srcPitch = cols * gdi::bytesPerPixel(src.format);
    for (int y = 0; y < rows && ok; ++y) {
      const std::uint8_t* from = src.top + static_cast<std::ptrdiff_t>(y) * src.stride;
      std::uint8_t* to = out + static_cast<std::ptrdiff_t>(y) * dst->pitch;
      const int rc = SDL_ConvertPixels(cols, 1, srcFormat, from, srcPitch, surfaceFormat, to,
                                       dst->pitch);
      ok = rc == 0;
    }
  }
  if (SDL_MUSTLOCK(dst)) SDL_UnlockSurface(dst);
  return ok;
}

namespace {

// Hints are cleared by SDL_Quit, so they are set before every SDL_Init.
void setHints() {
  // Without an explicit choice SDL would fall back to its offscreen or dummy
  // driver on a machine without a display and the program would run
  // invisibly; asking for the real drivers makes that case fail clearly.
  // Only the driver of the display that is named is tried, so that a
  // failure speaks of that display and not of another one nobody asked for.
  if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
    const bool x11 = std::getenv("DISPLAY") != nullptr;
    const bool wayland = std::getenv("WAYLAND_DISPLAY") != nullptr;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, x11 == wayland ? "x11,wayland" : x11 ? "x11" : "wayland");
  }
  // The software framebuffer presents through shared memory, far cheaper
  // for a full-screen window than uploading a texture on every present.
  // SDL reads this hint when the first window surface is made, so it is
  // adjusted after SDL_Init once the driver is known.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Closing the main window is the forms runtime's decision (its Unload
  // runs first), not SDL's: no synthetic quit when the last window closes.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // The test window covers the screen without being a full-screen window,
  // but keep SDL from minimising anything when the focus moves.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // SDL's own handlers would turn SIGINT and SIGTERM into a quit event we
  // could not tell from any other; ours keep the signal's number.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

// Which display a failed connection tried, for the one-line reason.
std::string displayTried() {
  if (const char* v = std::getenv("SDL_VIDEODRIVER")) return std::string("driver \"") + v + "\"";
  std::string tried;
  if (const char* v = std::getenv("DISPLAY")) tried = std::string("DISPLAY=\"") + v + "\"";
  if (const char* v = std::getenv("WAYLAND_DISPLAY")) {
    tried += (tried.empty() ? "" : ", ") + std::string("WAYLAND_DISPLAY=\"") + v + "\"";
  }
  return tried;
}

}  // namespace

std::unique_ptr<Display> createSdlDisplay(std::string* error) {
  if (g_displayOpen) {
    if (error != nullptr) *error = "an SDL display is already open in this process";
    return nullptr;
  }
  // Connecting to an X server now and then fails at once and succeeds on
  // the next try (seen about once in fifty connections to Xvfb), so a named
  // display gets a few attempts. Without any display there is nothing to
  // retry, and the failure stays immediate.
  const bool displayNamed = std::getenv("DISPLAY") != nullptr ||
                            std::getenv("WAYLAND_DISPLAY") != nullptr;
  // With no display named and no driver chosen there is nothing to try;
  // trying anyway only makes the Wayland client library print its own
  // complaint next to ours.
  if (!displayNamed && std::getenv("SDL_VIDEODRIVER") == nullptr) {
    if (error != nullptr) *error = "cannot open a display: neither DISPLAY nor WAYLAND_DISPLAY is set";
    return nullptr;
  }
  const int attempts = displayNamed ? 3 : 1;
  reportXErrorsWithoutExiting();
  for (int attempt = 1;; ++attempt) {
    setHints();
    if (SDL_Init(SDL_INIT_VIDEO) == 0) break;
    const std::string why = "cannot open the display (" + displayTried() + "): " + SDL_GetError();
    SDL_Quit();
    if (attempt < attempts) continue;
    if (error != nullptr) *error = oneLine(why);
    return nullptr;
  }
  // SDL's Wayland driver has no software framebuffer at all: without the
  // texture path its windows would have no surface and never show.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && std::strcmp(driver, "wayland") == 0) {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");
  }
  // The forms runtime reads keys, not text; text input would only start an
  // input method for nothing.
  SDL_StopTextInput();
  g_quitSignal = 0;
  g_quitReported = false;
  installQuitSignals();
  return std::make_unique<SdlDisplay>();
}

}  // namespace display

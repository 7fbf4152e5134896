// The SDL2 backend. Three kinds of tests:
// - the pixel copy of present, on plain SDL surfaces of several formats;
// - the backend on SDL's dummy video driver (asked for explicitly, so they run
//   on any machine): window flags, presents, event translation, clipboard;
// - a real X server, only when DISPLAY is set: windows, input from xdotool
//   when it is installed, focus handover. And one child process that proves
//   a machine without any display fails cleanly instead of running unseen.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "display/event_text.h"
#include "platform/display/display.h"
#include "platform/display/sdl_surface.h"

namespace display {
namespace {

using testing::describe;
using testing::drain;
using Strings = std::vector<std::string>;

// A colour per pixel that no neighbour shares.
std::uint32_t patternAt(int x, int y) {
  const std::uint32_t r = static_cast<std::uint32_t>(40 * x + 1) & 0xFF;
  const std::uint32_t g = static_cast<std::uint32_t>(30 * y + 2) & 0xFF;
  const std::uint32_t b = static_cast<std::uint32_t>(7 * (x + y) + 3) & 0xFF;
  return r << 16 | g << 8 | b;
}

struct Pattern {
  int width;
  int height;
  std::vector<std::uint32_t> px;
  Pattern(int w, int h) : width(w), height(h), px(static_cast<std::size_t>(w) * h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) px[static_cast<std::size_t>(y) * w + x] = patternAt(x, y);
  }
  gdi::PixelView view() {
    gdi::PixelView v;
    v.top = reinterpret_cast<std::uint8_t*>(px.data());
    v.stride = static_cast<std::ptrdiff_t>(width) * 4;
    v.width = width;
    v.height = height;
    v.format = gdi::PixelFormat::Xrgb32;
    return v;
  }
};

// The raw pixel value at (x, y) of a surface, whatever its depth.
Uint32 rawPixel(const SDL_Surface* s, int x, int y) {
  const int bpp = s->format->BytesPerPixel;
  const auto* p = static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch + x * bpp;
  Uint32 v = 0;
  std::memcpy(&v, p, static_cast<std::size_t>(bpp));  // little-endian machine
  return v;
}

// Checks that the surface shows the pattern inside width x height and black
// elsewhere. The expected raw value comes from SDL's own colour mapping, so
// that the check holds for every surface format.
void expectPattern(const SDL_Surface* s, int width, int height, const std::string& what) {
  int wrong = 0;
  for (int y = 0; y < s->h; ++y) {
    for (int x = 0; x < s->w; ++x) {
      const std::uint32_t c = x < width && y < height ? patternAt(x, y) : 0;
      const Uint32 expected = SDL_MapRGB(s->format, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
      const Uint32 got = rawPixel(s, x, y);
      if (got != expected && ++wrong <= 5) {
        ADD_FAILURE() << what << ": pixel " << x << "," << y << " is 0x" << std::hex << got
                      << ", expected 0x" << expected;
      }
    }
  }
  EXPECT_EQ(wrong, 0) << what;
}

// ---------------------------------------------------------------------------
// The pixel copy

TEST(SdlSurfaceCopy, EveryFormatAndSizeShowsThePatternAndBlackMargins) {
  struct Format {
    Uint32 format;
    const char* name;
  };
  const Format formats[] = {
      {SDL_PIXELFORMAT_XRGB8888, "XRGB8888"}, {SDL_PIXELFORMAT_ARGB8888, "ARGB8888"},
      {SDL_PIXELFORMAT_ABGR8888, "ABGR8888"}, {SDL_PIXELFORMAT_RGB24, "RGB24"},
      {SDL_PIXELFORMAT_RGB565, "RGB565"},
  };
  struct Size {
    int w, h;
  };
  const Size sizes[] = {{7, 5}, {9, 8}, {4, 3}, {9, 2}, {3, 8}};  // surface is 7x5
  for (const Format& f : formats) {
    for (const Size& sz : sizes) {
      SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 7, 5, 32, f.format);
      ASSERT_NE(s, nullptr) << SDL_GetError();
      SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 0xAA, 0x55, 0x11));  // a stale frame
      Pattern p(sz.w, sz.h);
      ASSERT_TRUE(copyToSurface(p.view(), s));
      expectPattern(s, std::min(sz.w, 7), std::min(sz.h, 5),
                    std::string(f.name) + " " + std::to_string(sz.w) + "x" + std::to_string(sz.h));
      SDL_FreeSurface(s);
    }
  }
}

TEST(SdlSurfaceCopy, BottomUpAndTwentyFourBitViews) {
  const Uint32 formats[] = {SDL_PIXELFORMAT_XRGB8888, SDL_PIXELFORMAT_RGB565};
  for (Uint32 format : formats) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 5, 4, 32, format);
    ASSERT_NE(s, nullptr);
    Pattern p(5, 4);

    // The same rows stored bottom-up.
    std::vector<std::uint32_t> flipped(p.px.size());
    for (int y = 0; y < 4; ++y)
      std::copy_n(p.px.begin() + y * 5, 5, flipped.begin() + (3 - y) * 5);
    gdi::PixelView up;
    up.top = reinterpret_cast<std::uint8_t*>(flipped.data() + 3 * 5);
    up.stride = -20;
    up.width = 5;
    up.height = 4;
    up.format = gdi::PixelFormat::Xrgb32;
    ASSERT_TRUE(copyToSurface(up, s));
    expectPattern(s, 5, 4, std::string("bottom-up into ") + SDL_GetPixelFormatName(format));

    // 24-bit rows, padded to four bytes, blue first.
    std::vector<std::uint8_t> bgr(4 * 16, 0xEE);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        std::uint8_t* q = bgr.data() + y * 16 + x * 3;
        const std::uint32_t c = patternAt(x, y);
        q[0] = c & 0xFF;
        q[1] = (c >> 8) & 0xFF;
        q[2] = (c >> 16) & 0xFF;
      }
    gdi::PixelView v24;
    v24.top = bgr.data();
    v24.stride = 16;
    v24.width = 5;
    v24.height = 4;
    v24.format = gdi::PixelFormat::Bgr24;
    SDL_FillRect(s, nullptr, 0);
    ASSERT_TRUE(copyToSurface(v24, s));
    expectPattern(s, 5, 4, std::string("24-bit into ") + SDL_GetPixelFormatName(format));
    SDL_FreeSurface(s);
  }
}

TEST(SdlSurfaceCopy, EmptyViewBlanksTheSurface) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 3, 3, 32, SDL_PIXELFORMAT_XRGB8888);
  ASSERT_NE(s, nullptr);
  SDL_FillRect(s, nullptr, 0x00FFFFFF);
  EXPECT_TRUE(copyToSurface(gdi::PixelView{}, s));
  expectPattern(s, 0, 0, "empty view");
  EXPECT_FALSE(copyToSurface(gdi::PixelView{}, nullptr));
  SDL_FreeSurface(s);
}

// ---------------------------------------------------------------------------
// The backend on SDL's dummy driver

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old != nullptr) old_ = old;
    hadOld_ = old != nullptr;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (hadOld_) {
      setenv(name_.c_str(), old_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::string old_;
  bool hadOld_ = false;
};

class SdlDummy : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = createSdlDisplay(&error);
    ASSERT_NE(display_, nullptr) << error;
  }
  void TearDown() override { display_.reset(); }

  std::unique_ptr<Window> make(Rect client, bool borderless = false, bool topmost = false,
                               bool resizable = true) {
    WindowSpec s;
    s.title = "dummy";
    s.client = client;
    s.borderless = borderless;
    s.topmost = topmost;
    s.resizable = resizable;
    auto w = display_->createWindow(s);
    EXPECT_NE(w, nullptr) << SDL_GetError();
    return w;
  }

  // An explicit driver choice is honoured: the backend only picks the real
  // drivers when nobody said anything.
  ScopedEnv driver_{"SDL_VIDEODRIVER", "dummy"};
  std::unique_ptr<Display> display_;
};

TEST_F(SdlDummy, OnlyOneDisplayAtATime) {
  std::string error;
  EXPECT_EQ(createSdlDisplay(&error), nullptr);
  EXPECT_NE(error.find("already open"), std::string::npos) << error;
  display_.reset();
  error.clear();
  auto again = createSdlDisplay(&error);
  EXPECT_NE(again, nullptr) << error;
}

TEST_F(SdlDummy, WindowFlagsFollowTheSpec) {
  struct Case {
    bool borderless, topmost, resizable;
  };
  const Case cases[] = {{false, false, true}, {true, true, false}, {false, true, false}};
  for (const Case& c : cases) {
    auto w = make({10, 20, 64, 48}, c.borderless, c.topmost, c.resizable);
    ASSERT_NE(w, nullptr);
    SDL_Window* sdl = SDL_GetWindowFromID(w->id());
    ASSERT_NE(sdl, nullptr);
    const Uint32 flags = SDL_GetWindowFlags(sdl);
    EXPECT_NE(flags & SDL_WINDOW_HIDDEN, 0u);
    EXPECT_FALSE(w->visible());
    EXPECT_EQ((flags & SDL_WINDOW_BORDERLESS) != 0, c.borderless);
    EXPECT_EQ((flags & SDL_WINDOW_ALWAYS_ON_TOP) != 0, c.topmost);
    EXPECT_EQ((flags & SDL_WINDOW_RESIZABLE) != 0, c.resizable);
    w->setVisible(true);
    EXPECT_TRUE(w->visible());
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN, 0u);
  }
}

TEST_F(SdlDummy, PresentFillsTheWindowSurfaceAndFollowsResizes) {
  auto w = make({0, 0, 16, 12});
  w->setVisible(true);
  const Rect r = w->clientRect();
  EXPECT_EQ(r.width, 16);
  EXPECT_EQ(r.height, 12);
  Pattern p(16, 12);
  w->present(p.view());
  SDL_Window* sdl = SDL_GetWindowFromID(w->id());
  SDL_Surface* s = SDL_GetWindowSurface(sdl);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->w, 16);
  expectPattern(s, 16, 12, "first present");

  // After a resize the next present reaches the new, larger surface; the
  // old-sized frame leaves black margins.
  w->setClientRect({0, 0, 20, 15});
  EXPECT_EQ(w->clientRect().width, 20);
  w->present(p.view());
  s = SDL_GetWindowSurface(sdl);
  ASSERT_EQ(s->w, 20);
  ASSERT_EQ(s->h, 15);
  expectPattern(s, 16, 12, "after the resize");
}

TEST_F(SdlDummy, SdlEventsBecomeDisplayEvents) {
  auto w = make({0, 0, 16, 12});
  const Uint32 id = w->id();
  drain(*display_);

  auto mouse = [](Uint32 type, Uint32 window, int x, int y, Uint8 button) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = window;
    e.button.x = x;
    e.button.y = y;
    e.button.button = button;
    return e;
  };
  auto key = [](Uint32 type, Uint32 window, SDL_Keycode sym, Uint16 mod) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = window;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    return e;
  };
  auto windowEvent = [](Uint32 window, Uint8 what, int a = 0, int b = 0) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window;
    e.window.event = what;
    e.window.data1 = a;
    e.window.data2 = b;
    return e;
  };
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = id;
  motion.motion.x = 3;
  motion.motion.y = 4;
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.windowID = id;

  const std::string n = std::to_string(id);
  struct Case {
    SDL_Event in;
    std::string out;  // "" when the event is dropped
  };
  const Case cases[] = {
      {mouse(SDL_MOUSEBUTTONDOWN, id, 5, 7, SDL_BUTTON_LEFT), "MouseDown " + n + " (5,7) b1"},
      {mouse(SDL_MOUSEBUTTONUP, id, 5, 7, SDL_BUTTON_LEFT), "MouseUp " + n + " (5,7) b1"},
      {mouse(SDL_MOUSEBUTTONDOWN, id, 1, 2, SDL_BUTTON_RIGHT), "MouseDown " + n + " (1,2) b2"},
      {mouse(SDL_MOUSEBUTTONDOWN, id, 1, 2, SDL_BUTTON_MIDDLE), "MouseDown " + n + " (1,2) b3"},
      {mouse(SDL_MOUSEBUTTONDOWN, id + 100, 5, 7, SDL_BUTTON_LEFT), ""},  // not our window
      {motion, "MouseMove " + n + " (3,4)"},
      {key(SDL_KEYDOWN, id, SDLK_RETURN, 0), "KeyDown " + n + " Enter"},
      {key(SDL_KEYUP, id, SDLK_KP_ENTER, 0), "KeyUp " + n + " Enter"},
      {key(SDL_KEYDOWN, id, SDLK_SPACE, 0), "KeyDown " + n + " Space"},
      {key(SDL_KEYDOWN, id, SDLK_TAB, KMOD_LSHIFT), "KeyDown " + n + " Tab+Shift"},
      {key(SDL_KEYDOWN, id, SDLK_TAB, KMOD_RSHIFT), "KeyDown " + n + " Tab+Shift"},
      {key(SDL_KEYDOWN, id, SDLK_TAB, KMOD_CTRL), "KeyDown " + n + " Tab"},
      {key(SDL_KEYDOWN, id, SDLK_ESCAPE, 0), "KeyDown " + n + " Escape"},
      {key(SDL_KEYDOWN, id, SDLK_LEFT, 0), "KeyDown " + n + " Left"},
      {key(SDL_KEYDOWN, id, SDLK_RIGHT, 0), "KeyDown " + n + " Right"},
      {key(SDL_KEYDOWN, id, SDLK_UP, 0), "KeyDown " + n + " Up"},
      {key(SDL_KEYDOWN, id, SDLK_DOWN, 0), "KeyDown " + n + " Down"},
      {key(SDL_KEYDOWN, id, SDLK_a, 0), "KeyDown " + n + " Other"},
      {windowEvent(id, SDL_WINDOWEVENT_CLOSE), "CloseRequested " + n},
      {windowEvent(id, SDL_WINDOWEVENT_SIZE_CHANGED, 300, 200), "Resized " + n + " 300x200"},
      {windowEvent(id, SDL_WINDOWEVENT_MOVED, -4, 9), "Moved " + n + " (-4,9)"},
      {windowEvent(id, SDL_WINDOWEVENT_MINIMIZED), "StateChanged " + n + " Minimized"},
      {windowEvent(id, SDL_WINDOWEVENT_MAXIMIZED), "StateChanged " + n + " Maximized"},
      {windowEvent(id, SDL_WINDOWEVENT_RESTORED), "StateChanged " + n + " Normal"},
      {windowEvent(id, SDL_WINDOWEVENT_FOCUS_GAINED), "FocusGained " + n},
      {windowEvent(id, SDL_WINDOWEVENT_FOCUS_LOST), "FocusLost " + n},
      {windowEvent(id, SDL_WINDOWEVENT_EXPOSED), "Exposed " + n},
      {windowEvent(id, SDL_WINDOWEVENT_ENTER), ""},
      {windowEvent(id + 100, SDL_WINDOWEVENT_CLOSE), ""},
      {wheel, ""},
      {quit, "Quit"},
  };
  for (const Case& c : cases) {
    SDL_Event in = c.in;
    ASSERT_EQ(SDL_PushEvent(&in), 1) << SDL_GetError();
    const Strings got = drain(*display_);
    EXPECT_EQ(got, c.out.empty() ? Strings{} : Strings{c.out}) << "expected " << c.out;
  }

  // waitEvent skips what it drops and returns what it keeps.
  SDL_Event in = wheel;
  SDL_PushEvent(&in);
  in = windowEvent(id, SDL_WINDOWEVENT_CLOSE);
  SDL_PushEvent(&in);
  Event e;
  ASSERT_TRUE(display_->waitEvent(&e, 1000));
  EXPECT_EQ(describe(e), "CloseRequested " + n);
  EXPECT_FALSE(display_->waitEvent(&e, 20));
  EXPECT_FALSE(display_->waitEvent(&e, 0));
}

TEST_F(SdlDummy, EventsOfADestroyedWindowAreDropped) {
  auto w = make({0, 0, 16, 12});
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = w->id();
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&e);
  w.reset();
  EXPECT_TRUE(drain(*display_).empty());
}

TEST_F(SdlDummy, ClipboardCursorAndScreen) {
  display_->setClipboardText("Mode: Direct drawing\r\nScore: 98.1");
  EXPECT_EQ(display_->clipboardText(), "Mode: Direct drawing\r\nScore: 98.1");
  display_->clearClipboard();
  EXPECT_EQ(display_->clipboardText(), "");
  // The dummy driver has no system cursors; the choice is still kept.
  display_->setCursor(Cursor::Wait);
  EXPECT_EQ(display_->cursor(), Cursor::Wait);
  display_->setCursor(Cursor::Default);
  EXPECT_EQ(display_->cursor(), Cursor::Default);
  EXPECT_GT(display_->screenWidth(), 0);
  EXPECT_GT(display_->screenHeight(), 0);
}

TEST_F(SdlDummy, IconAndTitle) {
  auto w = make({0, 0, 16, 12});
  Pattern small(32, 32);
  Pattern large(48, 48);
  w->setIcon(small.view(), large.view());
  w->setIcon(small.view(), gdi::PixelView{});
  w->setTitle("Vex2D - test");
  EXPECT_STREQ(SDL_GetWindowTitle(SDL_GetWindowFromID(w->id())), "Vex2D - test");
}

TEST_F(SdlDummy, WindowsMayOutliveTheDisplay) {
  auto w = make({0, 0, 16, 12});
  w->setVisible(true);
  display_.reset();  // SDL is shut down here
  w->setClientRect({1, 1, 5, 5});
  Pattern p(4, 4);
  w->present(p.view());
  w->focus();
  EXPECT_FALSE(w->hasFocus());
  EXPECT_EQ(w->clientRect().width, 0);
  w.reset();
}

// ---------------------------------------------------------------------------
// A real X server

bool haveTool(const char* name) {
  const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

class SdlX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "DISPLAY is not set";
    std::string error;
    display_ = createSdlDisplay(&error);
    ASSERT_NE(display_, nullptr) << error;
  }

  std::unique_ptr<Window> make(Rect client, bool borderless = false, bool topmost = false) {
    WindowSpec s;
    s.title = "Vex2D display test";
    s.client = client;
    s.borderless = borderless;
    s.topmost = topmost;
    s.resizable = false;
    auto w = display_->createWindow(s);
    EXPECT_NE(w, nullptr);
    return w;
  }

  // Collects events until `done` holds for what has arrived, or up to a few
  // seconds, which only bounds a broken server.
  Strings until(const std::function<bool(const Strings&)>& done) {
    Strings got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    Event e;
    while (!done(got) && std::chrono::steady_clock::now() < end) {
      if (display_->waitEvent(&e, 20)) got.push_back(describe(e));
    }
    return got;
  }
  static bool has(const Strings& s, const std::string& what) {
    return std::find(s.begin(), s.end(), what) != s.end();
  }

  ScopedEnv driver_{"SDL_VIDEODRIVER", nullptr};  // the default choice: x11 first
  std::unique_ptr<Display> display_;
};

TEST_F(SdlX11, WindowShowsPresentedPixelsAndReceivesInput) {
  auto w = make({40, 30, 64, 48});
  w->setVisible(true);
  w->focus();
  const std::string n = std::to_string(w->id());
  Strings got = until([&](const Strings& s) { return has(s, "FocusGained " + n); });
  EXPECT_TRUE(has(got, "FocusGained " + n)) << ::testing::PrintToString(got);
  EXPECT_TRUE(w->hasFocus());
  const Rect r = w->clientRect();
  EXPECT_EQ(r.width, 64);
  EXPECT_EQ(r.height, 48);

  Pattern p(64, 48);
  w->present(p.view());
  SDL_Surface* s = SDL_GetWindowSurface(SDL_GetWindowFromID(w->id()));
  ASSERT_NE(s, nullptr);
  expectPattern(s, 64, 48, "X11 window surface");

  if (!haveTool("xdotool")) {
    std::printf("xdotool not installed: mouse and keys not tried\n");
    return;
  }
  char cmd[160];
  std::snprintf(cmd, sizeof cmd, "xdotool mousemove %d %d click 1", r.x + 5, r.y + 7);
  ASSERT_EQ(std::system(cmd), 0);
  got = until([&](const Strings& s) { return has(s, "MouseUp " + n + " (5,7) b1"); });
  EXPECT_TRUE(has(got, "MouseDown " + n + " (5,7) b1")) << ::testing::PrintToString(got);
  EXPECT_TRUE(has(got, "MouseUp " + n + " (5,7) b1")) << ::testing::PrintToString(got);

  ASSERT_EQ(std::system("xdotool key Return shift+Tab"), 0);
  // xdotool lets go of shift before the tab key, so the last KeyUp has no shift.
  got = until([&](const Strings& s) { return has(s, "KeyUp " + n + " Tab"); });
  EXPECT_TRUE(has(got, "KeyDown " + n + " Enter")) << ::testing::PrintToString(got);
  EXPECT_TRUE(has(got, "KeyDown " + n + " Tab+Shift")) << ::testing::PrintToString(got);

  // A programmatic resize comes back as Resized, and the next present
  // reaches the new surface.
  w->setClientRect({40, 30, 80, 50});
  got = until([&](const Strings& s) { return has(s, "Resized " + n + " 80x50"); });
  EXPECT_TRUE(has(got, "Resized " + n + " 80x50")) << ::testing::PrintToString(got);
  w->present(p.view());
  s = SDL_GetWindowSurface(SDL_GetWindowFromID(w->id()));
  ASSERT_EQ(s->w, 80);
  expectPattern(s, 64, 48, "X11 window surface after the resize");
}

TEST_F(SdlX11, TopmostTestWindowCoversTheMainWindowAndHandsTheFocusBack) {
  auto main = make({100, 100, 200, 150});
  main->setVisible(true);
  main->focus();
  const std::string m = std::to_string(main->id());
  until([&](const Strings& s) { return has(s, "FocusGained " + m); });
  ASSERT_TRUE(main->hasFocus());

  const int sw = display_->screenWidth();
  const int sh = display_->screenHeight();
  auto test = make({0, 0, sw, sh}, true, true);
  EXPECT_EQ(test->frameWidth(), 0);
  EXPECT_EQ(test->frameHeight(), 0);
  test->setVisible(true);
  test->raise();
  test->focus();
  const std::string t = std::to_string(test->id());
  Strings got = until([&](const Strings& s) { return has(s, "FocusGained " + t); });
  EXPECT_TRUE(has(got, "FocusGained " + t)) << ::testing::PrintToString(got);
  // Raising the main window must not lift it above the topmost band.
  main->raise();
  SDL_Window* sdlTest = SDL_GetWindowFromID(test->id());
  EXPECT_NE(SDL_GetWindowFlags(sdlTest) & SDL_WINDOW_ALWAYS_ON_TOP, 0u);
  EXPECT_NE(SDL_GetWindowFlags(sdlTest) & SDL_WINDOW_BORDERLESS, 0u);

  if (haveTool("xdotool")) {
    ASSERT_EQ(std::system("xdotool mousemove 150 150 click 1"), 0);
    got = until([&](const Strings& s) { return has(s, "MouseUp " + t + " (150,150) b1"); });
    EXPECT_TRUE(has(got, "MouseDown " + t + " (150,150) b1")) << ::testing::PrintToString(got);
    for (const std::string& e : got) {
      if (e.rfind("Mouse", 0) == 0) {
        EXPECT_EQ(e.find(" " + m + " "), std::string::npos) << "the covered window got " << e;
      }
    }
  }

  // Leaving the topmost band first, as the test window's unload does.
  test->setTopmost(false);
  EXPECT_EQ(SDL_GetWindowFlags(sdlTest) & SDL_WINDOW_ALWAYS_ON_TOP, 0u);
  test.reset();
  got = until([&](const Strings& s) { return has(s, "FocusGained " + m); });
  EXPECT_TRUE(has(got, "FocusGained " + m)) << ::testing::PrintToString(got);
  EXPECT_TRUE(main->hasFocus());
}

TEST_F(SdlX11, ClipboardRoundTripAndCursor) {
  display_->setClipboardText("Vex2D report\r\nScore: 42");
  EXPECT_EQ(display_->clipboardText(), "Vex2D report\r\nScore: 42");
  display_->clearClipboard();
  EXPECT_EQ(display_->clipboardText(), "");
  display_->setCursor(Cursor::Wait);
  EXPECT_EQ(display_->cursor(), Cursor::Wait);
  display_->setCursor(Cursor::Default);
  EXPECT_EQ(display_->cursor(), Cursor::Default);
}

// ---------------------------------------------------------------------------
// No display at all

constexpr const char* kChildMarker = "VEX2D_DISPLAY_TEST_CHILD";

// Runs only inside the child process started by the test below.
TEST(SdlNoDisplayChild, OpenFails) {
  if (std::getenv(kChildMarker) == nullptr) GTEST_SKIP() << "runs as a child of SdlNoDisplay";
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  auto d = createSdlDisplay(&error);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(d, nullptr);
  std::printf("sdl-error: %s\nsdl-seconds: %.3f\n", error.c_str(), seconds);
  std::fflush(stdout);
}

// Runs the child above with DISPLAY set to `displayName` (unset for null)
// and returns its one-line reason.
std::string reasonWithout(const char* displayName) {
  std::string reason;
  [&] {
  char folder[] = "/tmp/vex2d-nodisplay-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string runtimeDir = folder;
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // SDL_Init is process-wide, so the attempt runs in a fresh process.
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    if (displayName != nullptr) {
      setenv("DISPLAY", displayName, 1);
    } else {
      unsetenv("DISPLAY");
    }
    unsetenv("WAYLAND_DISPLAY");
    // An empty runtime folder: no default Wayland socket to fall back on.
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
    setenv(kChildMarker, "1", 1);
    execl("/proc/self/exe", "display_tests", "--gtest_filter=SdlNoDisplayChild.OpenFails",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  // A generous bound so that a hanging child fails the test instead of
  // stalling the run; how fast it fails is reported, not asserted.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool timedOut = false;
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          end - std::chrono::steady_clock::now())
                                          .count());
    if (left <= 0) {
      timedOut = true;
      break;
    }
    if (poll(&p, 1, left) <= 0) continue;
    char buf[512];
    const ssize_t got = read(out[0], buf, sizeof buf);
    if (got <= 0) break;
    text.append(buf, static_cast<std::size_t>(got));
  }
  close(out[0]);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  rmdir(runtimeDir.c_str());
  ASSERT_FALSE(timedOut) << "createSdlDisplay hung without a display:\n" << text;
  ASSERT_TRUE(WIFEXITED(status)) << text;
  EXPECT_EQ(WEXITSTATUS(status), 0) << text;
  EXPECT_NE(text.find("[  PASSED  ] 1 test"), std::string::npos) << text;
  const std::size_t at = text.find("sdl-error: ");
  ASSERT_NE(at, std::string::npos) << text;
  reason = text.substr(at + 11, text.find('\n', at) - at - 11);
  const std::size_t s = text.find("sdl-seconds: ");
  if (s != std::string::npos) {
    std::printf("createSdlDisplay failed after %s s\n",
                text.substr(s + 13, text.find('\n', s) - s - 13).c_str());
  }
  }();
  return reason;
}

TEST(SdlNoDisplay, FailsWithAOneLineReasonInsteadOfRunningUnseen) {
  const std::string reason = reasonWithout(nullptr);
  EXPECT_NE(reason.find("cannot open a display"), std::string::npos) << reason;
  EXPECT_GT(reason.size(), std::string("cannot open a display: ").size()) << reason;
}

TEST(SdlNoDisplay, AnUnusableDisplayIsNamedInTheReason) {
  // No X server answers on display 31999 (its socket would have to exist).
  const std::string reason = reasonWithout(":31999");
  EXPECT_NE(reason.find("cannot open the display (DISPLAY=\":31999\")"), std::string::npos) << reason;
  EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
}

}  // namespace
}  // namespace display

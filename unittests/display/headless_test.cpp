#include "platform/display/headless.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "display/event_text.h"

namespace display {
namespace {

using testing::drain;
using Strings = std::vector<std::string>;

WindowSpec specOf(const std::string& title, Rect client, bool topmost = false) {
  WindowSpec s;
  s.title = title;
  s.client = client;
  s.topmost = topmost;
  return s;
}

std::unique_ptr<Window> shown(HeadlessDisplay& d, const std::string& title, Rect client,
                              bool topmost = false) {
  auto w = d.createWindow(specOf(title, client, topmost));
  w->setVisible(true);
  return w;
}

// The stack as a line of titles, bottom first.
std::string titles(const HeadlessDisplay& d) {
  std::string out;
  for (const HeadlessWindow* w : d.stack()) {
    if (!out.empty()) out += ' ';
    out += w->title();
  }
  return out;
}

// Xrgb32 pixels in a buffer the test owns.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> px;
  Image(int w, int h, const std::function<std::uint32_t(int, int)>& colour)
      : width(w), height(h), px(static_cast<std::size_t>(w) * h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) px[static_cast<std::size_t>(y) * w + x] = colour(x, y);
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

// A colour that tells which window showed which of its client pixels.
std::uint32_t tag(std::uint32_t window, int x, int y) {
  return window << 16 | static_cast<std::uint32_t>(y) << 8 | static_cast<std::uint32_t>(x);
}

// ---------------------------------------------------------------------------
// Stacking

TEST(HeadlessStacking, BandsRaiseAndTopmostChanges) {
  HeadlessDisplay d(640, 480);
  auto a = shown(d, "A", {0, 0, 10, 10});
  auto t1 = shown(d, "T1", {0, 0, 10, 10}, true);
  auto b = shown(d, "B", {0, 0, 10, 10});
  auto t2 = shown(d, "T2", {0, 0, 10, 10}, true);
  std::unique_ptr<Window> c;

  struct Step {
    const char* what;
    std::function<void()> act;
    const char* stack;
  };
  const Step steps[] = {
      {"an ordinary window is created below the topmost band", [] {}, "A B T1 T2"},
      {"raise puts an ordinary window on top of its band", [&] { a->raise(); }, "B A T1 T2"},
      {"raise puts a topmost window on top of everything", [&] { t1->raise(); }, "B A T2 T1"},
      {"raising the top window changes nothing", [&] { t1->raise(); }, "B A T2 T1"},
      {"leaving the topmost band lands on top of the ordinary one",
       [&] { t1->setTopmost(false); }, "B A T1 T2"},
      {"joining the topmost band lands on top of it", [&] { b->setTopmost(true); }, "A T1 T2 B"},
      {"setting the band it already has does not move a window", [&] { t2->setTopmost(true); },
       "A T1 T2 B"},
      {"a new ordinary window goes below the topmost band",
       [&] { c = d.createWindow(specOf("C", {0, 0, 10, 10})); }, "A T1 C T2 B"},
      {"a hidden window cannot take the focus and stays put", [&] { a->focus(); c->focus(); },
       "T1 C A T2 B"},
      {"focus raises a shown window", [&] { c->setVisible(true); c->focus(); }, "T1 A C T2 B"},
      {"a destroyed window leaves the stack", [&] { t2.reset(); }, "T1 A C B"},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(titles(d), s.stack) << s.what;
  }
  EXPECT_TRUE(c->hasFocus());
  EXPECT_FALSE(a->hasFocus());
}

TEST(HeadlessStacking, NewWindowIsHiddenAndQuiet) {
  HeadlessDisplay d;
  auto w = d.createWindow(specOf("main", {5, 6, 70, 80}));
  EXPECT_FALSE(w->visible());
  EXPECT_FALSE(w->hasFocus());
  EXPECT_EQ(d.focused(), nullptr);
  EXPECT_EQ(w->state(), WindowState::Normal);
  EXPECT_EQ(w->frameWidth(), 0);
  EXPECT_EQ(w->frameHeight(), 0);
  const Rect r = w->clientRect();
  EXPECT_EQ(r.x, 5);
  EXPECT_EQ(r.y, 6);
  EXPECT_EQ(r.width, 70);
  EXPECT_EQ(r.height, 80);
  EXPECT_TRUE(drain(d).empty());
  // Showing it asks for a first paint, as a mapped window gets an expose.
  w->setVisible(true);
  EXPECT_EQ(drain(d), Strings{"Exposed 1"});
  w->setVisible(true);
  EXPECT_TRUE(drain(d).empty());
}

// ---------------------------------------------------------------------------
// Mouse and keyboard routing

TEST(HeadlessInput, ClickGoesToTheTopmostWindowUnderThePoint) {
  struct Case {
    int x, y;
    const char* expected;  // the mouse events, or "" for none
  };
  // Window 1 "main" at (100,100) 300x200; window 2 "other" at (250,150)
  // 200x200 above it; window 3 hidden and full screen; window 4 minimised.
  const Case cases[] = {
      {110, 120, "MouseDown 1 (10,20) b1|MouseUp 1 (10,20) b1"},
      {300, 200, "MouseDown 2 (50,50) b1|MouseUp 2 (50,50) b1"},
      {249, 150, "MouseDown 1 (149,50) b1|MouseUp 1 (149,50) b1"},
      {250, 150, "MouseDown 2 (0,0) b1|MouseUp 2 (0,0) b1"},
      {449, 349, "MouseDown 2 (199,199) b1|MouseUp 2 (199,199) b1"},
      {450, 200, ""},  // right edge of "other" is outside it
      {120, 299, "MouseDown 1 (20,199) b1|MouseUp 1 (20,199) b1"},
      {120, 300, ""},  // bottom edge of "main"
      {10, 10, ""},    // only the hidden and the minimised window are there
      {-1, -1, ""},
  };
  for (const Case& c : cases) {
    HeadlessDisplay d(640, 480);
    auto main = shown(d, "main", {100, 100, 300, 200});
    auto other = shown(d, "other", {250, 150, 200, 200});
    auto hidden = d.createWindow(specOf("hidden", {0, 0, 640, 480}));
    auto mini = shown(d, "mini", {0, 0, 50, 50});
    mini->setState(WindowState::Minimized);
    drain(d);
    d.click(c.x, c.y);
    std::string mouse;
    for (const std::string& e : drain(d)) {
      if (e.rfind("Mouse", 0) != 0) continue;
      if (!mouse.empty()) mouse += '|';
      mouse += e;
    }
    EXPECT_EQ(mouse, c.expected) << "click at " << c.x << "," << c.y;
  }
}

TEST(HeadlessInput, TopmostFullScreenWindowTakesEveryClick) {
  HeadlessDisplay d(640, 480);
  auto main = shown(d, "main", {100, 100, 300, 200});
  auto test = shown(d, "test", {0, 0, 640, 480}, true);
  main->raise();
  main->focus();
  drain(d);
  for (auto [x, y] : {std::pair{0, 0}, {150, 150}, {639, 479}}) {
    d.click(x, y);
    const std::string at = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    Strings mouse;
    for (const std::string& e : drain(d))
      if (e.rfind("Mouse", 0) == 0) mouse.push_back(e);
    EXPECT_EQ(mouse, (Strings{"MouseDown 2 " + at + " b1", "MouseUp 2 " + at + " b1"}));
  }
  EXPECT_TRUE(test->hasFocus());
  // Once it is hidden the main window is reachable again.
  test->setVisible(false);
  drain(d);
  d.click(150, 150);
  EXPECT_EQ(drain(d), (Strings{"MouseDown 1 (50,50) b1", "MouseUp 1 (50,50) b1"}));
}

TEST(HeadlessInput, ClickActivatesAndRaisesTheWindow) {
  HeadlessDisplay d(640, 480);
  auto main = shown(d, "main", {100, 100, 300, 200});
  auto other = shown(d, "other", {250, 150, 200, 200});
  other->focus();
  drain(d);
  d.click(110, 110);  // a part of main that other does not cover
  EXPECT_EQ(drain(d), (Strings{"FocusLost 2", "FocusGained 1", "MouseDown 1 (10,10) b1",
                               "MouseUp 1 (10,10) b1"}));
  EXPECT_EQ(titles(d), "other main");
  // Main is on top now, so the overlap belongs to it.
  d.click(300, 200);
  EXPECT_EQ(drain(d), (Strings{"MouseDown 1 (200,100) b1", "MouseUp 1 (200,100) b1"}));
}

TEST(HeadlessInput, KeysGoToTheFocusedWindow) {
  HeadlessDisplay d;
  auto main = shown(d, "main", {0, 0, 100, 100});
  auto other = shown(d, "other", {200, 0, 100, 100});
  drain(d);
  d.pressKey(Key::Enter);
  EXPECT_TRUE(drain(d).empty()) << "no window has the focus yet";

  main->focus();
  d.pressKey(Key::Tab, true);
  EXPECT_EQ(drain(d), (Strings{"FocusGained 1", "KeyDown 1 Tab+Shift", "KeyUp 1 Tab+Shift"}));

  other->focus();
  d.pressKey(Key::Space);
  EXPECT_EQ(drain(d),
            (Strings{"FocusLost 1", "FocusGained 2", "KeyDown 2 Space", "KeyUp 2 Space"}));
  EXPECT_EQ(d.focused(), d.find(other->id()));
  EXPECT_FALSE(main->hasFocus());
}

TEST(HeadlessInput, CloseRequestsAndInjectedEvents) {
  HeadlessDisplay d;
  auto main = shown(d, "main", {0, 0, 100, 100});
  drain(d);
  d.requestClose(main->id());
  d.requestClose(99);  // no such window: nothing to ask
  Event quit;
  quit.type = Event::Type::Quit;
  d.injectEvent(quit);
  EXPECT_EQ(drain(d), (Strings{"CloseRequested 1", "Quit"}));
  Event e;
  EXPECT_FALSE(d.waitEvent(&e, 50));
}

// ---------------------------------------------------------------------------
// Focus handover

TEST(HeadlessFocus, GoesToTheTopmostRemainingWindowWhenTheFocusedOneGoesAway) {
  struct Case {
    const char* what;
    std::function<void(std::unique_ptr<Window>&)> leave;
    const char* lostEvent;  // what the leaving window hears, if anything
  };
  const Case cases[] = {
      {"destroyed", [](std::unique_ptr<Window>& w) { w.reset(); }, nullptr},
      {"hidden", [](std::unique_ptr<Window>& w) { w->setVisible(false); }, "FocusLost 3"},
      {"minimised", [](std::unique_ptr<Window>& w) { w->setState(WindowState::Minimized); },
       "FocusLost 3"},
  };
  for (const Case& c : cases) {
    HeadlessDisplay d(640, 480);
    auto main = shown(d, "main", {100, 100, 300, 200});
    auto side = shown(d, "side", {500, 0, 100, 100});
    auto test = shown(d, "test", {0, 0, 640, 480}, true);
    main->raise();  // main is the top ordinary window, side below it
    side->focus();  // ...until side takes the focus and the top
    main->focus();
    test->focus();
    drain(d);
    c.leave(test);
    Strings expected;
    if (c.lostEvent != nullptr) expected.push_back(c.lostEvent);
    expected.push_back("FocusGained 1");
    Strings got;
    for (const std::string& e : drain(d))
      if (e.rfind("Focus", 0) == 0) got.push_back(e);
    EXPECT_EQ(got, expected) << c.what;
    EXPECT_TRUE(main->hasFocus()) << c.what;
    EXPECT_EQ(d.focused(), d.find(main->id())) << c.what;
  }
}

TEST(HeadlessFocus, TopOfTheStackWinsOverTheLastFocused) {
  HeadlessDisplay d;
  auto bottom = shown(d, "bottom", {0, 0, 10, 10});
  auto middle = shown(d, "middle", {0, 0, 10, 10});
  auto top = shown(d, "top", {0, 0, 10, 10});
  bottom->focus();  // raises bottom: middle top bottom
  middle->raise();  // top bottom middle
  top->focus();     // bottom middle top
  drain(d);
  top.reset();
  // Bottom had the focus last, but middle is what the user sees on top.
  EXPECT_TRUE(middle->hasFocus());
  EXPECT_FALSE(bottom->hasFocus());
}

TEST(HeadlessFocus, NobodyGetsItWhenNoWindowIsLeftOnScreen) {
  HeadlessDisplay d;
  auto hidden = d.createWindow(specOf("hidden", {0, 0, 10, 10}));
  auto only = shown(d, "only", {0, 0, 10, 10});
  only->focus();
  drain(d);
  only->setVisible(false);
  EXPECT_EQ(d.focused(), nullptr);
  EXPECT_EQ(drain(d), Strings{"FocusLost 2"});
  d.pressKey(Key::Escape);
  EXPECT_TRUE(drain(d).empty());
}

TEST(HeadlessFocus, LosingAnUnfocusedWindowLeavesTheFocusAlone) {
  HeadlessDisplay d;
  auto main = shown(d, "main", {0, 0, 10, 10});
  auto other = shown(d, "other", {0, 0, 10, 10});
  main->focus();
  drain(d);
  other.reset();
  EXPECT_TRUE(main->hasFocus());
  EXPECT_TRUE(drain(d).empty());
}

// ---------------------------------------------------------------------------
// Geometry and state, with the events a window manager would send back

TEST(HeadlessGeometry, SetClientRectQueuesMovedAndResized) {
  struct Case {
    Rect to;
    Strings events;
    Rect result;
  };
  const Case cases[] = {
      {{10, 20, 100, 50}, {}, {10, 20, 100, 50}},
      {{15, 20, 100, 50}, {"Moved 1 (15,20)"}, {15, 20, 100, 50}},
      {{10, -20, 100, 50}, {"Moved 1 (10,-20)"}, {10, -20, 100, 50}},
      {{10, 20, 120, 50}, {"Resized 1 120x50"}, {10, 20, 120, 50}},
      {{0, 0, 1, 1}, {"Moved 1 (0,0)", "Resized 1 1x1"}, {0, 0, 1, 1}},
      // No window has an empty client area, on either backend.
      {{10, 20, 0, -5}, {"Resized 1 1x1"}, {10, 20, 1, 1}},
  };
  for (const Case& c : cases) {
    HeadlessDisplay d(640, 480);
    auto w = d.createWindow(specOf("w", {10, 20, 100, 50}));
    w->setClientRect(c.to);
    EXPECT_EQ(drain(d), c.events)
        << c.to.x << "," << c.to.y << " " << c.to.width << "x" << c.to.height;
    const Rect r = w->clientRect();
    EXPECT_EQ(r.x, c.result.x);
    EXPECT_EQ(r.y, c.result.y);
    EXPECT_EQ(r.width, c.result.width);
    EXPECT_EQ(r.height, c.result.height);
  }
}

TEST(HeadlessGeometry, MaximiseFillsTheScreenAndNormalRestores) {
  HeadlessDisplay d(640, 480);
  auto w = shown(d, "w", {10, 20, 100, 50});
  drain(d);
  w->setState(WindowState::Maximized);
  EXPECT_EQ(drain(d), (Strings{"StateChanged 1 Maximized", "Moved 1 (0,0)", "Resized 1 640x480"}));
  EXPECT_EQ(w->state(), WindowState::Maximized);
  EXPECT_EQ(w->clientRect().width, 640);
  EXPECT_EQ(w->clientRect().height, 480);
  w->setState(WindowState::Maximized);
  EXPECT_TRUE(drain(d).empty());

  w->setState(WindowState::Normal);
  EXPECT_EQ(drain(d), (Strings{"StateChanged 1 Normal", "Moved 1 (10,20)", "Resized 1 100x50"}));
  const Rect r = w->clientRect();
  EXPECT_EQ(r.x, 10);
  EXPECT_EQ(r.y, 20);
  EXPECT_EQ(r.width, 100);
  EXPECT_EQ(r.height, 50);
}

TEST(HeadlessGeometry, MinimisedWindowsLeaveTheScreenAndComeBackAsTheyWere) {
  HeadlessDisplay d(640, 480);
  auto w = shown(d, "w", {10, 20, 100, 50});
  drain(d);
  w->setState(WindowState::Maximized);
  w->setState(WindowState::Minimized);
  drain(d);
  EXPECT_EQ(w->clientRect().width, 640) << "minimising keeps the maximised rect";
  d.click(50, 50);
  EXPECT_TRUE(drain(d).empty()) << "a minimised window takes no clicks";

  // Restoring to normal from there goes back to the rect before maximising.
  w->setState(WindowState::Normal);
  EXPECT_EQ(drain(d), (Strings{"StateChanged 1 Normal", "Moved 1 (10,20)", "Resized 1 100x50",
                               "Exposed 1"}));

  w->setState(WindowState::Minimized);
  w->setState(WindowState::Normal);
  EXPECT_EQ(drain(d), (Strings{"StateChanged 1 Minimized", "StateChanged 1 Normal", "Exposed 1"}));
  EXPECT_EQ(w->clientRect().width, 100);
}

TEST(HeadlessGeometry, WindowKeepsItsSpecAndTitle) {
  HeadlessDisplay d;
  WindowSpec s = specOf("Vex2D", {0, 0, 10, 10}, true);
  s.borderless = true;
  auto w = d.createWindow(s);
  const HeadlessWindow* hw = d.find(w->id());
  ASSERT_NE(hw, nullptr);
  EXPECT_TRUE(hw->topmost());
  EXPECT_TRUE(hw->borderless());
  EXPECT_EQ(hw->title(), "Vex2D");
  w->setTitle("Line test");
  EXPECT_EQ(hw->title(), "Line test");
  EXPECT_FALSE(hw->hasIcon());
  Image icon(32, 32, [](int, int) { return 0x123456u; });
  w->setIcon(icon.view(), gdi::PixelView{});
  EXPECT_TRUE(hw->hasIcon());
  EXPECT_EQ(d.find(12345), nullptr);
}

// ---------------------------------------------------------------------------
// Presenting and composing

// A hand-drawn map of the screen: '.' is black, a letter is that window's
// pixel at the matching client position.
void expectScreen(const HeadlessDisplay& d, const std::vector<std::string>& map,
                  const std::map<char, const Window*>& windows) {
  const std::vector<std::uint32_t> screen = d.composeScreen();
  ASSERT_EQ(screen.size(), static_cast<std::size_t>(d.screenWidth()) * d.screenHeight());
  ASSERT_EQ(map.size(), static_cast<std::size_t>(d.screenHeight()));
  for (int y = 0; y < d.screenHeight(); ++y) {
    for (int x = 0; x < d.screenWidth(); ++x) {
      const char c = map[y][x];
      std::uint32_t expected = 0;
      if (c != '.') {
        const Window* w = windows.at(c);
        const Rect r = w->clientRect();
        expected = tag(w->id(), x - r.x, y - r.y);
      }
      EXPECT_EQ(screen[static_cast<std::size_t>(y) * d.screenWidth() + x], expected)
          << "screen pixel " << x << "," << y;
    }
  }
}

void presentTagged(Window& w) {
  const Rect r = w.clientRect();
  Image img(r.width, r.height, [&w](int x, int y) { return tag(w.id(), x, y); });
  w.present(img.view());
}

TEST(HeadlessPresent, ScreenStacksTheLastPresentedPixels) {
  HeadlessDisplay d(8, 6);
  auto a = shown(d, "A", {1, 1, 4, 3});
  auto b = shown(d, "B", {3, 2, 3, 3});
  auto edge = shown(d, "E", {-2, 4, 4, 4});  // mostly off the screen
  auto hidden = d.createWindow(specOf("H", {0, 0, 8, 6}, true));
  for (Window* w : {a.get(), b.get(), edge.get(), hidden.get()}) presentTagged(*w);
  expectScreen(d,
               {
                   "........",
                   ".AAAA...",
                   ".AABBB..",
                   ".AABBB..",
                   "EE.BBB..",
                   "EE......",
               },
               {{'A', a.get()}, {'B', b.get()}, {'E', edge.get()}});
  a->raise();
  expectScreen(d,
               {
                   "........",
                   ".AAAA...",
                   ".AAAAB..",
                   ".AAAAB..",
                   "EE.BBB..",
                   "EE......",
               },
               {{'A', a.get()}, {'B', b.get()}, {'E', edge.get()}});
  EXPECT_EQ(d.find(a->id())->presentCount(), 1u);
}

TEST(HeadlessPresent, ViewIsCutOrPaddedToTheClientArea) {
  HeadlessDisplay d(8, 4);
  auto big = shown(d, "big", {0, 0, 3, 2});
  auto small = shown(d, "small", {4, 0, 4, 4});
  Image larger(6, 5, [&](int x, int y) { return tag(big->id(), x, y); });
  big->present(larger.view());
  // A full frame first, so that padding with anything but black would show.
  Image stale(4, 4, [](int, int) { return 0x00C0FFEEu; });
  small->present(stale.view());
  Image smaller(2, 3, [&](int x, int y) { return tag(small->id(), x, y); });
  small->present(smaller.view());
  expectScreen(d,
               {
                   "BBB.SS..",
                   "BBB.SS..",
                   "....SS..",
                   "........",
               },
               {{'B', big.get()}, {'S', small.get()}});
  const HeadlessWindow* hw = d.find(big->id());
  EXPECT_EQ(hw->pixelsWidth(), 3);
  EXPECT_EQ(hw->pixelsHeight(), 2);
}

TEST(HeadlessPresent, UnpaintedWindowsCoverWhatIsBelowWithBlack) {
  HeadlessDisplay d(4, 2);
  auto below = shown(d, "below", {0, 0, 4, 2});
  presentTagged(*below);
  auto above = shown(d, "above", {1, 0, 2, 2});
  expectScreen(d, {"W..W", "W..W"}, {{'W', below.get()}});
  // Growing a window shows black where it has not painted since.
  presentTagged(*above);
  above->setClientRect({1, 0, 3, 2});
  expectScreen(d, {"WAA.", "WAA."}, {{'W', below.get()}, {'A', above.get()}});
}

TEST(HeadlessPresent, BottomUpAndTwentyFourBitViewsAreReadRowByRow) {
  HeadlessDisplay d(3, 2);
  auto w = shown(d, "w", {0, 0, 3, 2});
  const std::uint32_t want[] = {0x010203, 0x040506, 0x070809, 0x0a0b0c, 0x0d0e0f, 0x101112};

  // Bottom-up 32-bit rows: the buffer holds the lower row first.
  std::vector<std::uint32_t> bottomUp = {want[3], want[4], want[5], want[0], want[1], want[2]};
  gdi::PixelView v;
  v.top = reinterpret_cast<std::uint8_t*>(bottomUp.data() + 3);
  v.stride = -12;
  v.width = 3;
  v.height = 2;
  v.format = gdi::PixelFormat::Xrgb32;
  w->present(v);
  EXPECT_EQ(d.composeScreen(), std::vector<std::uint32_t>(std::begin(want), std::end(want)));

  // 24-bit rows padded to four bytes, blue first.
  std::vector<std::uint8_t> bgr(2 * 12, 0xEE);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const std::uint32_t c = want[y * 3 + x];
      std::uint8_t* p = bgr.data() + y * 12 + x * 3;
      p[0] = c & 0xFF;
      p[1] = (c >> 8) & 0xFF;
      p[2] = (c >> 16) & 0xFF;
    }
  gdi::PixelView v24;
  v24.top = bgr.data();
  v24.stride = 12;
  v24.width = 3;
  v24.height = 2;
  v24.format = gdi::PixelFormat::Bgr24;
  w->present(v24);
  EXPECT_EQ(d.composeScreen(), std::vector<std::uint32_t>(std::begin(want), std::end(want)));

  // An empty view clears the window rather than keeping the last frame.
  w->present(gdi::PixelView{});
  EXPECT_EQ(d.composeScreen(), std::vector<std::uint32_t>(6, 0));
  EXPECT_EQ(d.find(w->id())->presentCount(), 3u);
}

// ---------------------------------------------------------------------------
// Snapshots, clipboard, cursor, lifetime

// Width and height from a PNG's header chunk, or {0, 0} when the file is no PNG.
std::pair<int, int> pngSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> head(24);
  if (!in.read(reinterpret_cast<char*>(head.data()), 24)) return {0, 0};
  const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!std::equal(signature, signature + 8, head.begin())) return {0, 0};
  if (std::string(head.begin() + 12, head.begin() + 16) != "IHDR") return {0, 0};
  auto be32 = [&head](int at) {
    return head[at] << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3];
  };
  return {be32(16), be32(20)};
}

TEST(HeadlessSnapshot, WritesPngsOfTheScreenAndOfOneWindow) {
  HeadlessDisplay d(64, 48);
  auto w = shown(d, "w", {10, 10, 20, 12});
  presentTagged(*w);
  const std::string dir = ::testing::TempDir();
  const std::string screenPng = dir + "/vex2d_headless_screen.png";
  const std::string windowPng = dir + "/vex2d_headless_window.png";
  std::remove(screenPng.c_str());
  std::remove(windowPng.c_str());

  ASSERT_TRUE(d.snapshotScreen(screenPng));
  EXPECT_EQ(pngSize(screenPng), (std::pair{64, 48}));
  ASSERT_TRUE(d.snapshotWindow(w->id(), windowPng));
  EXPECT_EQ(pngSize(windowPng), (std::pair{20, 12}));

  // A window that never presented still has a picture: black, its size.
  auto blank = d.createWindow(specOf("blank", {0, 0, 5, 7}));
  ASSERT_TRUE(d.snapshotWindow(blank->id(), windowPng));
  EXPECT_EQ(pngSize(windowPng), (std::pair{5, 7}));

  EXPECT_FALSE(d.snapshotWindow(999, windowPng));
  EXPECT_FALSE(d.snapshotScreen(dir + "/no/such/folder/screen.png"));
  std::remove(screenPng.c_str());
  std::remove(windowPng.c_str());
}

TEST(HeadlessServices, ClipboardAndCursor) {
  HeadlessDisplay d;
  EXPECT_EQ(d.clipboardText(), "");
  d.setClipboardText("Mode: DIB buffering\r\nScore: 12.5");
  EXPECT_EQ(d.clipboardText(), "Mode: DIB buffering\r\nScore: 12.5");
  d.clearClipboard();
  EXPECT_EQ(d.clipboardText(), "");
  EXPECT_EQ(d.cursor(), Cursor::Default);
  d.setCursor(Cursor::Wait);
  EXPECT_EQ(d.cursor(), Cursor::Wait);
  EXPECT_EQ(d.screenWidth(), 1024);
  EXPECT_EQ(d.screenHeight(), 768);
}

TEST(HeadlessLifetime, EventsOfADestroyedWindowAreDropped) {
  HeadlessDisplay d;
  auto main = shown(d, "main", {0, 0, 10, 10});
  auto gone = shown(d, "gone", {20, 0, 10, 10});
  gone->setClientRect({30, 0, 10, 10});
  d.requestClose(gone->id());
  gone.reset();
  d.requestClose(2);
  EXPECT_EQ(drain(d), Strings{"Exposed 1"});
}

TEST(HeadlessLifetime, WindowsMayOutliveTheDisplay) {
  auto d = std::make_unique<HeadlessDisplay>(100, 100);
  auto w = shown(*d, "w", {0, 0, 10, 10});
  w->focus();
  d.reset();
  // Every call is still safe, and nothing reaches the freed display.
  w->setClientRect({1, 2, 3, 4});
  w->setState(WindowState::Maximized);
  w->setVisible(false);
  w->raise();
  w->focus();
  EXPECT_FALSE(w->hasFocus());
  Image img(3, 4, [](int, int) { return 1u; });
  w->present(img.view());
  w.reset();
}

}  // namespace
}  // namespace display

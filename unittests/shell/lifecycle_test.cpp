// The program's lifecycle around running tests, on a headless screen with a
// manual clock: a close request on either window or a quit event arriving at
// every point where a test or the complete run processes messages, input
// queued during a test, and the main window's size under a window frame.
//
// The tests run the real protocol and bracket with one kernel iteration each,
// so that every message-processing point of a whole complete run can be hit
// in turn; the sanitizer build runs these too (use of freed controls).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/forms/forms.h"
#include "shell/complete_run.h"
#include "shell/frm_main.h"
#include "shell/frm_test.h"
#include "shell/program.h"
#include "shell/test_host.h"
#include "tests/handlers.h"
#include "tests/protocol.h"

namespace {

using namespace shell;

// A headless display that calls a hook at every poll, before it answers:
// events pushed there are processed at exactly that point of the program.
class SteppingDisplay : public display::HeadlessDisplay {
 public:
  using HeadlessDisplay::HeadlessDisplay;
  std::function<void(int poll)> onPoll;
  int polls = 0;
  bool pollEvent(display::Event* out) override {
    ++polls;
    if (onPoll) onPoll(polls);
    return HeadlessDisplay::pollEvent(out);
  }
};

enum class Interruption { CloseMain, Quit, CloseTest };

const char* nameOf(Interruption i) {
  switch (i) {
    case Interruption::CloseMain: return "close of the main window";
    case Interruption::Quit: return "quit";
    case Interruption::CloseTest: return "close of the test window";
  }
  return "";
}

constexpr int kCmdTest = 0;  // the complete run, in the tables below

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override { start(); }
  void TearDown() override { stop(); }

  void start() {
    screen = std::make_unique<SteppingDisplay>(320, 240);
    if (framed) screen->setFrame(1, 20, 1, 5);
    forms::startRuntime(*screen, clock, "");
    setReportFolder(std::nullopt);
    frmMainForm& f = frmMain();
    f.lRunAll = 0;
    f.lMode = 0;
    f.lResult = {};
    installHandlers();
    // The real protocol and rows, with one kernel iteration; the nesting
    // depth shows a test started inside another.
    for (int n = 1; n <= 8; ++n) {
      f.testHandlers[static_cast<std::size_t>(n)] = [this, n] {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        ++runs[n];
        drawtests::TestRow row = drawtests::TestRowOfButton(n);
        row.iterations = 1;
        drawtests::RunDrawingTest(formsTestHost(), row);
        --depth;
      };
    }
    clock.onNow = [this] { clock.advance(0.001); };
    showMainWindow();
    forms::setStartupForm(&f);
    forms::DoEvents();
    depth = maxDepth = 0;
    std::fill(std::begin(runs), std::end(runs), 0);
  }

  void stop() {
    if (forms::runtimeStarted()) {
      frmTest().Unload();
      frmMain().Unload();
      forms::stopRuntime();
    }
    setReportFolder(std::string());
    screen.reset();
  }

  // What a user's click on a start button (or CmdTest) does.
  static void pressStart(int button) {
    frmMainForm& f = frmMain();
    if (button == kCmdTest) {
      f.CmdTest().press();
    } else {
      f.Command(button).press();
    }
  }

  std::unique_ptr<SteppingDisplay> screen;
  forms::ManualClock clock;
  bool framed = false;
  int depth = 0;
  int maxDepth = 0;
  int runs[9] = {};
};

// The result label of a test shows a rate with the test's unit (the clock
// runs a millisecond per reading, so every kernel takes time).
bool showsRate(int button) {
  const std::string caption = frmMain().Label(button).Caption();
  const std::string unit = drawtests::TestRowOfButton(button).unit;
  return caption.size() > unit.size() && caption.compare(caption.size() - unit.size(), unit.size(), unit) == 0;
}

TEST_F(LifecycleTest, InterruptionAtEveryMessagePointEndsCoherently) {
  // Tests with each kind of message processing of the protocol: plain
  // (Line), in the direct-mode set-up (Rectangle), around the source picture
  // (Blitting), in the timed copy-back (Spline); and the complete run.
  const int buttons[] = {2, 4, 6, 8, kCmdTest};
  for (Interruption kind : {Interruption::CloseMain, Interruption::Quit, Interruption::CloseTest}) {
    for (int mode : {0, 1}) {
      for (int button : buttons) {
        for (int target = 1;; ++target) {
          stop();
          start();
          frmMainForm& f = frmMain();
          f.Option1(mode).press();
          bool injected = false;
          double injectedAt = 0;
          screen->polls = 0;
          screen->onPoll = [&](int poll) {
            if (poll != target) return;
            if (kind == Interruption::CloseTest) {
              if (!frmTest().IsLoaded()) return;
              screen->requestClose(frmTest().hWnd());
            } else if (kind == Interruption::CloseMain) {
              screen->requestClose(frmMain().hWnd());
            } else {
              display::Event quit;
              quit.type = display::Event::Type::Quit;
              screen->injectEvent(quit);
            }
            injected = true;
            injectedAt = clock.now();
          };
          pressStart(button);
          screen->onPoll = nullptr;
          const int polls = screen->polls;
          const std::string where = std::string(nameOf(kind)) + " at message point " + std::to_string(target) +
                                    " of button " + std::to_string(button) + " in mode " + std::to_string(mode);
          SCOPED_TRACE(where);

          EXPECT_EQ(maxDepth, 1);
          EXPECT_EQ(f.lRunAll, 0);
          EXPECT_EQ(f.oBuffer, nullptr);
          EXPECT_FALSE(f.testInProgress());
          EXPECT_EQ(forms::Screen::MousePointer(), 0);
          EXPECT_FALSE(frmTest().IsLoaded());
          if (injected && kind != Interruption::CloseTest) {
            // The program is ending: nothing is loaded, no window is left,
            // and nothing paused after the request (the pauses are half a
            // second and more; readings of the clock add a millisecond).
            EXPECT_TRUE(forms::programEnding());
            EXPECT_FALSE(f.IsLoaded());
            EXPECT_TRUE(screen->stack().empty());
            EXPECT_LT(clock.now() - injectedAt, 0.1);
            forms::runMessageLoop();  // returns at once: nothing is loaded
          } else {
            // The test went on (in a test window loaded again where it was
            // used after the close) and the main window is as after any test.
            EXPECT_FALSE(forms::programEnding());
            ASSERT_TRUE(f.IsLoaded());
            EXPECT_EQ(screen->stack().size(), 1u);
            for (int n = 1; n <= 8; ++n) EXPECT_TRUE(f.Command(n).Enabled()) << "Command" << n;
            EXPECT_TRUE(f.CmdTest().Enabled());
            if (button == kCmdTest) {
              for (int n = 1; n <= 8; ++n) EXPECT_TRUE(showsRate(n)) << "Label" << n;
              EXPECT_TRUE(f.Label19().Visible());
              EXPECT_TRUE(f.Command(10).Enabled());
            } else {
              EXPECT_TRUE(showsRate(button));
            }
          }
          if (::testing::Test::HasFailure()) return;
          if (polls < target) break;  // every message point has had its turn
        }
      }
    }
  }
}

TEST_F(LifecycleTest, InputQueuedDuringATestStartsNothing) {
  // A click on another start button and Return on the focused one, queued at
  // every message point of a Line test and of the complete run.
  for (int button : {2, kCmdTest}) {
    for (int target = 1;; ++target) {
      stop();
      start();
      frmMainForm& f = frmMain();
      f.Command(2).SetFocus();
      screen->polls = 0;
      screen->onPoll = [&](int poll) {
        if (poll != target || !f.IsLoaded()) return;
        const display::Rect r = f.Command(1).pixelRect();
        display::Event e;
        e.window = f.hWnd();
        e.button = 1;
        e.x = r.x + r.width / 2;
        e.y = r.y + r.height / 2;
        e.type = display::Event::Type::MouseDown;
        screen->injectEvent(e);
        e.type = display::Event::Type::MouseUp;
        screen->injectEvent(e);
        display::Event key;
        key.window = f.hWnd();
        key.type = display::Event::Type::KeyDown;
        key.key = display::Key::Enter;
        screen->injectEvent(key);
      };
      pressStart(button);
      screen->onPoll = nullptr;
      SCOPED_TRACE("input at message point " + std::to_string(target) + " of button " + std::to_string(button));
      EXPECT_EQ(maxDepth, 1);
      if (button == kCmdTest) {
        for (int n = 1; n <= 8; ++n) EXPECT_EQ(runs[n], 1) << "test " << n;
      } else {
        EXPECT_EQ(runs[1], 0);
        EXPECT_EQ(runs[2], 1);
        EXPECT_EQ(f.Label(1).Caption(), "not tested");
      }
      if (::testing::Test::HasFailure()) return;
      if (screen->polls < target) break;
    }
  }
  // Once the test is over the buttons work again.
  runs[1] = 0;
  frmMain().Command(1).press();
  EXPECT_EQ(runs[1], 1);
}

TEST_F(LifecycleTest, OuterSizeIncludesTheFrameTheDisplayReports) {
  framed = true;
  stop();
  start();
  frmMainForm& f = frmMain();
  display::Window* w = f.window();
  ASSERT_NE(w, nullptr);
  // Client 344 x 389 plus a frame of 1 left and right, 20 above, 5 below.
  EXPECT_EQ(f.lFormWidth, 346 * 15);
  EXPECT_EQ(f.lFormHeight, 414 * 15);
  // The frame is centred on the 320 x 240 screen, so it starts left of and
  // above the screen's corner.
  const display::Rect c = w->clientRect();
  EXPECT_EQ(c.x, (320 - 346) / 2 + 1);
  EXPECT_EQ(c.y, (240 - 414) / 2 + 20);
  EXPECT_EQ(c.width, 344);
  EXPECT_EQ(c.height, 389);

  // A drag on the frame's edge and a maximise: the client area snaps back.
  w->setClientRect(display::Rect{c.x, c.y, 500, 300});
  forms::DoEvents();
  EXPECT_EQ(w->clientRect().width, 344);
  EXPECT_EQ(w->clientRect().height, 389);
  w->setState(display::WindowState::Maximized);
  forms::DoEvents();
  EXPECT_EQ(w->state(), display::WindowState::Normal);
  EXPECT_EQ(w->clientRect().width, 344);
  EXPECT_EQ(w->clientRect().height, 389);
  EXPECT_EQ(f.Width(), 346 * 15);
  EXPECT_EQ(f.Height(), 414 * 15);
}

}  // namespace

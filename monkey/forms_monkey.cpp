// forms_monkey: random input against the whole program on a small headless
// screen, for a bounded time.
//
// Each session starts the program as vex2d does (main window, the real
// handlers and protocol, closing the main window ends it) and clicks "Run
// complete benchmark". At every poll of the display, with some probability,
// it injects what a restless user or window manager might send: clicks
// anywhere on either window, key presses, mode switches, close requests of
// either window, resize and maximise requests, a quit. A session ends when the
// program ends or after a number of runs; the next one starts afresh.
//
// Checked throughout: no crash (the sanitizer build turns a use of freed
// memory into one), no hang (an alarm), no test started inside another, every
// rate a result label shows is the one its last, measured run made, and a
// program that has ended leaves no window behind.
//
//   forms_monkey [--seconds N] [--seed S]     defaults: 30 seconds, seed 1
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

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

using shell::frmMain;
using shell::frmTest;

[[noreturn]] void fail(const std::string& what, std::uint64_t seed, int session) {
  std::fprintf(stderr, "forms_monkey: FAILED (seed %llu, session %d): %s\n",
               static_cast<unsigned long long>(seed), session, what.c_str());
  std::fflush(stderr);
  std::abort();
}

// The display that lets the monkey act at every poll.
class MonkeyDisplay : public display::HeadlessDisplay {
 public:
  using HeadlessDisplay::HeadlessDisplay;
  std::function<void()> onPoll;
  bool pollEvent(display::Event* out) override {
    if (onPoll) onPoll();
    return HeadlessDisplay::pollEvent(out);
  }
};

struct Session {
  std::mt19937_64& rng;
  MonkeyDisplay& screen;
  forms::ManualClock& clock;
  std::uint64_t seed;
  int number;
  int depth = 0;
  int runs = 0;

  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  bool chance(double p) { return std::bernoulli_distribution(p)(rng); }

  // Client pixels of a random point in a form's window, a little beyond its
  // edges too.
  void clickIn(forms::Form& f) {
    if (!f.IsLoaded()) return;
    const display::Rect r = f.window()->clientRect();
    display::Event e;
    e.window = f.hWnd();
    e.button = chance(0.9) ? 1 : 2;
    e.x = uniform(-4, r.width + 4);
    e.y = uniform(-4, r.height + 4);
    e.type = display::Event::Type::MouseDown;
    screen.injectEvent(e);
    e.type = display::Event::Type::MouseUp;
    if (chance(0.2)) e.x = uniform(-4, r.width + 4);  // released elsewhere
    screen.injectEvent(e);
  }

  void clickControl(forms::Control& c) {
    forms::Form* f = c.form();
    if (f == nullptr || !f->IsLoaded()) return;
    const display::Rect r = c.pixelRect();
    display::Event e;
    e.window = f->hWnd();
    e.button = 1;
    e.x = r.x + r.width / 2;
    e.y = r.y + r.height / 2;
    e.type = display::Event::Type::MouseDown;
    screen.injectEvent(e);
    e.type = display::Event::Type::MouseUp;
    screen.injectEvent(e);
  }

  forms::Form& someForm() {
    if (chance(0.5)) return frmMain();
    return frmTest();
  }

  // One random action; most polls see none.
  void act() {
    // Using a form that is not loaded would load it: the monkey acts only on
    // what is on the screen, and nothing once the main window has gone.
    if (!chance(0.08) || !frmMain().IsLoaded()) return;
    const int what = uniform(0, 99);
    forms::Form& f = someForm();
    if (!f.IsLoaded()) return;
    if (what < 30) {
      clickIn(f);
    } else if (what < 40) {
      screen.click(uniform(0, screen.screenWidth() - 1), uniform(0, screen.screenHeight() - 1));
    } else if (what < 55) {
      static constexpr display::Key kKeys[] = {display::Key::Enter, display::Key::Space, display::Key::Tab,
                                               display::Key::Escape, display::Key::Left,  display::Key::Right,
                                               display::Key::Up,    display::Key::Down,  display::Key::Other};
      screen.pressKey(kKeys[uniform(0, 8)], chance(0.3));
    } else if (what < 65) {
      clickControl(frmMain().Option1(uniform(0, 1)));
    } else if (what < 72) {
      const int n = uniform(0, 9);
      if (n == 0) {
        clickControl(frmMain().CmdTest());
      } else if (n == 9) {
        clickControl(frmMain().Command(10));
      } else {
        clickControl(frmMain().Command(n));
      }
    } else if (what < 82) {
      display::Rect r = f.window()->clientRect();
      r.width = uniform(1, screen.screenWidth() + 200);
      r.height = uniform(1, screen.screenHeight() + 200);
      f.window()->setClientRect(r);
    } else if (what < 90) {
      static constexpr display::WindowState kStates[] = {display::WindowState::Maximized,
                                                         display::WindowState::Minimized,
                                                         display::WindowState::Normal};
      f.window()->setState(kStates[uniform(0, 2)]);
    } else if (what < 96) {
      // The test window's close request far more often than the main one's,
      // so that sessions last.
      forms::Form& target = what < 95 ? static_cast<forms::Form&>(frmTest()) : frmMain();
      if (target.IsLoaded()) screen.requestClose(target.hWnd());
    } else if (what < 97) {
      display::Event quit;
      quit.type = display::Event::Type::Quit;
      screen.injectEvent(quit);
    }
  }

  // The real handlers with the real protocol, at a hundredth of the
  // iterations, each checked for nesting and for the rate it shows.
  void installHandlers() {
    shell::installHandlers();
    shell::frmMainForm& f = frmMain();
    for (int n = 1; n <= 8; ++n) {
      f.testHandlers[static_cast<std::size_t>(n)] = [this, n] {
        if (++depth != 1) fail("a test started inside another", seed, number);
        ++runs;
        drawtests::TestRow row = drawtests::TestRowOfButton(n);
        row.iterations = std::max(1, row.iterations / 100);
        drawtests::RunDrawingTest(shell::formsTestHost(), row);
        --depth;
        checkRate(n, row);
      };
    }
  }

  void checkRate(int button, const drawtests::TestRow& row) {
    if (forms::programEnding() || !frmMain().IsLoaded()) return;
    const drawtests::KernelWindow& w = drawtests::LastKernelWindow(row.slot);
    const std::string shown = frmMain().Label(button).Caption();
    if (!w.measured) return;
    const std::string expected = drawtests::RateCaption(row.numerator / w.elapsed(), row.unit);
    if (shown != expected) fail("Label" + std::to_string(button) + " shows \"" + shown + "\", its run measured \"" +
                                    expected + "\"", seed, number);
  }

  void run(int maxRuns) {
    forms::startRuntime(screen, clock, "");
    shell::setReportFolder(std::nullopt);
    shell::frmMainForm& f = frmMain();
    f.lRunAll = 0;
    f.lMode = 0;
    f.lResult = {};
    installHandlers();
    shell::showMainWindow();
    forms::setStartupForm(&f);
    screen.onPoll = [this] { act(); };
    int idle = 0;
    while (!forms::programEnding() && runs < maxRuns && idle < 200) {
      if (frmMain().IsLoaded() && chance(0.05)) clickControl(frmMain().CmdTest());
      const int before = runs;
      forms::DoEvents();
      idle = runs == before ? idle + 1 : 0;
      if (depth != 0) fail("a test still runs between events", seed, number);
    }
    screen.onPoll = nullptr;
    if (forms::programEnding()) {
      forms::runMessageLoop();
      if (!screen.stack().empty()) fail("a window is left after the program ended", seed, number);
      if (frmMain().IsLoaded() || frmTest().IsLoaded()) fail("a form is loaded after the end", seed, number);
    } else if (f.lRunAll != 0 || f.testInProgress() || f.oBuffer) {
      fail("the main window is not idle between tests", seed, number);
    }
    frmTest().Unload();
    frmMain().Unload();
    forms::stopRuntime();
  }
};

}  // namespace

int main(int argc, char** argv) {
  int seconds = 30;
  std::uint64_t seed = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else {
      std::fprintf(stderr, "usage: forms_monkey [--seconds N] [--seed S]\n");
      return 2;
    }
  }
  // A session that stops making progress is a hang: the alarm ends it with
  // a failure well after the time budget.
  ::alarm(static_cast<unsigned>(seconds) * 2 + 60);
  std::mt19937_64 rng(seed);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int session = 0;
  int runs = 0;
  do {
    ++session;
    // Small screens, smaller than the main window at times.
    MonkeyDisplay screen(std::uniform_int_distribution<int>(64, 400)(rng),
                         std::uniform_int_distribution<int>(64, 300)(rng));
    forms::ManualClock clock;
    clock.onNow = [&clock] { clock.advance(0.001); };
    Session s{rng, screen, clock, seed, session};
    s.run(40);
    runs += s.runs;
  } while (std::chrono::steady_clock::now() < end);
  std::printf("forms_monkey: %d sessions, %d test runs, seed %llu: no fault\n", session, runs,
              static_cast<unsigned long long>(seed));
  return 0;
}

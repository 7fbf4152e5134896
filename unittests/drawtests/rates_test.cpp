// The rates of the eight tests in both modes, measured the way a user gets
// them: the real forms on a headless 1024 x 768 screen with the real clock.
// Disabled by default (it takes about a minute and its figures depend on
// the machine); run it with
//   drawtests_tests --gtest_also_run_disabled_tests --gtest_filter='*Rates*'
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/display/headless.h"
#include "platform/forms/forms.h"
#include "shell/frm_main.h"
#include "shell/frm_test.h"
#include "shell/program.h"
#include "tests/handlers.h"

namespace {

TEST(DrawingTestRates, DISABLED_BothModesHeadless1024x768) {
  display::HeadlessDisplay screen(1024, 768);
  forms::RealClock clock;
  forms::startRuntime(screen, clock, "");
  shell::frmMainForm& f = shell::frmMain();
  f.lMode = 0;
  shell::installHandlers();
  shell::showMainWindow();
  forms::DoEvents();
  for (int mode : {0, 1}) {
    f.Option1(mode).press();
    ASSERT_EQ(f.lMode, mode);
    // The order of the complete run.
    for (int button : {1, 2, 8, 3, 4, 5, 6, 7}) {
      f.Command(button).press();
      const drawtests::TestRow& row = drawtests::TestRowOfButton(button);
      const drawtests::KernelWindow& w = drawtests::LastKernelWindow(row.slot);
      std::printf("%-8s %-10s %8.3f s  slot %7d  \"%s\"\n", mode == 0 ? "direct" : "buffered", row.title,
                  w.elapsed(), f.lResult[static_cast<std::size_t>(row.slot)], f.Label(row.resultLabel).Caption().c_str());
      EXPECT_TRUE(w.measured);
      EXPECT_GT(f.lResult[static_cast<std::size_t>(row.slot)], 0);
    }
  }
  shell::frmTest().Unload();
  f.Unload();
  forms::stopRuntime();
}

}  // namespace

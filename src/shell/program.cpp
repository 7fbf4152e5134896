#include "shell/program.h"

#include "shell/complete_run.h"
#include "shell/frm_main.h"
#include "shell/frm_test.h"
#include "shell/pictures.h"
#include "shell/test_host.h"
#include "tests/handlers.h"
#include "tests/registry.h"

namespace shell {

void installHandlers() {
  frmMainForm& f = frmMain();
  for (const drawtests::TestEntry& t : drawtests::kTests) {
    const auto click = t.click;
    f.testHandlers[static_cast<std::size_t>(t.button)] = [click] { click(formsTestHost()); };
  }
  f.CmdTest_Click = [&f] { CmdTest_Click(f); };
  f.Command10_Click = [&f] { Command10_Click(f); };
}

void showMainWindow() {
  frmMainForm& f = frmMain();
  f.Load();
  if (display::Window* w = f.window()) {
    std::vector<std::uint32_t> small = makeIcon(32), large = makeIcon(48);
    w->setIcon(gdi::PixelView{reinterpret_cast<std::uint8_t*>(small.data()), 32 * 4, 32, 32, gdi::PixelFormat::Xrgb32},
               gdi::PixelView{reinterpret_cast<std::uint8_t*>(large.data()), 48 * 4, 48, 48, gdi::PixelFormat::Xrgb32});
  }
  f.Show();
}

void runProgram() {
  installHandlers();
  showMainWindow();
  // Closing the main window ends the program, also in the middle of a test.
  forms::setStartupForm(&frmMain());
  forms::runMessageLoop();
}

}  // namespace shell

// vex2d: the desktop program on a real display.
#include <cstdio>
#include <string>

#include "platform/display/display.h"
#include "platform/forms/forms.h"
#include "platform/gdi/engine.h"
#include "shell/program.h"
#include "version.h"

namespace {

const char kHelp[] =
    "Usage: vex2d [--help | --version]\n"
    "Vex2D, a benchmark of 2D drawing: the main window lets you choose the drawing\n"
    "mode (direct to the visible window, or into a DIB buffer copied at the end),\n"
    "run each of the eight drawing tests (text, lines, Bezier splines, polygons,\n"
    "rectangles, ellipses and arcs, block transfers, stretched block transfers) or\n"
    "the complete benchmark, and copy the report with its score to the clipboard.\n"
    "The report is also saved as a text file in the program's folder or, when that\n"
    "is not writable, in $XDG_DATA_HOME/vex2d/reports.\n"
    "\n"
    "The program needs a display (X11 or Wayland). vex2d-run runs the same\n"
    "benchmark from the command line, also without a display.\n"
    "\n"
    "  --help       show this help and exit\n"
    "  --version    show the version and exit\n";

// The desktop program takes no options but these two; anything else is
// refused rather than ignored.
int commandLine(int argc, char** argv) {
  if (argc < 2) return -1;
  const std::string a = argv[1];
  if (argc == 2 && a == "--help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && a == "--version") {
    std::printf("%s\n", app::versionLine("vex2d").c_str());
    return 0;
  }
  std::fprintf(stderr, "vex2d: unknown option '%s'\nTry 'vex2d --help'.\n", a.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int status = commandLine(argc, argv); status >= 0) return status;
  // Without a font the text test would measure nothing and inflate the
  // score, and the window would show no text: refuse before anything runs.
  if (const std::string missing = gdi::missingFontReason(); !missing.empty()) {
    std::fprintf(stderr, "vex2d: %s\n", missing.c_str());
    return 2;
  }
  std::string error;
  std::unique_ptr<display::Display> screen = display::createSdlDisplay(&error);
  if (!screen) {
    std::fprintf(stderr, "vex2d: no usable display (%s); vex2d-run runs the benchmark headless\n", error.c_str());
    return 2;
  }
  forms::RealClock clock;
  forms::startRuntime(*screen, clock, "");
  shell::runProgram();
  forms::stopRuntime();
  // A quit by signal ends with the status a shell expects of that signal,
  // after the same clean shutdown as a closed window.
  const int signal = display::quitSignal();
  return signal != 0 ? 128 + signal : 0;
}

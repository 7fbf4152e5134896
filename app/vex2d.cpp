// vex2d: the desktop program on a real display.
#include <cstdio>
#include <string>

#include "platform/display/display.h"
#include "platform/forms/forms.h"
#include "platform/gdi/engine.h"
#include "shell/program.h"

int main() {
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

// vex2d: the desktop program on a real display.
#include <cstdio>
#include <string>

#include "platform/display/display.h"
#include "platform/forms/forms.h"
#include "shell/program.h"

int main() {
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
  return 0;
}

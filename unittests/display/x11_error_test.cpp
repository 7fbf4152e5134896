// On a real X server (only when DISPLAY is set): a protocol error, such as a
// request about a window that is already gone, is named on standard error
// and the program goes on; Xlib's own handler would end the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/display/display.h"

// Last: Xlib defines macros (None, True, False, Status) that other headers use as names.
#include <X11/Xlib.h>

namespace {

TEST(SdlX11Errors, AProtocolErrorIsReportedAndSurvived) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "DISPLAY is not set";
  std::string error;
  std::unique_ptr<display::Display> screen = display::createSdlDisplay(&error);
  ASSERT_NE(screen, nullptr) << error;
  ::Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  ::testing::internal::CaptureStderr();
  XDestroyWindow(d, static_cast<::Window>(0x7ffff0));  // no such window: BadWindow
  XSync(d, False);
  const std::string err = ::testing::internal::GetCapturedStderr();
  XCloseDisplay(d);
  EXPECT_NE(err.find("X protocol error 3 on request 4.0 for resource 0x7ffff0 (ignored)"), std::string::npos) << err;
}

}  // namespace

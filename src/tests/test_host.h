// What the measurement protocol needs of the program around it: the shared
// state and the procedures of the main window, and the drawing surface and
// title label of the test window. The shell implements it over frmMain and
// frmTest; unit tests wrap that implementation to watch a test as it runs.
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/forms.h"
#include "platform/gdi/gdi.h"

namespace drawtests {

class TestHost {
 public:
  virtual ~TestHost() = default;

  // Module variables of the main window. The protocol reads lMode afresh at
  // every step that tests it, so a change of mode made while messages are
  // processed takes effect from the next such step.
  virtual std::int16_t lMode() = 0;
  virtual void setLResult(int slot, std::int32_t value) = 0;
  virtual gdi::HDC lBufferDC() = 0;

  // The test bracket and the off-screen buffer of a buffered test.
  virtual void BeginTest() = 0;
  virtual void EndTest() = 0;
  virtual void CreateDIBSection() = 0;
  virtual void FreeBuffer() = 0;

  // The caption of result label `label` (Label1 .. Label8) of the main
  // window.
  virtual void setResultCaption(int label, const std::string& caption) = 0;

  // The hidden source pictures of the main window.
  virtual forms::PictureBox& Picture2() = 0;
  virtual forms::PictureBox& Picture3() = 0;

  // The drawing surface and the title label of the test window. Using them
  // loads the test window first, which may raise a run-time error.
  virtual forms::PictureBox& Picture1() = 0;
  virtual forms::Label& Label13() = 0;

  // Processes pending window messages. It goes through the host so that the
  // places where a test yields to other event handlers can be seen.
  virtual void DoEvents() = 0;
};

}  // namespace drawtests

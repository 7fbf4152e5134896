// frmMain: the program's working window and the state every test shares.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/forms/forms.h"
#include "shell/pictures.h"
#include "surface/test_buffer.h"
#include "surface/dib_section.h"

namespace shell {

class frmMainForm : public forms::Form {
 public:
  frmMainForm();

  // Module variables.
  std::int32_t lRunAll = 0;
  std::int16_t lMode = 0;
  std::array<std::int32_t, 11> lResult{};  // slots 1 to 10; [0] unused
  gdi::HDC lBufferDC = 0;
  std::unique_ptr<surface::cDIBSection> oBuffer;
  std::int32_t lFormWidth = 0;
  std::int32_t lFormHeight = 0;

  // Events.
  void Form_Load() override;
  void Form_Resize() override;
  void Form_Unload() override;
  void Option1_Click(std::int16_t Index);

  // The test bracket.
  void BeginTest();
  void EndTest();
  // The off-screen buffer of a buffered test.
  void CreateDIBSection();
  void FreeBuffer();

  // The click handlers of the start buttons and the report button; the
  // benchmark installs them (a click runs whatever is installed).
  std::array<std::function<void()>, 9> testHandlers;  // [1..8] = Command1..Command8
  std::function<void()> CmdTest_Click;
  std::function<void()> Command10_Click;
  // Called as every test ends, before the bracket may close the test window
  // (also inside the complete run): a runner takes its pictures here.
  std::function<void()> onTestEnd;

  // True while a start button's handler runs (a single test or the complete
  // run). The start buttons are disabled only at the end of BeginTest, after
  // it has processed messages three times; a click or key that arrives in
  // between, or that was queued before, must not start a test inside the
  // running one, so the buttons do nothing while this is set.
  bool testInProgress() const { return testInProgress_; }

  // Controls (using one loads the form first).
  forms::PictureBox& Picture4();
  forms::Label& Label19();
  forms::Label& Label91();
  forms::Label& Label12();
  forms::Label& Label9();  // the credit line
  forms::OptionButton& Option1(int index);
  forms::CommandButton& Command(int n);  // Command1 .. Command8, Command10
  forms::CommandButton& CmdTest();
  forms::Label& Label(int n);            // Label1 .. Label8
  forms::PictureBox& Picture1();
  forms::PictureBox& Picture2();
  forms::PictureBox& Picture3();

 protected:
  void createControls() override;
  void destroyControls() override;

 private:
  std::unique_ptr<forms::PictureBox> picture4_, picture1_, picture2_, picture3_;
  std::unique_ptr<forms::Label> label19_, label91_, label12_, label9_;
  std::array<std::unique_ptr<forms::OptionButton>, 2> option1_;
  std::array<std::unique_ptr<forms::CommandButton>, 11> command_;  // [1..8], [10]
  std::unique_ptr<forms::CommandButton> cmdTest_;
  std::array<std::unique_ptr<forms::Label>, 9> label_;  // [1..8]
  Image star_, bubbles_;
  bool testInProgress_ = false;
  // What a click on a start button does: its handler, unless a test runs.
  void startButton(const std::function<void()>& handler);
};

frmMainForm& frmMain();

}  // namespace shell

#include "shell/frm_test.h"

namespace shell {

using namespace forms;

frmTestForm::frmTestForm() : Form("frmTest") {
  Caption = "";
  BackColor = gdi::RGB(0, 0, 0);
  ScaleModeValue = 3;  // pixels
  // A borderless window: the drawing surface covers the whole screen.
  borderless = true;
  setDesignClientSize(640, 480);
}

frmTestForm& frmTest() {
  static frmTestForm form;
  return form;
}

void frmTestForm::createControls() {
  // Picture1 is placed by Resize; its title label sits at 7845 twips from
  // the left (523 pixels) as designed.
  picture1_ = std::make_unique<PictureBox>(this, "Picture1", 0, 0, 640, 480, PictureBox::kPixels);
  picture1_->BackColor = gdi::RGB(64, 64, 64);
  picture1_->Font = FontSpec{"Arial", 8.25f, false};
  picture1_->setVisible(false);
  label13_ = std::make_unique<Label>(picture1_.get(), "Label13", 7845.0f / kTwipsPerPixel,
                                     4770.0f / kTwipsPerPixel, 2955.0f / kTwipsPerPixel,
                                     1665.0f / kTwipsPerPixel, "Text");
  label13_->Font = FontSpec{"Arial", 72.0f, true};
  label13_->ForeColor = gdi::RGB(255, 255, 255);
  label13_->BackColor = gdi::RGB(64, 64, 64);
  label13_->Alignment = 2;
  label13_->AutoSize = true;
  label13_->applyAutoSize();
  label13_->setVisible(false);
}

void frmTestForm::destroyControls() {
  label13_.reset();
  picture1_.reset();
}

PictureBox& frmTestForm::Picture1() {
  Load();
  return *picture1_;
}

Label& frmTestForm::Label13() {
  Load();
  return *label13_;
}

void frmTestForm::Form_Load() {
  resumeNext([&] { setWindowState(2); });
  resumeNext([&] {
    const int cx = roundToInt(static_cast<float>(Screen::Width() / Screen::TwipsPerPixelX()));
    const int cy = roundToInt(static_cast<float>(Screen::Height() / Screen::TwipsPerPixelY()));
    SetWindowPos(hWnd(), HWND_TOPMOST, 0, 0, cx, cy, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  });
  resumeNext([&] { Move(0, 0, Screen::Width(), Screen::Height()); });
}

void frmTestForm::Form_Resize() {
  if (WindowState() == 1) return;
  resumeNext([&] { picture1_->Move(0, 0, ScaleWidth(), ScaleHeight()); });
}

void frmTestForm::Form_Unload() {
  // Leaves the topmost band at its present place and size before it goes.
  const HWND h = hWnd();
  const float left = Left(), top = Top(), width = Width(), height = Height();
  const float tx = Screen::TwipsPerPixelX(), ty = Screen::TwipsPerPixelY();
  SetWindowPos(h, HWND_NOTOPMOST, roundToInt(static_cast<float>(left / tx)), roundToInt(static_cast<float>(top / ty)),
               roundToInt(static_cast<float>(width / tx)), roundToInt(static_cast<float>(height / ty)),
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

}  // namespace shell

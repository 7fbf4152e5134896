#include "shell/frm_main.h"

#include "shell/frm_test.h"
#include "tests/registry.h"

namespace shell {

using namespace forms;

namespace {

// Top of each test button and its result label, in twips: screen order Text,
// Line, Splines/Bezier, Polygon, Rectangle, Arc/Ellipse, Blitting, Stretching.
constexpr float kButtonTop[] = {0, 1860, 2250, 3030, 3420, 3810, 4200, 4590, 2640};

// Eight blanks after "Benchmark"; a bullet (0x95 in Windows-1252) with a
// blank on each side before the year.
constexpr const char* kCredit = "Vex2D 2D GDI-Benchmark        Dremsel \x95 2010";

}  // namespace

frmMainForm::frmMainForm() : Form("frmMain") {
  Caption = "Vex2D - 2D GDI-Benchmark v. 2";
  // Client area 5160 x 5835 twips.
  setDesignClientSize(344, 389);
  star_ = makeStarPicture();
  bubbles_ = makeBubblesPicture();
}

frmMainForm& frmMain() {
  static frmMainForm form;
  return form;
}

void frmMainForm::createControls() {
  picture4_ = std::make_unique<PictureBox>(this, "Picture4", 60, 105, 4980, 1335, PictureBox::kTwips);
  picture4_->BackColor = gdi::RGB(192, 255, 192);

  label19_ = std::make_unique<forms::Label>(picture4_.get(), "Label19", 120, 240, 645, 255, "Score:");
  label19_->Font = FontSpec{"Arial", 11.25f, false};
  label19_->ForeColor = gdi::RGB(0, 128, 0);
  label19_->BackStyle = 0;
  label19_->AutoSize = true;
  label19_->applyAutoSize();
  label19_->setVisible(false);

  label91_ = std::make_unique<forms::Label>(picture4_.get(), "Label91", 960, 120, 270, 1125, "");
  label91_->Font = FontSpec{"Arial", 48.0f, true};
  label91_->ForeColor = gdi::RGB(0, 64, 0);
  label91_->BackColor = gdi::RGB(192, 255, 192);
  label91_->AutoSize = true;
  label91_->applyAutoSize();

  label12_ = std::make_unique<forms::Label>(picture4_.get(), "Label12", 120, 960, 60, 255, " ");
  label12_->Font = FontSpec{"Arial", 11.25f, false};
  label12_->BackStyle = 0;
  label12_->AutoSize = true;
  label12_->applyAutoSize();

  option1_[0] = std::make_unique<OptionButton>(this, "Option1", 0, 75, 1500, 2580, 300,
                                               "Direct drawing to visible device");
  option1_[1] = std::make_unique<OptionButton>(this, "Option1", 1, 2820, 1500, 1680, 300, "DIB buffering");
  OptionButton::group({option1_[0].get(), option1_[1].get()});
  option1_[0]->setValue(true);
  for (auto& o : option1_) o->Click = [this](int index) { Option1_Click(static_cast<std::int16_t>(index)); };

  // Buttons and result labels in screen order.
  for (const drawtests::TestEntry& t : drawtests::kTests) {
    const int n = t.button;
    command_[static_cast<std::size_t>(n)] = std::make_unique<CommandButton>(
        this, "Command" + std::to_string(n), 60, kButtonTop[n], 1215, 375, drawtests::TestOfButton(n).caption);
    command_[static_cast<std::size_t>(n)]->Click = [this, n] { startButton(testHandlers[static_cast<std::size_t>(n)]); };
    auto& l = label_[static_cast<std::size_t>(n)];
    l = std::make_unique<forms::Label>(this, "Label" + std::to_string(n), 1305, kButtonTop[n], 3735, 375,
                                       "not tested");
    l->Font = FontSpec{"Arial", 12.75f, true};
    l->ForeColor = gdi::RGB(128, 128, 128);
    l->BackColor = gdi::RGB(255, 255, 255);
    l->Alignment = 2;
    l->BorderStyle = 1;
  }
  // The credit line fills the band between the last test row (which ends at
  // 4965 twips) and the bottom buttons (5370), in the grey of the result
  // texts, so that it reads as a caption of the window and not as a result.
  label9_ = std::make_unique<forms::Label>(this, "Label9", 60, 5025, 4980, 285, kCredit);
  label9_->Font = FontSpec{"Arial", 8.25f, false};
  label9_->ForeColor = gdi::RGB(128, 128, 128);
  label9_->BackStyle = 0;
  label9_->Alignment = 2;

  cmdTest_ = std::make_unique<CommandButton>(this, "CmdTest", 45, 5370, 3075, 390, "Run complete benchmark");
  cmdTest_->Font.bold = true;
  cmdTest_->Click = [this] { startButton(CmdTest_Click); };
  command_[10] = std::make_unique<CommandButton>(this, "Command10", 3150, 5370, 1905, 390, "Copy to clipboard");
  command_[10]->setEnabled(false);
  command_[10]->Click = [this] {
    if (Command10_Click) Command10_Click();
  };

  // Hidden picture boxes right of the client area: the buffer's size
  // reference and the two source pictures (500 pixels plus a two-pixel frame).
  picture1_ = std::make_unique<PictureBox>(this, "Picture1", 12480, 2775, 9600, 8355, PictureBox::kPixels);
  picture1_->BackColor = gdi::RGB(64, 64, 64);
  picture1_->setVisible(false);
  picture2_ = std::make_unique<PictureBox>(this, "Picture2", 10320, 6840, 7560, 7560, PictureBox::kPixels);
  picture2_->BorderStyle = 1;
  picture2_->setPicture(star_.view());
  picture2_->setVisible(false);
  picture3_ = std::make_unique<PictureBox>(this, "Picture3", 10800, 7440, 7560, 7560, PictureBox::kPixels);
  picture3_->BorderStyle = 1;
  picture3_->setPicture(bubbles_.view());
  picture3_->setVisible(false);

  setTabOrder({cmdTest_.get(), command_[1].get(), command_[2].get(), command_[8].get(), command_[3].get(),
               command_[4].get(), command_[5].get(), command_[6].get(), command_[7].get(), command_[10].get(),
               option1_[0].get(), option1_[1].get()});
  cmdTest_->SetFocus();
}

void frmMainForm::startButton(const std::function<void()>& handler) {
  if (testInProgress_ || !handler) return;
  testInProgress_ = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{testInProgress_};
  handler();
}

void frmMainForm::destroyControls() {
  label19_.reset();
  label91_.reset();
  label12_.reset();
  label9_.reset();
  picture4_.reset();
  for (auto& o : option1_) o.reset();
  for (auto& c : command_) c.reset();
  cmdTest_.reset();
  for (auto& l : label_) l.reset();
  picture1_.reset();
  picture2_.reset();
  picture3_.reset();
}

PictureBox& frmMainForm::Picture4() { Load(); return *picture4_; }
forms::Label& frmMainForm::Label19() { Load(); return *label19_; }
forms::Label& frmMainForm::Label91() { Load(); return *label91_; }
forms::Label& frmMainForm::Label12() { Load(); return *label12_; }
forms::Label& frmMainForm::Label9() { Load(); return *label9_; }
OptionButton& frmMainForm::Option1(int index) { Load(); return *option1_.at(static_cast<std::size_t>(index)); }
CommandButton& frmMainForm::Command(int n) { Load(); return *command_.at(static_cast<std::size_t>(n)); }
CommandButton& frmMainForm::CmdTest() { Load(); return *cmdTest_; }
forms::Label& frmMainForm::Label(int n) { Load(); return *label_.at(static_cast<std::size_t>(n)); }
PictureBox& frmMainForm::Picture1() { Load(); return *picture1_; }
PictureBox& frmMainForm::Picture2() { Load(); return *picture2_; }
PictureBox& frmMainForm::Picture3() { Load(); return *picture3_; }

void frmMainForm::Form_Load() {
  resumeNext([&] { lFormHeight = roundToInt(Height()); });
  resumeNext([&] { lFormWidth = roundToInt(Width()); });
  resumeNext([&] {
    const float left = static_cast<float>((Screen::Width() - Width()) / 2.0f);
    const float top = static_cast<float>((Screen::Height() - Height()) / 2.0f);
    Move(left, top);
  });
}

void frmMainForm::Form_Resize() {
  if (WindowState() == 1) return;
  resumeNext([&] {
    if (WindowState() == 2) setWindowState(0);
  });
  resumeNext([&] {
    if (static_cast<double>(Width()) != static_cast<double>(lFormWidth)) setWidth(static_cast<float>(lFormWidth));
  });
  resumeNext([&] {
    if (static_cast<double>(Height()) != static_cast<double>(lFormHeight)) setHeight(static_cast<float>(lFormHeight));
  });
}

void frmMainForm::Form_Unload() { FreeBuffer(); }

void frmMainForm::Option1_Click(std::int16_t Index) { lMode = Index; }

void frmMainForm::BeginTest() {
  if (lRunAll == 1) return;
  frmTestForm& test = frmTest();
  resumeNext([&] { test.Load(); });
  resumeNext([&] { test.Show(); });
  DoEvents();
  resumeNext([&] { Screen::setMousePointer(11); });
  Sleep(1000);
  resumeNext([&] { test.Picture1().setVisible(true); });
  DoEvents();
  resumeNext([&] {
    PictureBox& surface = test.Picture1();
    surface.Cls();
    surface.ForeColor = 0;
    surface.FontName = "Arial";
  });
  Randomize(-5);
  resumeNext([&] { test.Picture1().SetFocus(); });
  resumeNext([&] {
    BringWindowToTop(test.hWnd());
    SetForegroundWindow(test.hWnd());
  });
  DoEvents();
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8}) resumeNext([&] { Command(n).setEnabled(false); });
  resumeNext([&] { CmdTest().setEnabled(false); });
}

void frmMainForm::EndTest() {
  if (onTestEnd) onTestEnd();
  if (lRunAll == 1) return;
  frmTest().Unload();
  resumeNext([&] { Screen::setMousePointer(0); });
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8}) resumeNext([&] { Command(n).setEnabled(true); });
  resumeNext([&] { CmdTest().setEnabled(true); });
  FreeBuffer();
  DoEvents();
}

void frmMainForm::CreateDIBSection() {
  surface::CreateTestBuffer(oBuffer, lBufferDC, [this] { return Picture1().ScaleWidth(); },
                            [this] { return Picture1().ScaleHeight(); });
}

void frmMainForm::FreeBuffer() { surface::FreeTestBuffer(oBuffer); }

}  // namespace shell

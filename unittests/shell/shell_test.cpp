// The main window, the test window, the test bracket and the off-screen
// surface, on a headless 1024 x 768 screen with a manual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/display/png.h"
#include "platform/forms/forms.h"
#include "shell/frm_main.h"
#include "shell/frm_test.h"
#include "shell/program.h"
#include "surface/dib_section.h"

namespace {

using namespace shell;

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    forms::startRuntime(screen, clock, "");
    frmMainForm& f = frmMain();
    f.lRunAll = 0;
    f.lMode = 0;
    f.lResult = {};
    installHandlers();
    showMainWindow();
    forms::DoEvents();
  }
  void TearDown() override {
    frmTest().Unload();
    frmMain().Unload();
    forms::stopRuntime();
  }

  display::HeadlessDisplay screen{1024, 768};
  forms::ManualClock clock;
};

display::Rect rectOf(const forms::Control& c) { return c.pixelRect(); }

TEST_F(ShellTest, MainWindowLayoutInPixels) {
  frmMainForm& f = frmMain();
  EXPECT_EQ(f.Caption, "Vex2D - 2D GDI-Benchmark v. 2");
  EXPECT_FLOAT_EQ(f.ScaleWidth(), 5160.0f);
  EXPECT_FLOAT_EQ(f.ScaleHeight(), 5835.0f);
  struct Row {
    forms::Control* control;
    int x, y, w, h;
  } rows[] = {
      {&f.Picture4(), 4, 7, 332, 89},     {&f.Option1(0), 5, 100, 172, 20}, {&f.Option1(1), 188, 100, 112, 20},
      {&f.Command(1), 4, 124, 81, 25},    {&f.Label(1), 87, 124, 249, 25},  {&f.Command(2), 4, 150, 81, 25},
      {&f.Command(8), 4, 176, 81, 25},    {&f.Command(3), 4, 202, 81, 25},  {&f.Command(4), 4, 228, 81, 25},
      {&f.Command(5), 4, 254, 81, 25},    {&f.Command(6), 4, 280, 81, 25},  {&f.Command(7), 4, 306, 81, 25},
      {&f.Label(7), 87, 306, 249, 25},    {&f.CmdTest(), 3, 358, 205, 26},  {&f.Command(10), 210, 358, 127, 26},
  };
  for (const Row& r : rows) {
    const display::Rect p = rectOf(*r.control);
    EXPECT_EQ(p.x, r.x) << r.control->name();
    EXPECT_EQ(p.y, r.y) << r.control->name();
    EXPECT_EQ(p.width, r.w) << r.control->name();
    EXPECT_EQ(p.height, r.h) << r.control->name();
  }
  // Initial state.
  EXPECT_TRUE(f.Option1(0).Value());
  EXPECT_FALSE(f.Option1(1).Value());
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(f.Label(n).Caption(), "not tested");
  EXPECT_FALSE(f.Command(10).Enabled());
  EXPECT_FALSE(f.Label19().Visible());
  EXPECT_EQ(f.Label12().Caption(), " ");
  EXPECT_TRUE(f.CmdTest().hasFocus());
  EXPECT_EQ(f.Command(8).Caption(), "Splines/B\xE9zier");
  // The hidden reference picture box gives the buffer size 640 x 557.
  EXPECT_FLOAT_EQ(f.Picture1().ScaleWidth(), 640.0f);
  EXPECT_FLOAT_EQ(f.Picture1().ScaleHeight(), 557.0f);
  EXPECT_FLOAT_EQ(f.Picture2().ScaleWidth(), 500.0f);
  // Centred on the screen.
  const display::Rect w = f.window()->clientRect();
  EXPECT_EQ(w.x, (1024 - 344) / 2);
  EXPECT_EQ(w.y, 190);  // (768 - 389) / 2 = 189.5, rounded to even
  EXPECT_EQ(w.width, 344);
  EXPECT_EQ(w.height, 389);

  const std::string png = ::testing::TempDir() + "frmMain.png";
  EXPECT_TRUE(display::writePng(png, f.backBuffer()));
}

TEST_F(ShellTest, ResizeSnapsBackAndMaximiseReturnsToNormal) {
  frmMainForm& f = frmMain();
  const float width = f.Width(), height = f.Height();
  EXPECT_EQ(f.lFormWidth, static_cast<int>(width));
  f.setWidth(width + 600);
  f.setHeight(height - 300);
  forms::DoEvents();
  EXPECT_FLOAT_EQ(f.Width(), width);
  EXPECT_FLOAT_EQ(f.Height(), height);
  f.setWindowState(2);
  forms::DoEvents();
  EXPECT_EQ(f.WindowState(), 0);
  EXPECT_FLOAT_EQ(f.Width(), width);
  f.setWindowState(1);
  forms::DoEvents();
  EXPECT_EQ(f.WindowState(), 1);  // minimised stays minimised
}

TEST_F(ShellTest, OptionClicksSetTheMode) {
  frmMainForm& f = frmMain();
  f.Option1(1).press();
  EXPECT_EQ(f.lMode, 1);
  EXPECT_FALSE(f.Option1(0).Value());
  f.Option1(0).press();
  EXPECT_EQ(f.lMode, 0);
  // A real click on the screen works the same way.
  const display::Rect w = f.window()->clientRect();
  const display::Rect o = f.Option1(1).pixelRect();
  screen.click(w.x + o.x + 5, w.y + o.y + o.height / 2);
  forms::DoEvents();
  EXPECT_EQ(f.lMode, 1);
}

TEST_F(ShellTest, BracketOpensAndClosesTheTestWindow) {
  frmMainForm& f = frmMain();
  bool buttonsDuringSleep = true;
  int sleeps = 0;
  clock.onSleep = [&](int ms) {
    ++sleeps;
    if (ms == 1000) buttonsDuringSleep = f.Command(1).Enabled();
  };
  forms::Randomize(3);
  f.BeginTest();
  // The one-second pause came before the buttons were disabled.
  EXPECT_EQ(sleeps, 1);
  EXPECT_TRUE(buttonsDuringSleep);
  frmTestForm& t = frmTest();
  EXPECT_TRUE(t.IsLoaded());
  EXPECT_TRUE(t.window()->visible());
  EXPECT_EQ(screen.cursor(), display::Cursor::Wait);
  // Full screen, topmost, its surface covering the client area.
  const display::Rect r = t.window()->clientRect();
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.width, 1024);
  EXPECT_EQ(r.height, 768);
  EXPECT_TRUE(screen.find(t.window()->id())->topmost());
  EXPECT_FLOAT_EQ(t.Picture1().ScaleWidth(), 1024.0f);
  EXPECT_FLOAT_EQ(t.Picture1().ScaleHeight(), 768.0f);
  EXPECT_TRUE(t.Picture1().Visible());
  EXPECT_FALSE(t.Label13().Visible());
  for (int n = 1; n <= 8; ++n) EXPECT_FALSE(f.Command(n).Enabled()) << n;
  EXPECT_FALSE(f.CmdTest().Enabled());
  EXPECT_FALSE(f.Command(10).Enabled());  // untouched: it was disabled before
  EXPECT_TRUE(f.Option1(1).effectivelyVisible());
  // Re-seeded: the next values are those after Randomize(-5).
  const float first = forms::Rnd();
  forms::Randomize(-5);
  EXPECT_EQ(forms::Rnd(), first);

  f.EndTest();
  EXPECT_FALSE(t.IsLoaded());
  EXPECT_EQ(screen.cursor(), display::Cursor::Default);
  for (int n = 1; n <= 8; ++n) EXPECT_TRUE(f.Command(n).Enabled()) << n;
  EXPECT_TRUE(f.CmdTest().Enabled());
  // The main window has the focus back.
  ASSERT_NE(screen.focused(), nullptr);
  EXPECT_EQ(screen.focused()->id(), f.window()->id());
}

TEST_F(ShellTest, BracketDoesNothingDuringTheCompleteRun) {
  frmMainForm& f = frmMain();
  f.lRunAll = 1;
  int sleeps = 0;
  clock.onSleep = [&](int) { ++sleeps; };
  forms::Randomize(7);
  const float expected = forms::Rnd();
  forms::Randomize(7);
  f.BeginTest();
  EXPECT_EQ(sleeps, 0);
  EXPECT_FALSE(frmTest().IsLoaded());
  EXPECT_TRUE(f.Command(1).Enabled());
  EXPECT_EQ(forms::Rnd(), expected);  // not re-seeded
  f.CreateDIBSection();
  f.EndTest();
  EXPECT_NE(f.oBuffer, nullptr);  // not released by the bracket either
  f.lRunAll = 0;
  f.FreeBuffer();
}

TEST_F(ShellTest, AStartButtonClickRunsTheBracket) {
  frmMainForm& f = frmMain();
  const display::Rect w = f.window()->clientRect();
  const display::Rect b = f.Command(2).pixelRect();
  screen.click(w.x + b.x + b.width / 2, w.y + b.y + b.height / 2);
  const double before = clock.now();
  forms::DoEvents();
  EXPECT_GE(clock.now() - before, 1.0);  // the bracket's pause ran
  EXPECT_FALSE(frmTest().IsLoaded());
  EXPECT_TRUE(f.Command(2).Enabled());
}

TEST_F(ShellTest, TestBufferIsWhiteAndExactlyOne) {
  frmMainForm& f = frmMain();
  const std::size_t handles = gdi::liveHandleCount();
  f.CreateDIBSection();
  ASSERT_NE(f.oBuffer, nullptr);
  ASSERT_NE(f.lBufferDC, 0u);
  const gdi::HDC first = f.lBufferDC;
  f.CreateDIBSection();  // the older buffer goes first
  EXPECT_NE(f.lBufferDC, first);
  EXPECT_EQ(gdi::GetPixel(first, 0, 0), gdi::CLR_INVALID);  // its DC is gone
  EXPECT_EQ(f.oBuffer->Width(), 640);
  EXPECT_EQ(f.oBuffer->Height(), 557);
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {639, 0}, {0, 556}, {639, 556}, {320, 200}})
    EXPECT_EQ(gdi::GetPixel(f.lBufferDC, x, y), gdi::RGB(255, 255, 255)) << x << "," << y;
  EXPECT_EQ(gdi::GetPixel(f.lBufferDC, 640, 0), gdi::CLR_INVALID);
  // The DC holds the pen and brush it was created with.
  const gdi::HGDIOBJ pen = gdi::SelectObject(f.lBufferDC, gdi::GetStockObject(gdi::BLACK_PEN));
  EXPECT_EQ(pen, gdi::GetStockObject(gdi::BLACK_PEN));
  const gdi::HDC kept = f.lBufferDC;
  f.FreeBuffer();
  f.FreeBuffer();  // harmless
  EXPECT_EQ(f.oBuffer, nullptr);
  EXPECT_EQ(f.lBufferDC, kept);  // not reset
  EXPECT_EQ(gdi::liveHandleCount(), handles);
}

TEST(DibSection, BytesPerScanLine) {
  const struct {
    std::int32_t width, bytes;
  } cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {500, 1500}, {640, 1920}, {715827881, 2147483644}};
  for (const auto& c : cases) {
    surface::cDIBSection d;
    // Create writes the width before anything can fail.
    d.Create(c.width, 0);
    EXPECT_EQ(d.BytesPerScanLine(), c.bytes) << c.width;
    d.ClearUp();
  }
  surface::cDIBSection d;
  d.Create(715827882, 1);
  EXPECT_THROW(d.BytesPerScanLine(), forms::RuntimeError);
}

TEST(DibSection, CreateClearUpAndAbsurdSizes) {
  const std::size_t handles = gdi::liveHandleCount();
  surface::cDIBSection d;
  d.ClearUp();  // on an empty object: nothing
  EXPECT_TRUE(d.Create(16, 12));
  EXPECT_NE(d.hdc(), 0u);
  EXPECT_NE(d.hDib(), 0u);
  EXPECT_NE(d.DIBSectionBitsPtr(), nullptr);
  EXPECT_TRUE(d.Create(20, 10));  // the first surface is freed first
  EXPECT_EQ(gdi::liveHandleCount(), handles + 2);
  d.ClearUp();
  d.ClearUp();
  EXPECT_EQ(d.hdc(), 0u);
  EXPECT_EQ(d.hDib(), 0u);
  EXPECT_EQ(d.DIBSectionBitsPtr(), nullptr);
  EXPECT_EQ(d.Width(), 20);  // the last size stays
  EXPECT_EQ(d.Height(), 10);
  EXPECT_EQ(gdi::liveHandleCount(), handles);
  // Refused sizes: the section cannot be made, or the size overflows.
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{100000, 100000}, {INT_MAX, 1}, {0, 10}, {-5, 5}, {1000, INT_MAX}}) {
    EXPECT_FALSE(d.Create(w, h)) << w << "x" << h;
    EXPECT_EQ(d.hdc(), 0u);
    EXPECT_EQ(d.Width(), w);  // the header was written before the failure
  }
  EXPECT_EQ(gdi::liveHandleCount(), handles);
}

TEST(DibSection, PaintPictureBlitsAtItsOwnSizeAndStretchesOtherwise) {
  surface::cDIBSection src;
  ASSERT_TRUE(src.Create(4, 2));
  gdi::SetPixel(src.hdc(), 0, 0, gdi::RGB(255, 0, 0));
  gdi::SetPixel(src.hdc(), 3, 1, gdi::RGB(0, 0, 255));
  surface::cDIBSection dst;
  ASSERT_TRUE(dst.Create(8, 8));
  src.PaintPicture(dst.hdc(), 2, 3);  // own size: a plain copy, honouring the source offset
  EXPECT_EQ(gdi::GetPixel(dst.hdc(), 2, 3), gdi::RGB(255, 0, 0));
  EXPECT_EQ(gdi::GetPixel(dst.hdc(), 5, 4), gdi::RGB(0, 0, 255));
  src.PaintPicture(dst.hdc(), 0, 0, 4, 2, 1, 1);
  EXPECT_EQ(gdi::GetPixel(dst.hdc(), 2, 0), gdi::RGB(0, 0, 255));
  src.PaintPicture(dst.hdc(), 0, 4, 8, 4, 3, 3);  // other size: the whole surface stretched
  EXPECT_EQ(gdi::GetPixel(dst.hdc(), 0, 4), gdi::RGB(255, 0, 0));
  EXPECT_EQ(gdi::GetPixel(dst.hdc(), 7, 7), gdi::RGB(0, 0, 255));
  // LoadPictureBlt copies from another DC to the surface's origin.
  surface::cDIBSection copy;
  ASSERT_TRUE(copy.Create(4, 2));
  copy.LoadPictureBlt(src.hdc());
  EXPECT_EQ(gdi::GetPixel(copy.hdc(), 3, 1), gdi::RGB(0, 0, 255));
}

TEST_F(ShellTest, CreateFromPictureAndEffectWhipe) {
  frmMainForm& f = frmMain();
  surface::cDIBSection d;
  ASSERT_TRUE(d.CreateFromPicture(surface::Picture{f.Picture2().pictureHandle()}));
  EXPECT_EQ(d.Width(), 500);
  EXPECT_EQ(d.Height(), 500);
  // The picture landed at the surface's top-left corner.
  gdi::HDC pic = gdi::CreateCompatibleDC(0);
  const gdi::HGDIOBJ old = gdi::SelectObject(pic, f.Picture2().pictureHandle());
  for (int k = 0; k < 500; k += 97) EXPECT_EQ(gdi::GetPixel(d.hdc(), k, k), gdi::GetPixel(pic, k, k));
  gdi::SelectObject(pic, old);
  gdi::DeleteDC(pic);

  surface::cDIBSection target;
  ASSERT_TRUE(target.Create(250, 250));
  std::vector<int> pauses;
  clock.onSleep = [&](int ms) { pauses.push_back(ms); };
  d.EffectWhipe(target.hdc(), 250, 250, 0);
  EXPECT_EQ(pauses, std::vector<int>(51, 15));
  // It ends with the whole picture scaled into the destination.
  surface::cDIBSection direct;
  ASSERT_TRUE(direct.Create(250, 250));
  gdi::StretchBlt(direct.hdc(), 0, 0, 250, 250, d.hdc(), 0, 0, 500, 500, gdi::SRCCOPY);
  for (int k = 0; k < 250; k += 31) EXPECT_EQ(gdi::GetPixel(target.hdc(), k, 249 - k), gdi::GetPixel(direct.hdc(), k, 249 - k));
  pauses.clear();
  d.EffectWhipe(target.hdc(), 250, 250, 1);
  EXPECT_EQ(pauses, std::vector<int>(51, 10));
}

TEST_F(ShellTest, CreditLineFillsTheBandAboveTheBottomButtons) {
  frmMainForm& f = frmMain();
  forms::Label& credit = f.Label9();
  EXPECT_EQ(credit.Caption(), "Vex2D 2D GDI-Benchmark        Dremsel \x95 2010");
  const display::Rect r = rectOf(credit);
  // Between the Stretching row and the two bottom buttons, clear of both.
  EXPECT_GE(r.y, rectOf(f.Label(7)).y + rectOf(f.Label(7)).height);
  EXPECT_LE(r.y + r.height, rectOf(f.CmdTest()).y);
  // It shows: grey text on the window's background, centred in the band.
  forms::DoEvents();
  const gdi::PixelView v = f.backBuffer();
  int inked = 0, left = r.x + r.width, right = r.x;
  for (int y = r.y; y < r.y + r.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(v.top + static_cast<std::ptrdiff_t>(y) * v.stride);
    for (int x = r.x; x < r.x + r.width; ++x) {
      if ((row[x] & 0xFFFFFFu) == (gdi::RGB(240, 240, 240) & 0xFFFFFFu)) continue;
      ++inked;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  EXPECT_GT(inked, 100);
  EXPECT_NEAR((left + right) / 2.0, r.x + r.width / 2.0, 3.0);
}

}  // namespace

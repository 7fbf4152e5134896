// Picture boxes: direct drawing through hDC into the form's back buffer and
// its presents, what repaints may and may not erase, the persistent image
// of AutoRedraw, Cls, Print and the picture.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support.h"

namespace formstest {
namespace {

using forms::Label;
using forms::PictureBox;

constexpr COLORREF kBlue = gdi::RGB(0, 0, 255);
constexpr COLORREF kGrey = gdi::RGB(64, 64, 64);
constexpr COLORREF kRed = gdi::RGB(255, 0, 0);
constexpr COLORREF kGreen = gdi::RGB(0, 255, 0);

// A 4 x 4 picture whose pixels all differ: (x, y) is RGB(60x, 60y, 200).
class Picture {
 public:
  Picture() : bytes_(4 * 12) {
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        std::uint8_t* p = bytes_.data() + y * 12 + x * 3;
        p[0] = 200;
        p[1] = static_cast<std::uint8_t>(60 * y);
        p[2] = static_cast<std::uint8_t>(60 * x);
      }
  }
  gdi::PixelView view() { return gdi::PixelView{bytes_.data(), 12, 4, 4, gdi::PixelFormat::Bgr24}; }
  static COLORREF at(int x, int y) {
    return gdi::RGB(static_cast<std::uint8_t>(60 * x), static_cast<std::uint8_t>(60 * y), 200);
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

void fill(gdi::HDC dc, int l, int t, int r, int b, COLORREF c) {
  const gdi::HBRUSH brush = gdi::CreateSolidBrush(c);
  const gdi::RECT rc{l, t, r, b};
  gdi::FillRect(dc, &rc, brush);
  gdi::DeleteObject(brush);
}

// A blue 200 x 150 form (pixel scale) with a dark grey 80 x 60 box at
// (10, 20) holding a label, and a button beside it.
class PictureBoxTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    f.ScaleModeValue = 3;
    f.BackColor = kBlue;
    f.setDesignClientSize(200, 150);
    f.onCreate = [this](TestForm& t) {
      box = t.add<PictureBox>(&t, "Picture1", 10, 20, 80, 60, PictureBox::kPixels);
      box->BackColor = kGrey;
      label = t.add<Label>(box, "Label13", 5, 5, 30, 12, "a");
      label->BackColor = kGreen;
      button = t.add<forms::CommandButton>(&t, "Command1", 120, 20, 60, 25, "Go");
    };
    f.Show();
  }
  gdi::PixelView buffer() const { return f.backBuffer(); }
  std::uint64_t presents() const { return display.find(f.window()->id())->presentCount(); }

  TestForm f;
  PictureBox* box = nullptr;
  Label* label = nullptr;
  forms::CommandButton* button = nullptr;
};

TEST_F(PictureBoxTest, HdcDrawsAtTheBoxClippedToIt) {
  const gdi::HDC dc = box->hDC();
  ASSERT_NE(dc, 0u);
  fill(dc, -50, -50, 500, 500, kRed);
  gdi::SetPixel(dc, 5, 6, kGreen);
  const gdi::PixelView v = buffer();
  EXPECT_EQ(pixelAt(v, 10, 20), kRed);
  EXPECT_EQ(pixelAt(v, 89, 79), kRed);
  EXPECT_EQ(pixelAt(v, 15, 26), kGreen);
  for (auto [x, y] : {std::pair{9, 20}, {10, 19}, {90, 79}, {89, 80}}) {
    EXPECT_EQ(pixelAt(v, x, y), kBlue) << x << "," << y;
  }
}

TEST_F(PictureBoxTest, TheBorderTakesTwoPixelsOnEachSide) {
  struct Case {
    int scaleMode;
    int border;
    float expected;  // ScaleWidth of a box 504 pixels wide
  };
  for (const Case c : {Case{PictureBox::kPixels, 0, 504}, Case{PictureBox::kPixels, 1, 500},
                       Case{PictureBox::kTwips, 1, 7500}, Case{PictureBox::kTwips, 0, 7560}}) {
    SCOPED_TRACE(c.scaleMode * 10 + c.border);
    TestForm twips("frmMain");
    twips.setDesignClientSize(600, 600);
    auto* p = twips.add<PictureBox>(&twips, "Picture2", 0, 0, 7560, 7560, c.scaleMode);
    p->BorderStyle = c.border;
    EXPECT_FLOAT_EQ(p->ScaleWidth(), c.expected);
    EXPECT_FLOAT_EQ(p->ScaleHeight(), c.expected);
  }
  box->BorderStyle = 1;
  box->Cls();
  gdi::SetPixel(box->hDC(), 0, 0, kRed);
  EXPECT_EQ(pixelAt(buffer(), 12, 22), kRed);
}

TEST_F(PictureBoxTest, DirectDrawingPresentsAtMostEverySixteenMilliseconds) {
  const gdi::HDC dc = box->hDC();
  const std::uint64_t before = presents();
  // Drawing without time passing: the present at Show is recent enough.
  for (int i = 0; i < 50; ++i) gdi::SetPixel(dc, i, 0, kRed);
  EXPECT_EQ(presents(), before);
  // 100 drawing calls over 100 ms.
  for (int i = 0; i < 100; ++i) {
    clock.advance(0.001);
    gdi::SetPixel(dc, i % 80, 1, kRed);
  }
  const std::uint64_t during = presents() - before;
  EXPECT_GE(during, 5u);
  EXPECT_LE(during, 7u);
  // What was drawn reached the screen with those presents.
  EXPECT_EQ(presentedAt(*shown(f), 10, 20), kRed);
  // What the last calls drew is shown at the next message processing.
  clock.advance(0.0001);
  gdi::SetPixel(dc, 79, 59, kGreen);
  EXPECT_NE(presentedAt(*shown(f), 89, 79), kGreen);
  forms::DoEvents();
  EXPECT_EQ(presentedAt(*shown(f), 89, 79), kGreen);
}

TEST_F(PictureBoxTest, RepaintsOfOtherControlsKeepWhatWasDrawn) {
  fill(box->hDC(), 0, 0, 80, 60, kRed);
  label->setCaption("changed");  // a label inside the box
  button->setCaption("Other");   // a control elsewhere on the form
  display::Event exposed;
  exposed.type = display::Event::Type::Exposed;
  exposed.window = f.window()->id();
  display.injectEvent(exposed);
  forms::DoEvents();
  const gdi::PixelView v = buffer();
  EXPECT_EQ(pixelAt(v, 60, 50), kRed);
  EXPECT_EQ(pixelAt(v, 10, 20), kRed);
  EXPECT_EQ(pixelAt(v, 10 + 5 + 28, 20 + 5 + 1), kGreen);  // the label repainted itself
  EXPECT_EQ(presentedAt(*shown(f), 60, 50), kRed);
  // Hiding the label repaints only its rectangle, with the box's background.
  label->setVisible(false);
  forms::DoEvents();
  EXPECT_EQ(pixelAt(v, 10 + 6, 20 + 6), kGrey);
  EXPECT_EQ(pixelAt(v, 60, 50), kRed);
}

TEST_F(PictureBoxTest, ShowingMovingOrResizingTheBoxRepaintsItAsAWhole) {
  struct Case {
    const char* what;
    std::function<void(PictureBox&)> change;
    int x, y;  // a pixel of the box afterwards
  };
  const Case cases[] = {
      {"shown again",
       [](PictureBox& b) {
         b.setVisible(false);
         b.setVisible(true);
       },
       50, 50},
      {"moved", [](PictureBox& b) { b.Move(12, 20, 80, 60); }, 50, 50},
      {"resized", [](PictureBox& b) { b.Move(10, 20, 90, 60); }, 50, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    box->Move(10, 20, 80, 60);
    forms::DoEvents();
    fill(box->hDC(), 0, 0, 100, 100, kRed);
    c.change(*box);
    forms::DoEvents();
    EXPECT_EQ(pixelAt(buffer(), c.x, c.y), kGrey);
  }
  // Placing the box where it already is changes nothing.
  fill(box->hDC(), 0, 0, 100, 100, kRed);
  box->Move(box->Left(), box->Top(), box->Width(), box->Height());
  forms::DoEvents();
  EXPECT_EQ(pixelAt(buffer(), 50, 50), kRed);
}

TEST_F(PictureBoxTest, HdcKeepsItsHandleAndFollowsTheBox) {
  const gdi::HDC dc = box->hDC();
  box->Move(100, 50, 80, 60);
  EXPECT_EQ(box->hDC(), dc);
  gdi::SetPixel(dc, 0, 0, kRed);
  EXPECT_EQ(pixelAt(buffer(), 100, 50), kRed);
  box->setVisible(false);
  forms::DoEvents();
  gdi::SetPixel(dc, 1, 1, kRed);  // a hidden box shows nothing
  EXPECT_EQ(pixelAt(buffer(), 101, 51), kBlue);
}

TEST_F(PictureBoxTest, ClsClearsToTheBackgroundKeepsThePictureAndShowsAtOnce) {
  Picture pic;
  box->setPicture(pic.view());
  fill(box->hDC(), 0, 0, 80, 60, kRed);
  const std::uint64_t before = presents();
  box->Cls();
  EXPECT_EQ(presents(), before + 1);
  const gdi::PixelView v = buffer();
  EXPECT_EQ(pixelAt(v, 10, 20), Picture::at(0, 0));
  EXPECT_EQ(pixelAt(v, 13, 22), Picture::at(3, 2));
  EXPECT_EQ(pixelAt(v, 60, 50), kGrey);
  EXPECT_EQ(pixelAt(v, 10 + 6, 20 + 6), kGreen);  // the label is painted over it
  EXPECT_EQ(presentedAt(*shown(f), 60, 50), kGrey);
}

TEST_F(PictureBoxTest, DrawingAfterClsSurvivesTheRepaintOfALabelHiddenBefore) {
  // The title label is hidden, the surface cleared, then drawn on before
  // any message processing.
  label->setVisible(false);
  box->Cls();
  fill(box->hDC(), 0, 0, 80, 60, kRed);
  forms::DoEvents();
  EXPECT_EQ(pixelAt(buffer(), 10 + 6, 20 + 6), kRed);
}

TEST_F(PictureBoxTest, DrawingPropertiesReachTheDc) {
  box->ForeColor = kRed;
  box->FillStyle = 0;
  box->FillColor = kGreen;
  gdi::HDC dc = box->hDC();
  gdi::Rectangle(dc, 0, 30, 10, 40);
  const gdi::PixelView v = buffer();
  EXPECT_EQ(pixelAt(v, 10, 50), kRed);
  EXPECT_EQ(pixelAt(v, 15, 55), kGreen);
  box->FillStyle = 1;
  dc = box->hDC();
  gdi::Rectangle(dc, 20, 30, 30, 40);
  EXPECT_EQ(pixelAt(v, 30, 50), kRed);
  EXPECT_EQ(pixelAt(v, 35, 55), kGrey);  // hollow

  // The selected font is FontName at the size of Font.
  gdi::TEXTMETRICA boxMetrics{}, arialMetrics{};
  gdi::GetTextMetricsA(dc, &boxMetrics);
  gdi::LOGFONTA lf{};
  lf.lfHeight = -11;  // 8.25 points
  std::strcpy(lf.lfFaceName, "Arial");
  const gdi::HDC mem = gdi::CreateCompatibleDC(0);
  const gdi::HFONT font = gdi::CreateFontIndirectA(&lf);
  const gdi::HGDIOBJ previous = gdi::SelectObject(mem, font);
  gdi::GetTextMetricsA(mem, &arialMetrics);
  gdi::SelectObject(mem, previous);
  gdi::DeleteObject(font);
  gdi::DeleteDC(mem);
  EXPECT_EQ(boxMetrics.tmHeight, arialMetrics.tmHeight);
  EXPECT_EQ(boxMetrics.tmPitchAndFamily, arialMetrics.tmPitchAndFamily);
  EXPECT_EQ(boxMetrics.tmCharSet, arialMetrics.tmCharSet);
}

TEST_F(PictureBoxTest, AutoRedrawDrawsIntoAPersistentImage) {
  Picture pic;
  box->setPicture(pic.view());
  box->setAutoRedraw(true);
  const gdi::HDC dc = box->hDC();
  gdi::PixelView pixels;
  ASSERT_TRUE(gdi::GetDCPixels(dc, &pixels));
  // The image is compatible with the form: the format of its back buffer,
  // which is that of a window surface.
  EXPECT_EQ(pixels.format, buffer().format);
  EXPECT_EQ(pixels.format, gdi::PixelFormat::Xrgb32);
  EXPECT_EQ(pixels.width, 80);
  EXPECT_EQ(pixels.height, 60);
  EXPECT_EQ(box->image().top, pixels.top);
  // The 24-bit picture is converted into it exactly, top bytes 0.
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) {
      std::uint32_t v = 0;
      std::memcpy(&v, pixels.top + static_cast<std::ptrdiff_t>(y) * pixels.stride + 4 * x, 4);
      const COLORREF want = x < 4 && y < 4 ? Picture::at(x, y) : kGrey;
      const std::uint32_t stored = gdi::GetBValue(want) | (gdi::GetGValue(want) << 8) |
                                   (static_cast<std::uint32_t>(gdi::GetRValue(want)) << 16);
      ASSERT_EQ(v, stored) << "at (" << x << ", " << y << ")";
    }
  EXPECT_EQ(gdi::GetPixel(dc, 2, 1), Picture::at(2, 1));
  EXPECT_EQ(gdi::GetPixel(dc, 40, 40), kGrey);

  fill(dc, 0, 0, 80, 60, kRed);
  EXPECT_EQ(pixelAt(buffer(), 50, 50), kGrey);  // not on the form yet
  forms::DoEvents();
  EXPECT_EQ(pixelAt(buffer(), 50, 50), kRed);  // the box shows its image

  box->Cls();  // the picture stays, the drawing goes
  EXPECT_EQ(gdi::GetPixel(dc, 2, 1), Picture::at(2, 1));
  EXPECT_EQ(gdi::GetPixel(dc, 40, 40), kGrey);
  EXPECT_EQ(box->hDC(), dc);

  box->setAutoRedraw(false);
  EXPECT_EQ(box->image().top, nullptr);
  EXPECT_NE(box->hDC(), dc);
  EXPECT_EQ(gdi::GetPixel(dc, 0, 0), gdi::CLR_INVALID);
}

TEST_F(PictureBoxTest, AHiddenAutoRedrawBoxStillHoldsItsImage) {
  // The source pictures of the block-transfer tests sit in hidden boxes.
  Picture pic;
  box->setVisible(false);
  box->setPicture(pic.view());
  box->setAutoRedraw(true);
  box->Cls();
  box->Print();
  box->Cls();
  const gdi::HDC dc = box->hDC();
  forms::DoEvents();
  EXPECT_EQ(gdi::GetPixel(dc, 3, 3), Picture::at(3, 3));
  EXPECT_EQ(pixelAt(buffer(), 13, 23), kBlue);
}

TEST_F(PictureBoxTest, PrintMovesDownOneLine) {
  box->setAutoRedraw(true);
  gdi::TEXTMETRICA tm{};
  gdi::GetTextMetricsA(box->hDC(), &tm);
  ASSERT_GT(tm.tmHeight, 0);
  const gdi::PixelView image = box->image();
  ASSERT_NE(image.top, nullptr);
  // The pixel bytes of every row, in either row order.
  const auto bytes = [&image] {
    std::vector<std::uint8_t> all;
    const std::size_t rowBytes =
        static_cast<std::size_t>(image.width) * gdi::bytesPerPixel(image.format);
    for (int y = 0; y < image.height; ++y) {
      const std::uint8_t* row = image.top + static_cast<std::ptrdiff_t>(y) * image.stride;
      all.insert(all.end(), row, row + rowBytes);
    }
    return all;
  };
  const std::vector<std::uint8_t> before = bytes();
  box->Print();
  EXPECT_FLOAT_EQ(box->CurrentY(), static_cast<float>(tm.tmHeight));
  EXPECT_FLOAT_EQ(box->CurrentX(), 0);
  EXPECT_EQ(bytes(), before);  // an empty line shows nothing
  box->Print("Hi");
  EXPECT_FLOAT_EQ(box->CurrentY(), 2.0f * static_cast<float>(tm.tmHeight));
  EXPECT_GT(inkCount(image, display::Rect{0, tm.tmHeight, 40, tm.tmHeight}, kGrey), 0);
  box->Cls();
  EXPECT_FLOAT_EQ(box->CurrentY(), 0);
}

TEST_F(PictureBoxTest, ThePictureHandleIsA24BitBitmapForAMemoryDc) {
  EXPECT_EQ(box->pictureHandle(), 0u);
  Picture pic;
  box->setPicture(pic.view());
  const gdi::HBITMAP handle = box->pictureHandle();
  ASSERT_NE(handle, 0u);
  gdi::BITMAP bm{};
  ASSERT_EQ(gdi::GetObjectA(handle, 24, &bm), 24);
  EXPECT_EQ(bm.bmWidth, 4);
  EXPECT_EQ(bm.bmHeight, 4);
  EXPECT_EQ(bm.bmBitsPixel, 24);
  const gdi::HDC desktop = forms::GetDC(forms::GetDesktopWindow());
  const gdi::HDC mem = gdi::CreateCompatibleDC(desktop);
  forms::ReleaseDC(forms::GetDesktopWindow(), desktop);
  const gdi::HGDIOBJ previous = gdi::SelectObject(mem, handle);
  ASSERT_NE(previous, 0u);
  EXPECT_EQ(gdi::GetPixel(mem, 1, 2), Picture::at(1, 2));
  EXPECT_EQ(gdi::GetPixel(mem, 3, 0), Picture::at(3, 0));
  gdi::SelectObject(mem, previous);
  gdi::DeleteDC(mem);
}

TEST_F(PictureBoxTest, AChildOutlivingItsBoxIsCutLoose) {
  // The box goes first, then its label, the reverse of member order.
  auto it = std::find_if(f.owned.begin(), f.owned.end(),
                         [this](const auto& p) { return p.get() == box; });
  f.owned.erase(it);
  EXPECT_EQ(label->container(), nullptr);
  EXPECT_EQ(label->form(), nullptr);
  label->setCaption("still fine");
  label->setVisible(false);
  forms::DoEvents();
  display.pressKey(display::Key::Tab);
  forms::DoEvents();
  EXPECT_EQ(f.focusedControl(), button);
}

}  // namespace
}  // namespace formstest

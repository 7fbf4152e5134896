// Controls: mouse and keyboard input, focus and tab order, option groups,
// labels, and what the controls paint.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace formstest {
namespace {

using forms::CommandButton;
using forms::Label;
using forms::OptionButton;
using forms::PictureBox;
using display::Key;

constexpr COLORREF kFace = gdi::RGB(240, 240, 240);
constexpr COLORREF kBlack = gdi::RGB(0, 0, 0);
constexpr COLORREF kWhite = gdi::RGB(255, 255, 255);

// A form with three buttons in a row (pixel scale, 60 x 25 pixels each,
// 10 pixels apart), each counting its clicks.
class ButtonForm : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    f.ScaleModeValue = 3;
    f.setDesignClientSize(240, 120);
    f.setDesignPosition(30, 40);
    f.onCreate = [this](TestForm& t) {
      for (int i = 0; i < 3; ++i) {
        buttons[i] = t.add<CommandButton>(&t, "Command" + std::to_string(i + 1), 10.0f + 70 * i, 10,
                                          60, 25, "Button" + std::to_string(i + 1));
        buttons[i]->Click = [this, i] { ++clicks[i]; };
      }
    };
    f.Show();
  }

  TestForm f;
  CommandButton* buttons[3] = {};
  int clicks[3] = {};
};

TEST_F(ButtonForm, AClickAtTheButtonRunsClickOnlyWhenEnabled) {
  struct Case {
    bool enabled;
    int expected;
  };
  for (const Case c : {Case{true, 1}, Case{false, 0}}) {
    SCOPED_TRACE(c.enabled);
    clicks[1] = 0;
    buttons[1]->setEnabled(c.enabled);
    clickOn(*buttons[1]);
    forms::DoEvents();
    EXPECT_EQ(clicks[1], c.expected);
    EXPECT_EQ(clicks[0] + clicks[2], 0);
  }
}

TEST_F(ButtonForm, AClickBesideTheButtonsDoesNothing) {
  clickAt(f, 5, 60);
  clickAt(f, 75, 20);  // between the first two buttons
  forms::DoEvents();
  EXPECT_EQ(clicks[0] + clicks[1] + clicks[2], 0);
}

TEST_F(ButtonForm, ReleasingOutsideTheButtonCancelsTheClick) {
  inject(f, display::Event::Type::MouseDown, 20, 20);
  forms::DoEvents();
  EXPECT_TRUE(buttons[0]->pressed());
  inject(f, display::Event::Type::MouseUp, 200, 100);
  forms::DoEvents();
  EXPECT_FALSE(buttons[0]->pressed());
  EXPECT_EQ(clicks[0], 0);
}

TEST_F(ButtonForm, AClickOnAHiddenButtonDoesNothing) {
  buttons[0]->setVisible(false);
  clickOn(*buttons[0]);
  forms::DoEvents();
  EXPECT_EQ(clicks[0], 0);
}

TEST_F(ButtonForm, EnterAndSpacePressTheFocusedButton) {
  for (Key k : {Key::Enter, Key::Space}) {
    SCOPED_TRACE(static_cast<int>(k));
    clicks[2] = 0;
    buttons[2]->SetFocus();
    display.pressKey(k);
    forms::DoEvents();
    EXPECT_EQ(clicks[2], 1);
    EXPECT_EQ(clicks[0] + clicks[1], 0);
  }
  display.pressKey(Key::Escape);
  forms::DoEvents();
  EXPECT_EQ(clicks[2], 1);
}

TEST_F(ButtonForm, TheFirstButtonHasTheFocusAndTabFollowsTheCreationOrder) {
  EXPECT_TRUE(buttons[0]->hasFocus());
  display.pressKey(Key::Tab);
  forms::DoEvents();
  EXPECT_TRUE(buttons[1]->hasFocus());
  display.pressKey(Key::Tab);
  display.pressKey(Key::Tab);  // wraps around
  forms::DoEvents();
  EXPECT_TRUE(buttons[0]->hasFocus());
  display.pressKey(Key::Tab, true);
  forms::DoEvents();
  EXPECT_TRUE(buttons[2]->hasFocus());
}

TEST_F(ButtonForm, AnExplicitTabOrderSkipsDisabledButtons) {
  f.setTabOrder({buttons[2], buttons[0], buttons[1]});
  buttons[2]->SetFocus();
  buttons[0]->setEnabled(false);
  display.pressKey(Key::Tab);
  forms::DoEvents();
  EXPECT_TRUE(buttons[1]->hasFocus());
  display.pressKey(Key::Tab);
  forms::DoEvents();
  EXPECT_TRUE(buttons[2]->hasFocus());
}

TEST_F(ButtonForm, DisablingTheFocusedButtonPassesTheFocusOn) {
  buttons[1]->SetFocus();
  buttons[1]->setEnabled(false);
  EXPECT_TRUE(buttons[2]->hasFocus());
  EXPECT_THROW(buttons[1]->SetFocus(), forms::RuntimeError);
  buttons[0]->setEnabled(false);
  buttons[2]->setEnabled(false);
  EXPECT_EQ(f.focusedControl(), nullptr);
  display.pressKey(Key::Enter);
  forms::DoEvents();
  EXPECT_EQ(clicks[0] + clicks[1] + clicks[2], 0);
}

TEST_F(ButtonForm, AClickMovesTheFocusToTheButton) {
  clickOn(*buttons[2]);
  forms::DoEvents();
  EXPECT_TRUE(buttons[2]->hasFocus());
}

TEST_F(ButtonForm, AHandlerMayUnloadItsOwnForm) {
  buttons[0]->Click = [this] { f.Unload(); };
  clickOn(*buttons[0]);
  forms::DoEvents();
  EXPECT_FALSE(f.IsLoaded());
}

TEST_F(ButtonForm, HandlersMayProcessMessagesThemselves) {
  std::vector<std::string> order;
  buttons[0]->Click = [&] {
    order.push_back("first begins");
    clickOn(*buttons[1]);
    forms::DoEvents();  // the second button's click runs in here
    order.push_back("first ends");
  };
  buttons[1]->Click = [&] {
    order.push_back("second");
    buttons[2]->setCaption("changed");
    forms::DoEvents();  // and may nest one level deeper
  };
  clickOn(*buttons[0]);
  forms::DoEvents();
  EXPECT_EQ(order, (std::vector<std::string>{"first begins", "second", "first ends"}));
}

TEST_F(ButtonForm, ButtonsPaintRaisedSunkenFocusedAndDisabled) {
  const auto at = [this](int button, int x, int y) {
    const display::Rect r = buttons[button]->pixelRect();
    return pixelAt(f.backBuffer(), r.x + x, r.y + y);
  };
  // Raised: light top-left, dark bottom-right edge.
  EXPECT_EQ(at(1, 0, 0), kWhite);
  EXPECT_EQ(at(1, 59, 24), gdi::RGB(105, 105, 105));
  // The focused first button has a dotted rectangle three pixels inside.
  EXPECT_EQ(at(0, 3, 3), kBlack);
  EXPECT_EQ(at(0, 4, 3), kFace);
  EXPECT_EQ(at(1, 3, 3), kFace);

  inject(f, display::Event::Type::MouseDown, 100, 20);
  forms::DoEvents();
  EXPECT_NE(at(1, 0, 0), kWhite);  // sunken while held
  EXPECT_EQ(at(1, 59, 24), kWhite);
  inject(f, display::Event::Type::MouseUp, 100, 20);
  forms::DoEvents();
  EXPECT_EQ(at(1, 0, 0), kWhite);

  const display::Rect inner{buttons[2]->pixelRect().x + 4, buttons[2]->pixelRect().y + 4, 52, 17};
  // Dark pixels: the smoothed edges of black text are grey, its stems dark.
  const auto darkInside = [&] {
    int n = 0;
    for (int y = inner.y; y < inner.y + inner.height; ++y)
      for (int x = inner.x; x < inner.x + inner.width; ++x)
        n += gdi::GetGValue(pixelAt(f.backBuffer(), x, y)) < 100 ? 1 : 0;
    return n;
  };
  EXPECT_GT(darkInside(), 0);
  buttons[2]->setEnabled(false);
  forms::DoEvents();
  // Disabled text is grey: no dark pixel is left inside the edges.
  EXPECT_EQ(darkInside(), 0);
  EXPECT_GT(inkCount(f.backBuffer(), inner, kFace), 0);
}

TEST_F(ButtonForm, ChangesReachTheScreenAtTheNextMessages) {
  const display::HeadlessWindow* w = shown(f);
  forms::DoEvents();  // the window's first exposure
  const std::uint64_t presents = w->presentCount();
  forms::DoEvents();
  EXPECT_EQ(w->presentCount(), presents);  // nothing changed, nothing shown
  buttons[1]->setCaption("Other");
  EXPECT_EQ(w->presentCount(), presents);
  forms::DoEvents();
  EXPECT_EQ(w->presentCount(), presents + 1);
  const display::Rect r = buttons[1]->pixelRect();
  EXPECT_EQ(presentedAt(*w, r.x, r.y), kWhite);
}

// ---- option buttons ------------------------------------------------------------------------

class OptionForm : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    f.onCreate = [this](TestForm& t) {
      options[0] = t.add<OptionButton>(&t, "Option1", 0, 75, 150, 2580, 300,
                                       "Direct drawing to visible device");
      options[1] = t.add<OptionButton>(&t, "Option1", 1, 2820, 150, 1680, 300, "DIB buffering");
      OptionButton::group({options[0], options[1]});
      options[0]->setValue(true);
      for (OptionButton* o : options) o->Click = [this](int index) { clicked.push_back(index); };
    };
    f.Show();
  }

  TestForm f;
  OptionButton* options[2] = {};
  std::vector<int> clicked;
};

TEST_F(OptionForm, ClickingSelectsOneDeselectsTheOtherAndReportsItsIndex) {
  clickOn(*options[1]);
  forms::DoEvents();
  EXPECT_FALSE(options[0]->Value());
  EXPECT_TRUE(options[1]->Value());
  clickOn(*options[0]);
  forms::DoEvents();
  EXPECT_TRUE(options[0]->Value());
  EXPECT_FALSE(options[1]->Value());
  EXPECT_EQ(clicked, (std::vector<int>{1, 0}));
}

TEST_F(OptionForm, SettingValueDeselectsTheOthersWithoutAClick) {
  options[1]->setValue(true);
  EXPECT_FALSE(options[0]->Value());
  options[1]->setValue(false);
  EXPECT_FALSE(options[0]->Value());  // nothing else is selected instead
  EXPECT_TRUE(clicked.empty());
}

TEST_F(OptionForm, KeysChooseWithinTheGroup) {
  options[0]->SetFocus();
  display.pressKey(Key::Right);
  forms::DoEvents();
  EXPECT_TRUE(options[1]->Value());
  EXPECT_TRUE(options[1]->hasFocus());
  display.pressKey(Key::Up);
  display.pressKey(Key::Space);
  forms::DoEvents();
  EXPECT_TRUE(options[0]->Value());
  EXPECT_EQ(clicked, (std::vector<int>{1, 0, 0}));
}

TEST_F(OptionForm, TheMarkShowsTheChoice) {
  const auto centre = [this](int i) {
    const display::Rect r = options[i]->pixelRect();
    return pixelAt(f.backBuffer(), r.x + 6, r.y + r.height / 2);
  };
  EXPECT_EQ(centre(0), kBlack);
  EXPECT_EQ(centre(1), kWhite);
  options[1]->press();
  forms::DoEvents();
  EXPECT_EQ(centre(0), kWhite);
  EXPECT_EQ(centre(1), kBlack);
}

TEST_F(OptionForm, AGroupSurvivesTheLossOfAMember) {
  f.owned.erase(f.owned.begin());  // options[0] goes
  options[1]->setValue(true);
  options[1]->press();
  EXPECT_EQ(clicked, (std::vector<int>{1}));
}

// ---- labels ---------------------------------------------------------------------------------

class LabelTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    f.ScaleModeValue = 3;
    f.BackColor = gdi::RGB(0, 0, 255);
    f.setDesignClientSize(300, 200);
    f.Show();
  }
  Label* label(float x, float y, float w, float h, const std::string& caption) {
    return f.add<Label>(&f, "Label1", x, y, w, h, caption);
  }
  TestForm f;
};

TEST_F(LabelTest, AutoSizeGrowsAndShrinksWithTheCaptionKeepingTheLeftEdge) {
  Label* l = label(20, 30, 5, 5, "x");
  l->AutoSize = true;
  l->applyAutoSize();
  const float oneChar = l->Width();
  const float oneLine = l->Height();
  EXPECT_GT(oneChar, 0);
  l->setCaption("xxxxxxxx");
  EXPECT_GT(l->Width(), 6 * oneChar);
  EXPECT_FLOAT_EQ(l->Height(), oneLine);
  l->setCaption("Lines\r\n(buffered)");
  EXPECT_FLOAT_EQ(l->Height(), 2 * oneLine);
  l->Font.size = 72;
  l->Font.bold = true;
  l->applyAutoSize();
  EXPECT_GT(l->Height(), 8 * oneLine);
  EXPECT_FLOAT_EQ(l->Left(), 20);
  EXPECT_FLOAT_EQ(l->Top(), 30);
  l->setCaption("");
  EXPECT_FLOAT_EQ(l->Width(), 0);
}

TEST_F(LabelTest, AutoSizeInTwipsIsFifteenTimesThePixels) {
  TestForm twips("twips");
  twips.Show();
  Label* a = label(0, 0, 1, 1, "Score:");
  Label* b = twips.add<Label>(&twips, "Label19", 0, 0, 1, 1, "Score:");
  a->AutoSize = b->AutoSize = true;
  a->applyAutoSize();
  b->applyAutoSize();
  EXPECT_FLOAT_EQ(b->Width(), a->Width() * 15);
  EXPECT_FLOAT_EQ(b->Height(), a->Height() * 15);
}

TEST_F(LabelTest, AlignmentPlacesTheTextInTheLabel) {
  struct Case {
    int alignment;
    int minLeft, maxLeft;  // where the ink may begin, relative to the label
  };
  for (const Case c : {Case{0, 0, 3}, Case{1, 150, 197}, Case{2, 75, 110}}) {
    SCOPED_TRACE(c.alignment);
    Label* l = label(10, 10, 200, 30, "Text");
    l->Alignment = c.alignment;
    l->BackColor = kWhite;
    l->applyAutoSize();
    forms::DoEvents();
    const display::Rect ink = inkBounds(f.backBuffer(), l->pixelRect(), kWhite);
    ASSERT_GT(ink.width, 0);
    EXPECT_GE(ink.x - 10, c.minLeft);
    EXPECT_LE(ink.x - 10, c.maxLeft);
    if (c.alignment == 2) {
      const int middle = ink.x + ink.width / 2 - 10;
      EXPECT_NEAR(middle, 100, 3);
    }
    f.owned.pop_back();
  }
}

TEST_F(LabelTest, BorderAndBackStyle) {
  Label* l = label(10, 10, 100, 30, "");
  l->BorderStyle = 1;
  l->BackColor = kWhite;
  l->applyAutoSize();
  forms::DoEvents();
  const gdi::PixelView v = f.backBuffer();
  EXPECT_EQ(pixelAt(v, 10, 10), kBlack);
  EXPECT_EQ(pixelAt(v, 109, 39), kBlack);
  EXPECT_EQ(pixelAt(v, 50, 25), kWhite);
  EXPECT_EQ(pixelAt(v, 110, 40), gdi::RGB(0, 0, 255));
  l->BorderStyle = 0;
  l->BackStyle = 0;  // transparent: the form shows through
  l->applyAutoSize();
  forms::DoEvents();
  EXPECT_EQ(pixelAt(v, 10, 10), gdi::RGB(0, 0, 255));
  EXPECT_EQ(pixelAt(v, 50, 25), gdi::RGB(0, 0, 255));
}

TEST_F(LabelTest, HidingALabelRepaintsWhatLiesBelow) {
  Label* l = label(10, 10, 100, 30, "Hello");
  l->BackColor = kWhite;
  forms::DoEvents();
  EXPECT_EQ(pixelAt(f.backBuffer(), 12, 12), kWhite);
  l->setVisible(false);
  forms::DoEvents();
  EXPECT_EQ(inkCount(f.backBuffer(), display::Rect{10, 10, 100, 30}, gdi::RGB(0, 0, 255)), 0);
}

TEST_F(LabelTest, RefreshShowsTheLabelAtOnce) {
  Label* l = label(10, 10, 100, 30, "Hello");
  l->BackColor = gdi::RGB(255, 0, 0);
  l->Refresh();
  EXPECT_EQ(presentedAt(*shown(f), 12, 12), gdi::RGB(255, 0, 0));
}

TEST_F(LabelTest, ALineIsOnePixelWithBothEnds) {
  auto* line = f.add<forms::Line>(&f, "Line1", 20, 5, 20, 50, gdi::RGB(64, 64, 64));
  forms::DoEvents();
  const gdi::PixelView v = f.backBuffer();
  EXPECT_EQ(pixelAt(v, 20, 5), gdi::RGB(64, 64, 64));
  EXPECT_EQ(pixelAt(v, 20, 50), gdi::RGB(64, 64, 64));
  EXPECT_EQ(pixelAt(v, 21, 30), gdi::RGB(0, 0, 255));
  EXPECT_EQ(pixelAt(v, 20, 51), gdi::RGB(0, 0, 255));
  line->setVisible(false);
  forms::DoEvents();
  EXPECT_EQ(pixelAt(v, 20, 30), gdi::RGB(0, 0, 255));
}

// ---- a picture of a small form ------------------------------------------------------------

TEST_F(FormsTest, SnapshotOfASmallForm) {
  TestForm f("frmDemo");
  f.Caption = "Demo";
  f.setDesignClientSize(300, 200);
  f.setDesignPosition(10, 20);
  CommandButton *run = nullptr, *copy = nullptr;
  Label* result = nullptr;
  PictureBox* panel = nullptr;
  f.onCreate = [&](TestForm& t) {
    panel = t.add<PictureBox>(&t, "Picture4", 60, 105, 4380, 900, 1);
    panel->BackColor = gdi::RGB(192, 255, 192);
    panel->BorderStyle = 1;
    auto* score = t.add<Label>(panel, "Label91", 120, 60, 300, 300, "1234");
    score->Font = forms::FontSpec{"Arial", 24, true};
    score->ForeColor = gdi::RGB(0, 64, 0);
    score->BackStyle = 0;
    score->AutoSize = true;
    score->applyAutoSize();
    auto* a = t.add<OptionButton>(&t, "Option1", 0, 75, 1100, 2200, 300, "Direct drawing");
    auto* b = t.add<OptionButton>(&t, "Option1", 1, 2400, 1100, 1800, 300, "DIB buffering");
    OptionButton::group({a, b});
    a->setValue(true);
    run = t.add<CommandButton>(&t, "Command2", 60, 1500, 1215, 375, "Line");
    result = t.add<Label>(&t, "Label2", 1305, 1500, 3135, 375, "60000 lines/sec");
    result->Font = forms::FontSpec{"Arial", 12.75f, true};
    result->ForeColor = gdi::RGB(128, 128, 128);
    result->BackColor = kWhite;
    result->Alignment = 2;
    result->BorderStyle = 1;
    result->applyAutoSize();
    copy = t.add<CommandButton>(&t, "Command10", 60, 2100, 1905, 390, "Copy to clipboard");
    copy->setEnabled(false);
  };
  f.Show();
  run->SetFocus();
  // Some direct drawing in the panel, which the label's repaint keeps.
  const gdi::HDC dc = panel->hDC();
  panel->ForeColor = gdi::RGB(255, 0, 0);
  (void)panel->hDC();
  gdi::MoveToEx(dc, 150, 10, nullptr);
  gdi::LineTo(dc, 280, 50);
  forms::DoEvents();
  const std::string path = ::testing::TempDir() + "forms_small_form.png";
  ASSERT_TRUE(display.snapshotWindow(f.hWnd(), path));
  std::printf("snapshot: %s\n", path.c_str());
  EXPECT_EQ(presentedAt(*shown(f), 3, 150), kFace);
}

}  // namespace
}  // namespace formstest

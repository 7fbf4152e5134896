// Forms: loading and unloading, geometry in twips, the resize events, the
// window state, and the window-manager calls.
#include <gtest/gtest.h>

#include "support.h"

namespace formstest {
namespace {

using display::WindowState;
using forms::Label;

// ---- lifecycle --------------------------------------------------------------------

class FormLifecycle : public FormsTest {};

TEST_F(FormLifecycle, LoadMakesAHiddenWindowAndRunsLoadOnce) {
  TestForm f;
  f.setDesignClientSize(100, 50);
  f.Load();
  f.Load();
  ASSERT_TRUE(f.IsLoaded());
  ASSERT_NE(f.window(), nullptr);
  EXPECT_FALSE(f.window()->visible());
  EXPECT_EQ(f.loads, 1);
  EXPECT_EQ(f.creates, 1);
  EXPECT_EQ(display.stack().size(), 1u);
  EXPECT_EQ(f.backBuffer().width, 100);
  EXPECT_EQ(f.backBuffer().height, 50);
}

TEST_F(FormLifecycle, UsingAPropertyLoadsTheFormWithoutShowingIt) {
  struct Case {
    const char* what;
    std::function<void(forms::Form&)> use;
  };
  const Case cases[] = {
      {"Width", [](forms::Form& f) { (void)f.Width(); }},
      {"ScaleHeight", [](forms::Form& f) { (void)f.ScaleHeight(); }},
      {"hWnd", [](forms::Form& f) { (void)f.hWnd(); }},
      {"WindowState", [](forms::Form& f) { (void)f.WindowState(); }},
      {"Move", [](forms::Form& f) { f.Move(0, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestForm f;
    c.use(f);
    EXPECT_TRUE(f.IsLoaded());
    EXPECT_EQ(f.loads, 1);
    EXPECT_FALSE(f.window()->visible());
    EXPECT_EQ(f.resizes, 0);
  }
}

TEST_F(FormLifecycle, ShowMakesTheWindowVisibleFocusedAndPainted) {
  TestForm f;
  f.BackColor = gdi::RGB(10, 20, 30);
  f.Show();
  ASSERT_TRUE(f.window()->visible());
  EXPECT_EQ(display.focused(), shown(f));
  EXPECT_EQ(f.resizes, 1);  // the first showing reports the size
  ASSERT_GE(shown(f)->presentCount(), 1u);
  EXPECT_EQ(presentedAt(*shown(f), 5, 5), gdi::RGB(10, 20, 30));
  f.Show();
  EXPECT_EQ(f.resizes, 1);  // nothing changed since
}

TEST_F(FormLifecycle, UnloadDestroysWindowAndControlsAndTheNextLoadStartsAfresh) {
  TestForm f;
  f.Caption = "Design";
  Label* label = nullptr;
  f.onCreate = [&](TestForm& t) { label = t.add<Label>(&t, "Label1", 0, 0, 600, 300, "design"); };
  f.Show();
  f.Caption = "Changed";
  label->setCaption("changed");
  f.Unload();
  EXPECT_FALSE(f.IsLoaded());
  EXPECT_EQ(f.unloads, 1);
  EXPECT_EQ(f.destroys, 1);
  EXPECT_EQ(f.window(), nullptr);
  EXPECT_TRUE(display.stack().empty());
  EXPECT_EQ(f.Caption, "Design");
  f.Unload();  // unloading an unloaded form does nothing
  EXPECT_EQ(f.unloads, 1);

  f.Load();
  EXPECT_EQ(f.loads, 2);
  EXPECT_EQ(f.creates, 2);
  EXPECT_EQ(label->Caption(), "design");
  EXPECT_FALSE(f.window()->visible());
}

TEST_F(FormLifecycle, HwndNamesTheWindow) {
  TestForm a("a"), b("b");
  const forms::HWND ha = a.hWnd();
  const forms::HWND hb = b.hWnd();
  EXPECT_NE(ha, 0u);
  EXPECT_NE(ha, hb);
  EXPECT_EQ(ha, a.window()->id());
  EXPECT_NE(ha, forms::GetDesktopWindow());
}

TEST_F(FormLifecycle, CloseRequestUnloadsAndEndsTheMessageLoop) {
  TestForm main("frmMain");
  main.Show();
  display.requestClose(main.hWnd());
  forms::runMessageLoop();
  EXPECT_FALSE(main.IsLoaded());
  EXPECT_EQ(main.unloads, 1);
}

TEST_F(FormLifecycle, MessageLoopRunsHandlersUntilTheLastFormUnloads) {
  TestForm main("frmMain");
  forms::CommandButton* quit = nullptr;
  main.onCreate = [&](TestForm& t) {
    quit = t.add<forms::CommandButton>(&t, "Command1", 150, 150, 1200, 450, "Quit");
    quit->Click = [&t] { t.Unload(); };
  };
  main.Show();
  clickOn(*quit);
  forms::runMessageLoop();
  EXPECT_FALSE(main.IsLoaded());
}

TEST_F(FormLifecycle, QuitUnloadsEveryForm) {
  TestForm a("a"), b("b");
  a.Show();
  b.Show();
  display::Event quit;
  quit.type = display::Event::Type::Quit;
  display.injectEvent(quit);
  forms::DoEvents();
  EXPECT_FALSE(a.IsLoaded());
  EXPECT_FALSE(b.IsLoaded());
  EXPECT_EQ(a.unloads + b.unloads, 2);
}

TEST_F(FormLifecycle, StopRuntimeUnloadsQuietly) {
  TestForm f;
  f.onCreate = [](TestForm& t) { t.add<Label>(&t, "Label1", 0, 0, 600, 300, "x"); };
  f.Show();
  forms::stopRuntime();
  EXPECT_FALSE(f.IsLoaded());
  EXPECT_EQ(f.unloads, 0);
  EXPECT_TRUE(display.stack().empty());
  forms::startRuntime(display, clock, "");  // for TearDown
}

TEST(FormWithoutRuntime, LoadRaisesARuntimeError) {
  TestForm f;
  EXPECT_THROW(f.Load(), forms::RuntimeError);
  EXPECT_FALSE(f.IsLoaded());
  forms::DoEvents();  // nothing to do, and no failure
}

TEST_F(FormLifecycle, ControlsThatOutliveTheirFormAreCutLoose) {
  std::unique_ptr<Label> label;
  std::unique_ptr<forms::PictureBox> box;
  std::unique_ptr<Label> inner;
  {
    TestForm f;
    f.Show();
    label = std::make_unique<Label>(&f, "Label1", 0, 0, 600, 300, "x");
    box = std::make_unique<forms::PictureBox>(&f, "Picture1", 0, 600, 900, 900, 1);
    inner = std::make_unique<Label>(box.get(), "Label2", 0, 0, 300, 300, "y");
    (void)box->hDC();
  }
  EXPECT_EQ(label->container(), nullptr);
  EXPECT_EQ(box->form(), nullptr);
  EXPECT_EQ(inner->form(), nullptr);
  EXPECT_EQ(box->hDC(), 0u);
  EXPECT_EQ(inner->container(), box.get());  // still inside its box
  label->setCaption("still fine");
  inner->setVisible(false);
  inner.reset();
  box.reset();
  label.reset();
}

TEST_F(FormLifecycle, NothingLeaksAcrossLoadAndUnload) {
  const std::size_t before = gdi::liveHandleCount();
  {
    TestForm f;
    f.onCreate = [](TestForm& t) {
      t.add<Label>(&t, "Label1", 0, 0, 600, 300, "x");
      t.add<forms::CommandButton>(&t, "Command1", 0, 400, 600, 300, "Go");
      auto* box = t.add<forms::PictureBox>(&t, "Picture1", 900, 0, 900, 900, 3);
      std::vector<std::uint8_t> px(4 * 4 * 3, 0x80);
      box->setPicture(gdi::PixelView{px.data(), 12, 4, 4, gdi::PixelFormat::Bgr24});
      (void)box->hDC();
      box->setAutoRedraw(true);
      (void)box->hDC();
      box->Print("text");
    };
    f.Show();
    (void)forms::GetDC(f.hWnd());  // left for the unload to delete
    forms::DoEvents();
    f.Unload();
    EXPECT_EQ(gdi::liveHandleCount(), before);
    f.Show();
  }
  EXPECT_EQ(gdi::liveHandleCount(), before);
}

// ---- geometry ----------------------------------------------------------------------

class FormGeometry : public FormsTest {};

TEST_F(FormGeometry, SizesAreTwipsOfTheOuterWindow) {
  TestForm f;
  f.setDesignClientSize(200, 100);
  f.setDesignPosition(10, 20);
  EXPECT_FLOAT_EQ(f.Width(), 3000);
  EXPECT_FLOAT_EQ(f.Height(), 1500);
  EXPECT_FLOAT_EQ(f.Left(), 150);
  EXPECT_FLOAT_EQ(f.Top(), 300);
  EXPECT_FLOAT_EQ(f.ScaleWidth(), 3000);
  EXPECT_FLOAT_EQ(f.ScaleHeight(), 1500);
  f.ScaleModeValue = 3;
  EXPECT_FLOAT_EQ(f.ScaleWidth(), 200);
  EXPECT_FLOAT_EQ(f.ScaleHeight(), 100);
}

TEST_F(FormGeometry, SettersPlaceTheWindowInPixels) {
  TestForm f;
  f.setDesignClientSize(200, 100);
  f.Move(1500, 750);
  EXPECT_EQ(f.window()->clientRect().x, 100);
  EXPECT_EQ(f.window()->clientRect().y, 50);
  EXPECT_EQ(f.window()->clientRect().width, 200);
  f.setWidth(4507);  // 300.47 pixels
  f.setHeight(1492);  // 99.47 pixels
  EXPECT_EQ(f.window()->clientRect().width, 300);
  EXPECT_EQ(f.window()->clientRect().height, 99);
  EXPECT_FLOAT_EQ(f.Width(), 4500);
  f.Move(-300, 0, 1500, 1500);
  const display::Rect r = f.window()->clientRect();
  EXPECT_EQ(r.x, -20);  // no clamping to the screen
  EXPECT_EQ(r.width, 100);
  EXPECT_EQ(r.height, 100);
  EXPECT_EQ(f.backBuffer().width, 100);
  EXPECT_EQ(f.backBuffer().height, 100);
}

// A form that holds its size, as the main window does: its resize handler
// undoes a maximise and restores the stored size.
class FixedSizeForm : public TestForm {
 public:
  FixedSizeForm() {
    onLoad = [this](TestForm&) {
      storedWidth = Width();
      storedHeight = Height();
    };
    onResize = [this](TestForm&) {
      if (WindowState() == 1) return;
      if (WindowState() == 2) setWindowState(0);
      if (Width() != storedWidth) setWidth(storedWidth);
      if (Height() != storedHeight) setHeight(storedHeight);
    };
  }
  float storedWidth = 0;
  float storedHeight = 0;
};

class FormResize : public FormsTest {};

TEST_F(FormResize, DraggingTheEdgeSnapsBackWithoutLooping) {
  FixedSizeForm f;
  f.setDesignClientSize(200, 100);
  f.Show();
  ASSERT_EQ(f.resizes, 1);
  // What a window manager does when the user drags an edge.
  f.window()->setClientRect(display::Rect{0, 0, 260, 130});
  forms::DoEvents();
  EXPECT_EQ(f.window()->clientRect().width, 200);
  EXPECT_EQ(f.window()->clientRect().height, 100);
  // The drag and the correction are both reported, the correction finding
  // nothing more to do.
  EXPECT_EQ(f.resizes, 3);
  const int settled = f.resizes;
  forms::DoEvents();
  forms::DoEvents();
  EXPECT_EQ(f.resizes, settled);
}

TEST_F(FormResize, SettingTheSizeFromCodeIsReportedAtTheNextMessages) {
  TestForm f;
  f.setDesignClientSize(200, 100);
  f.Show();
  f.setWidth(4500);
  EXPECT_EQ(f.resizes, 1);
  forms::DoEvents();
  EXPECT_EQ(f.resizes, 2);
  f.setWidth(4500);  // no change, no report
  f.Move(0, 0);      // a move is not a resize
  forms::DoEvents();
  EXPECT_EQ(f.resizes, 2);
}

TEST_F(FormResize, MaximisingReturnsToTheNormalStateAtTheStoredSize) {
  FixedSizeForm f;
  f.setDesignClientSize(200, 100);
  f.Show();
  f.window()->setState(WindowState::Maximized);  // the user's maximise
  forms::DoEvents();
  EXPECT_EQ(f.WindowState(), 0);
  EXPECT_EQ(f.window()->state(), WindowState::Normal);
  EXPECT_EQ(f.window()->clientRect().width, 200);
  EXPECT_EQ(f.window()->clientRect().height, 100);
  const int settled = f.resizes;
  forms::DoEvents();
  EXPECT_EQ(f.resizes, settled);
}

TEST_F(FormResize, MinimisingIsReportedAndLeftAlone) {
  FixedSizeForm f;
  f.Show();
  f.window()->setState(WindowState::Minimized);
  forms::DoEvents();
  EXPECT_EQ(f.WindowState(), 1);
  EXPECT_EQ(f.resizes, 2);
  EXPECT_EQ(f.window()->state(), WindowState::Minimized);
  f.window()->setState(WindowState::Normal);
  forms::DoEvents();
  EXPECT_EQ(f.WindowState(), 0);
  EXPECT_EQ(f.resizes, 3);
}

TEST_F(FormResize, SettingTheStateFromCodeMaximisesToTheScreen) {
  TestForm f;
  f.setDesignClientSize(200, 100);
  f.setWindowState(2);
  EXPECT_EQ(f.WindowState(), 2);
  EXPECT_FLOAT_EQ(f.ScaleWidth(), 320 * 15);
  EXPECT_FLOAT_EQ(f.ScaleHeight(), 240 * 15);
  f.Show();
  EXPECT_EQ(f.resizes, 1);
}

TEST_F(FormResize, AHandlerThatNeverSettlesStillLetsDoEventsReturn) {
  TestForm f;
  f.setDesignClientSize(100, 100);
  f.onResize = [](TestForm& t) { t.setWidth(t.Width() + 15); };
  f.Show();
  const int afterShow = f.resizes;
  forms::DoEvents();
  EXPECT_GT(f.resizes, afterShow);
  EXPECT_LE(f.resizes, afterShow + 16);
}

TEST_F(FormResize, GrowingKeepsTheBufferAndPaintsTheNewStrips) {
  TestForm f;
  f.setDesignClientSize(100, 50);
  f.BackColor = gdi::RGB(0, 0, 255);
  f.Show();
  const gdi::HDC dc = forms::GetDC(f.hWnd());
  gdi::SetPixel(dc, 99, 49, gdi::RGB(255, 0, 0));
  f.setWidth(200 * 15);
  f.setHeight(80 * 15);
  forms::DoEvents();
  const gdi::PixelView v = f.backBuffer();
  ASSERT_EQ(v.width, 200);
  EXPECT_EQ(pixelAt(v, 99, 49), gdi::RGB(255, 0, 0));
  EXPECT_EQ(pixelAt(v, 150, 20), gdi::RGB(0, 0, 255));
  EXPECT_EQ(pixelAt(v, 20, 70), gdi::RGB(0, 0, 255));
  // The window DC follows the new buffer.
  gdi::SetPixel(dc, 190, 75, gdi::RGB(0, 255, 0));
  EXPECT_EQ(pixelAt(f.backBuffer(), 190, 75), gdi::RGB(0, 255, 0));
  EXPECT_EQ(forms::ReleaseDC(f.hWnd(), dc), 1);
}

// ---- window-manager calls ------------------------------------------------------------

class WindowManager : public FormsTest {};

TEST_F(WindowManager, SetWindowPosPlacesTopmostAndShowsWithoutActivating) {
  TestForm main("frmMain"), test("frmTest");
  main.Show();
  ASSERT_EQ(display.focused(), shown(main));
  test.Load();
  EXPECT_EQ(forms::SetWindowPos(test.hWnd(), forms::HWND_TOPMOST, 0, 0, 320, 240,
                                forms::SWP_SHOWWINDOW | forms::SWP_NOACTIVATE),
            gdi::TRUE);
  const display::HeadlessWindow* w = shown(test);
  EXPECT_TRUE(w->visible());
  EXPECT_TRUE(w->topmost());
  EXPECT_EQ(w->clientRect().x, 0);
  EXPECT_EQ(w->clientRect().width, 320);
  EXPECT_EQ(w->clientRect().height, 240);
  EXPECT_FLOAT_EQ(test.Width(), 320 * 15);
  EXPECT_EQ(display.focused(), shown(main));  // not activated
  EXPECT_EQ(display.stack().back(), w);

  forms::SetWindowPos(test.hWnd(), forms::HWND_NOTOPMOST, 5, 6, 100, 50, 0x50);
  EXPECT_FALSE(w->topmost());
  EXPECT_EQ(w->clientRect().x, 5);
  EXPECT_EQ(w->clientRect().y, 6);
  EXPECT_EQ(w->clientRect().width, 100);
  EXPECT_EQ(test.backBuffer().height, 50);
  EXPECT_EQ(display.focused(), shown(main));
}

TEST_F(WindowManager, ForegroundAndTopCallsRaiseAndFocus) {
  TestForm a("a"), b("b");
  a.Show();
  b.Show();
  EXPECT_EQ(forms::BringWindowToTop(a.hWnd()), gdi::TRUE);
  EXPECT_EQ(display.stack().back(), shown(a));
  EXPECT_EQ(display.focused(), shown(b));
  EXPECT_EQ(forms::SetForegroundWindow(a.hWnd()), gdi::TRUE);
  EXPECT_EQ(display.focused(), shown(a));
}

TEST_F(WindowManager, CallsOnUnknownWindowsFail) {
  const forms::HWND bogus = 0x1234567;
  EXPECT_EQ(forms::SetWindowPos(bogus, forms::HWND_TOPMOST, 0, 0, 1, 1, 0), gdi::FALSE);
  EXPECT_EQ(forms::BringWindowToTop(bogus), gdi::FALSE);
  EXPECT_EQ(forms::SetForegroundWindow(bogus), gdi::FALSE);
  EXPECT_EQ(forms::GetDC(bogus), 0u);
  EXPECT_EQ(forms::ReleaseDC(bogus, 0x999), 0);
}

TEST_F(WindowManager, UnloadingGivesTheFocusBackToTheWindowBelow) {
  TestForm main("frmMain"), test("frmTest");
  main.Show();
  test.Show();
  ASSERT_EQ(display.focused(), shown(test));
  test.Unload();
  EXPECT_EQ(display.focused(), shown(main));
}

TEST_F(WindowManager, WindowDcDrawsIntoTheBackBufferUntilReleased) {
  TestForm f;
  f.setDesignClientSize(64, 48);
  f.Show();
  const gdi::HDC dc = forms::GetDC(f.hWnd());
  ASSERT_NE(dc, 0u);
  gdi::SetPixel(dc, 3, 4, gdi::RGB(1, 2, 3));
  EXPECT_EQ(pixelAt(f.backBuffer(), 3, 4), gdi::RGB(1, 2, 3));
  EXPECT_EQ(forms::ReleaseDC(f.hWnd(), dc), 1);
  EXPECT_EQ(gdi::SetPixel(dc, 3, 4, 0), gdi::CLR_INVALID);
  EXPECT_EQ(forms::ReleaseDC(f.hWnd(), dc), 0);
}

TEST_F(WindowManager, UnloadDeletesWindowDcsStillHeld) {
  TestForm f;
  f.Show();
  const gdi::HDC dc = forms::GetDC(f.hWnd());
  f.Unload();
  EXPECT_EQ(gdi::SetPixel(dc, 0, 0, 0), gdi::CLR_INVALID);
}

TEST_F(WindowManager, TheDesktopHasADcToCreateCompatibleDcsFrom) {
  const gdi::HDC desk = forms::GetDC(forms::GetDesktopWindow());
  ASSERT_NE(desk, 0u);
  const gdi::HDC mem = gdi::CreateCompatibleDC(desk);
  EXPECT_NE(mem, 0u);
  gdi::DeleteDC(mem);
  EXPECT_EQ(forms::ReleaseDC(forms::GetDesktopWindow(), desk), 1);
}

TEST_F(WindowManager, TheTitleFollowsTheCaptionInUtf8) {
  TestForm f;
  f.Caption = "Caf\xe9";
  f.Show();
  EXPECT_EQ(shown(f)->title(), "Caf\xc3\xa9");
  f.Caption = "Splines/B\xe9zier";
  forms::DoEvents();
  EXPECT_EQ(shown(f)->title(), "Splines/B\xc3\xa9zier");
}

}  // namespace
}  // namespace formstest

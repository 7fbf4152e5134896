// The measurement protocol around the eight kernels, driven through the real
// main and test windows on a headless 320 x 240 screen with a manual clock.
// The clock gives a kernel an exact elapsed time: it advances once, at the
// first reading after the kernel's first random draw.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "drawtests/support.h"
#include "platform/display/headless.h"
#include "platform/forms/forms.h"
#include "shell/frm_main.h"
#include "shell/frm_test.h"
#include "shell/program.h"
#include "shell/test_host.h"
#include "tests/handlers.h"
#include "tests/kernels.h"
#include "tests/protocol.h"

namespace {

using namespace shell;
using drawtests::LastKernelWindow;
using gdi::Fn;

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 240;

// The forms host with a record of what the protocol asked of it, and a
// picture of the surface taken when the test closes its bracket (which
// unloads the test window outside the complete run).
class WatchingHost : public drawtests::TestHost {
 public:
  std::vector<std::string> trace;
  int lModeReads = 0;
  // Runs at the start of every DoEvents, with its number in this run (1 on).
  std::function<void(int)> beforeDoEvents;
  int doEvents = 0;
  // Taken in EndTest, before the bracket closes.
  std::uint64_t surfaceHash = 0;
  int surfaceFillStyle = -1;
  // The buffer DC's background mode as the kernel left it (read in FreeBuffer).
  int bufferBkMode = -1;
  bool probeBufferBkMode = false;

  std::int16_t lMode() override {
    ++lModeReads;
    trace.push_back("lMode");
    return inner_.lMode();
  }
  void setLResult(int slot, std::int32_t value) override {
    trace.push_back("lResult");
    inner_.setLResult(slot, value);
  }
  gdi::HDC lBufferDC() override { return inner_.lBufferDC(); }
  void BeginTest() override {
    trace.push_back("BeginTest");
    inner_.BeginTest();
  }
  void EndTest() override {
    trace.push_back("EndTest");
    frmTestForm& t = frmTest();
    if (t.IsLoaded()) {
      surfaceHash = drawtest::hashPixels(t.backBuffer());
      surfaceFillStyle = t.Picture1().FillStyle;
    }
    inner_.EndTest();
  }
  void CreateDIBSection() override {
    trace.push_back("CreateDIBSection");
    inner_.CreateDIBSection();
  }
  void FreeBuffer() override {
    trace.push_back("FreeBuffer");
    // Setting the mode returns the one before; the buffer goes next anyway.
    if (probeBufferBkMode) bufferBkMode = gdi::SetBkMode(inner_.lBufferDC(), gdi::OPAQUE);
    inner_.FreeBuffer();
  }
  void setResultCaption(int label, const std::string& caption) override {
    trace.push_back("Label" + std::to_string(label) + " " + caption);
    inner_.setResultCaption(label, caption);
  }
  forms::PictureBox& Picture2() override {
    trace.push_back("Picture2");
    return inner_.Picture2();
  }
  forms::PictureBox& Picture3() override {
    trace.push_back("Picture3");
    return inner_.Picture3();
  }
  forms::PictureBox& Picture1() override { return inner_.Picture1(); }
  forms::Label& Label13() override { return inner_.Label13(); }
  void DoEvents() override {
    trace.push_back("DoEvents");
    ++doEvents;
    if (beforeDoEvents) beforeDoEvents(doEvents);
    inner_.DoEvents();
  }

 private:
  FormsTestHost inner_;
};

using Click = void (*)(drawtests::TestHost&);
constexpr std::array<Click, 9> kClicks = {nullptr,
                                          drawtests::Command1_Click,
                                          drawtests::Command2_Click,
                                          drawtests::Command3_Click,
                                          drawtests::Command4_Click,
                                          drawtests::Command5_Click,
                                          drawtests::Command6_Click,
                                          drawtests::Command7_Click,
                                          drawtests::Command8_Click};
// The buttons in the order of the complete run.
constexpr int kRunOrder[] = {1, 2, 8, 3, 4, 5, 6, 7};

class ProtocolTest : public ::testing::Test {
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
    clock.onNow = [this] {
      if (!advanced_ && forms::rndDrawCount() > drawsBefore_) {
        advanced_ = true;
        clock.advance(kernelSeconds_);
      }
    };
    clock.onSleep = [this](int ms) {
      sleeps.push_back(ms);
      if (onSleep) onSleep(ms);
    };
  }
  void TearDown() override {
    clock.onNow = nullptr;
    clock.onSleep = nullptr;
    frmTest().Unload();
    frmMain().Unload();
    forms::stopRuntime();
  }

  void setMode(int mode) {
    frmMain().Option1(mode).press();
    ASSERT_EQ(frmMain().lMode, mode);
  }
  // The next kernel takes exactly `seconds` (0: no time at all).
  void timeNextKernel(double seconds) {
    kernelSeconds_ = seconds;
    advanced_ = false;
    drawsBefore_ = forms::rndDrawCount();
  }

  display::HeadlessDisplay screen{kScreenWidth, kScreenHeight};
  forms::ManualClock clock;
  std::vector<int> sleeps;
  std::function<void(int)> onSleep;

 private:
  double kernelSeconds_ = 0;
  bool advanced_ = true;
  std::uint64_t drawsBefore_ = 0;
};

// What the test window showed during the protocol's one-second pause.
struct DuringPause {
  std::string title;
  bool titleVisible = false;
  float titleTop = 0, titleHeight = 0;
  std::string resultCaption;
  bool sourceAutoRedraw = false;
};

struct Row {
  int button;
  const char* title;
  const char* unit;
  int slot;
  double seconds;  // the kernel's elapsed time
  const char* directCaption;
  std::int32_t directSlot;
  const char* bufferedCaption;
  std::int32_t bufferedSlot;
  bool timedCopyBack;
  Fn drawingCall;  // the kernel's own drawing call and how often it is made
  std::uint64_t drawingCalls;
  std::uint64_t draws;  // 0 where the count follows from the draws (polygons)
};

// The elapsed times of the examples; in buffered mode the text, blitting,
// stretching and spline rates include the 500 ms pause of the copy-back.
const Row kRows[] = {
    {1, "Text", " chars/sec", 1, 1.0, "50000 chars/sec", 50000, "33333 chars/sec", 33333, true, Fn::TextOutA, 100000, 400000},
    {2, "Lines", " lines/sec", 2, 2.5, "60000 lines/sec", 60000, "60000 lines/sec", 60000, false, Fn::LineTo, 150000, 600002},
    {3, "Polygons", " polygons/sec", 3, 2.5, "24000 polygons/sec", 24000, "24000 polygons/sec", 24000, false, Fn::Polygon, 5000, 0},
    {4, "Rectangle", " rects/sec", 4, 4.0, "5000 rects/sec", 5000, "5000 rects/sec", 5000, false, Fn::Rectangle, 200000, 1000000},
    {5, "Ellipses", " ellipses/sec", 5, 2.0, "25000 ellipses/sec", 25000, "25000 ellipses/sec", 25000, false, Fn::Ellipse, 10000, 100000},
    {6, "Blitting", " operations/sec", 6, 2.0, "25000 operations/sec", 25000, "20000 operations/sec", 20000, true, Fn::BitBlt, 50000, 200000},
    {7, "Stretching", " operations/sec", 7, 2.0, "5000 operations/sec", 5000, "4000 operations/sec", 4000, true, Fn::StretchBlt, 9000, 18000},
    {8, "Splines", " splines/sec", 8, 2.0, "50000 splines/sec", 50000, "40000 splines/sec", 40000, true, Fn::PolyBezier, 100000, 1000000},
};

TEST_F(ProtocolTest, EachButtonRunsItsTestWithItsTitleUnitSlotLabelAndRate) {
  frmMainForm& f = frmMain();
  drawtest::Dib source(500, 500);
  for (const int mode : {0, 1}) {
    setMode(mode);
    for (const Row& r : kRows) {
      SCOPED_TRACE(testing::Message() << r.title << (mode == 1 ? " buffered" : " direct"));
      for (std::size_t s = 1; s <= 10; ++s) f.lResult[s] = -static_cast<std::int32_t>(s);
      DuringPause seen;
      int pauses = 0;
      onSleep = [&](int ms) {
        // The bracket's pause comes first, then the protocol's.
        if (ms != 1000 || ++pauses != 2) return;
        forms::Label& title = frmTest().Label13();
        seen = DuringPause{title.Caption(), title.Visible(), title.Top(), title.Height(),
                           f.Label(r.slot).Caption(),
                           r.button == 6 ? f.Picture2().AutoRedraw() : f.Picture3().AutoRedraw()};
      };
      sleeps.clear();
      timeNextKernel(r.seconds);
      const std::uint64_t drawsBefore = forms::rndDrawCount();
      f.Command(r.button).press();
      const std::uint64_t handlerDraws = forms::rndDrawCount() - drawsBefore;

      // The title, and in buffered mode its second line and its centred top.
      if (mode == 0) {
        EXPECT_EQ(seen.title, r.title);
        EXPECT_FLOAT_EQ(seen.titleTop, 4770.0f / 15.0f);  // where the fresh window has it
      } else {
        EXPECT_EQ(seen.title, std::string(r.title) + "\r\n(buffered)");
        EXPECT_FLOAT_EQ(seen.titleTop, (kScreenHeight - seen.titleHeight) / 2.0f);
      }
      EXPECT_TRUE(seen.titleVisible);
      EXPECT_EQ(seen.resultCaption, "test is running...");
      if (r.button == 6 || r.button == 7) {
        EXPECT_TRUE(seen.sourceAutoRedraw);  // prepared before the pause
        EXPECT_FALSE(f.Picture2().AutoRedraw());  // and put back afterwards
        EXPECT_FALSE(f.Picture3().AutoRedraw());
      }

      // The rate in its slot and label, and no other slot touched.
      EXPECT_EQ(f.Label(r.slot).Caption(), mode == 0 ? r.directCaption : r.bufferedCaption);
      EXPECT_EQ(f.lResult[static_cast<std::size_t>(r.slot)], mode == 0 ? r.directSlot : r.bufferedSlot);
      for (int s = 1; s <= 10; ++s) {
        if (s != r.slot) {
          EXPECT_EQ(f.lResult[static_cast<std::size_t>(s)], -s) << "slot " << s;
        }
      }
      const std::string caption = f.Label(r.slot).Caption();
      EXPECT_EQ(caption.substr(caption.size() - std::string(r.unit).size()), r.unit);

      // The kernel window: exactly the kernel, and in buffered mode also
      // the timed copy-back with its pause, the one block transfer more.
      const drawtests::KernelWindow& w = LastKernelWindow(r.slot);
      const bool timed = mode == 1 && r.timedCopyBack;
      EXPECT_TRUE(w.measured);
      EXPECT_DOUBLE_EQ(w.elapsed(), r.seconds + (timed ? 0.5 : 0.0));
      EXPECT_EQ(w.calls(r.drawingCall), r.drawingCalls + (timed && r.drawingCall == Fn::BitBlt ? 1 : 0));
      EXPECT_EQ(w.calls(Fn::BitBlt), (r.drawingCall == Fn::BitBlt ? r.drawingCalls : 0) + (timed ? 1 : 0));
      // The text test sets its background mode before the first reading.
      // (A timed copy-back may make the surface's DC, which sets its own.)
      if (!timed) {
        EXPECT_EQ(w.calls(Fn::SetBkMode), 0u);
      }
      if (r.draws != 0) {
        EXPECT_EQ(w.randomDraws(), r.draws);
      }
      EXPECT_EQ(w.randomDraws(), handlerDraws);  // nothing else draws
      if (!timed) {
        // Every counter between the readings is the kernel's: the same as
        // for the kernel run on its own with the same draws.
        drawtest::Dib alone(8, 8);
        forms::Randomize(-5);
        const gdi::CallCounts before = gdi::callCounts();
        const drawtests::TestRow& row = drawtests::TestRowOfButton(r.button);
        row.kernel(drawtests::KernelArgs{alone.dc(), kScreenWidth, kScreenHeight, source.dc(), row.iterations});
        const gdi::CallCounts after = gdi::callCounts();
        for (std::size_t i = 0; i < gdi::kFnCount; ++i)
          EXPECT_EQ(w.calls(static_cast<Fn>(i)), after[i] - before[i]) << gdi::fnName(static_cast<Fn>(i));
      }

      // The pauses: the bracket's, the title's, and the copy-back's.
      EXPECT_EQ(sleeps, mode == 0 ? std::vector<int>({1000, 1000}) : std::vector<int>({1000, 1000, 500}));
      EXPECT_FALSE(frmTest().IsLoaded());
      EXPECT_TRUE(f.Command(r.button).Enabled());
      EXPECT_EQ(f.oBuffer, nullptr);
    }
  }
  // Every label was set by its own test.
  for (const Row& r : kRows) EXPECT_EQ(f.Label(r.slot).Caption(), r.bufferedCaption);
}

TEST_F(ProtocolTest, ZeroElapsedTimeKeepsTheSlotAndSaysSoInTheLabel) {
  // Both modes and both places of the second reading; in buffered mode a
  // timed copy-back's pause makes the time non-zero.
  frmMainForm& f = frmMain();
  const struct {
    int button, mode;
  } cases[] = {{2, 0}, {8, 0}, {4, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "Command" << c.button << (c.mode == 1 ? " buffered" : " direct"));
    setMode(c.mode);
    const int slot = drawtests::TestRowOfButton(c.button).slot;
    f.lResult[static_cast<std::size_t>(slot)] = 4321;
    timeNextKernel(0.0);
    f.Command(c.button).press();
    EXPECT_EQ(LastKernelWindow(slot).elapsed(), 0.0);
    EXPECT_EQ(f.lResult[static_cast<std::size_t>(slot)], 4321);
    EXPECT_EQ(f.Label(slot).Caption(), "too fast to measure");
    EXPECT_FALSE(frmTest().IsLoaded());  // the handler still reached EndTest
  }
}

TEST(RateCaption, FormatsTheRateWithTheUnitOrSaysItCannot) {
  const struct {
    double rate;
    const char* caption;
  } cases[] = {
      {60000.0, "60000 lines/sec"},
      {2.5, "2 lines/sec"},  // halfway: to even
      {3.5, "4 lines/sec"},
      {-12.4, "-12 lines/sec"},
      {1e12, "1000000000000 lines/sec"},  // too large for a slot, not for the label
      {1.0 / 0.0, "too fast to measure"},
  };
  for (const auto& c : cases) EXPECT_EQ(drawtests::RateCaption(c.rate, " lines/sec"), c.caption) << c.rate;
}

TEST_F(ProtocolTest, EachAdditionStandsWhereItsTestPutsIt) {
  // The protocol's requests of the main window, in order, with the pauses.
  const std::vector<std::string> open = {"BeginTest", "Sleep 1000", "Label{n} test is running...", "DoEvents"};
  const std::vector<std::string> title = {"lMode", "DoEvents", "Sleep 1000", "DoEvents", "lMode"};
  auto result = [](int n, const char* caption) {
    return std::vector<std::string>{"lResult", "Label" + std::to_string(n) + " " + caption};
  };
  const std::vector<std::string> prepare2 = {"Picture2", "Picture2", "Picture2", "Picture2", "Picture2", "DoEvents"};
  const std::vector<std::string> prepare3 = {"Picture3", "Picture3", "Picture3", "Picture3", "Picture3", "DoEvents"};
  struct Case {
    int button;
    int mode;
    std::vector<std::vector<std::string>> parts;  // joined in order
    int fillStyle;  // of the surface when the test closes
  };
  const std::vector<Case> cases = {
      {2, 0, {open, title, {"lMode"}, result(2, "60000 lines/sec"), {"EndTest"}}, 1},
      {2, 1, {open, title, {"CreateDIBSection", "lMode", "FreeBuffer", "Sleep 500"}, result(2, "60000 lines/sec"), {"EndTest"}}, 1},
      {1, 1, {open, title, {"CreateDIBSection", "lMode", "FreeBuffer", "Sleep 500"}, result(1, "33333 chars/sec"), {"EndTest"}}, 1},
      // The spline test processes messages in its timed copy-back.
      {8, 1, {open, title, {"CreateDIBSection", "lMode", "DoEvents", "FreeBuffer", "Sleep 500"}, result(8, "40000 splines/sec"), {"EndTest"}}, 1},
      {8, 0, {open, title, {"lMode"}, result(8, "50000 splines/sec"), {"EndTest"}}, 1},
      // The rectangle test processes messages after hiding the title, and
      // like the ellipse test draws with a solid fill style in direct mode.
      {4, 0, {open, title, {"DoEvents", "lMode"}, result(4, "5000 rects/sec"), {"EndTest"}}, 0},
      {4, 1, {open, title, {"CreateDIBSection", "lMode", "FreeBuffer", "Sleep 500"}, result(4, "5000 rects/sec"), {"EndTest"}}, 1},
      {5, 0, {open, title, {"lMode"}, result(5, "25000 ellipses/sec"), {"EndTest"}}, 0},
      {5, 1, {open, title, {"CreateDIBSection", "lMode", "FreeBuffer", "Sleep 500"}, result(5, "25000 ellipses/sec"), {"EndTest"}}, 1},
      {3, 0, {open, title, {"lMode"}, result(3, "24000 polygons/sec"), {"EndTest"}}, 1},
      // The source pictures are prepared right after the announcement and
      // put back right after the result.
      {6, 0, {open, prepare2, title, {"lMode"}, result(6, "25000 operations/sec"), {"Picture2", "EndTest"}}, 0},
      {6, 1, {open, prepare2, title, {"CreateDIBSection", "lMode", "FreeBuffer", "Sleep 500"}, result(6, "20000 operations/sec"), {"Picture2", "EndTest"}}, 1},
      {7, 0, {open, prepare3, title, {"lMode"}, result(7, "5000 operations/sec"), {"Picture3", "EndTest"}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "Command" << c.button << (c.mode == 1 ? " buffered" : " direct"));
    setMode(c.mode);
    WatchingHost host;
    onSleep = [&](int ms) { host.trace.push_back("Sleep " + std::to_string(ms)); };
    timeNextKernel(kRows[c.button == 8 ? 7 : c.button - 1].seconds);
    kClicks[static_cast<std::size_t>(c.button)](host);
    onSleep = nullptr;
    std::vector<std::string> expected;
    for (const auto& part : c.parts)
      for (std::string step : part) {
        if (const auto at = step.find("{n}"); at != std::string::npos) step.replace(at, 3, std::to_string(c.button));
        expected.push_back(step);
      }
    EXPECT_EQ(host.trace, expected);
    EXPECT_EQ(host.surfaceFillStyle, c.fillStyle);
  }
}

TEST_F(ProtocolTest, TheTextTestDrawsOnATransparentBackgroundSetBeforeTheFirstReading) {
  setMode(1);
  for (const int button : {1, 2}) {
    SCOPED_TRACE(testing::Message() << "Command" << button);
    WatchingHost host;
    host.probeBufferBkMode = true;
    // A new memory DC draws text opaquely; only the text test changes that.
    timeNextKernel(1.0);
    kClicks[static_cast<std::size_t>(button)](host);
    EXPECT_EQ(host.bufferBkMode, button == 1 ? gdi::TRANSPARENT : gdi::OPAQUE);
  }
}

TEST_F(ProtocolTest, AModeChangedWhileMessagesAreProcessedTakesEffectAtTheNextReading) {
  // Clicking "DIB buffering" during the title's pause: the title was set up
  // for direct drawing, the drawing target and the copy-back follow the new
  // mode.
  frmMainForm& f = frmMain();
  setMode(0);
  WatchingHost host;
  host.beforeDoEvents = [&](int n) {
    if (n == 3) f.Option1(1).press();  // the messages right after the one-second pause
  };
  std::string titleDuringKernel;
  timeNextKernel(2.5);
  sleeps.clear();
  drawtests::Command2_Click(host);
  EXPECT_EQ(host.lModeReads, 3);  // steps 6, 8 and 12 each read it afresh
  EXPECT_EQ(f.lMode, 1);
  const std::vector<std::string> expected = {
      "BeginTest", "Label2 test is running...", "DoEvents", "lMode", "DoEvents", "DoEvents", "lMode",
      "CreateDIBSection", "lMode", "FreeBuffer", "lResult", "Label2 60000 lines/sec", "EndTest"};
  EXPECT_EQ(host.trace, expected);
  EXPECT_EQ(sleeps, std::vector<int>({1000, 1000, 500}));
  EXPECT_EQ(f.Label(2).Caption(), "60000 lines/sec");
}

// A hash of a surface that shows only its background.
std::uint64_t blankHash(int width, int height, std::uint32_t xrgb) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), xrgb);
  return drawtest::hashPixels(gdi::PixelView{reinterpret_cast<std::uint8_t*>(pixels.data()), width * 4, width, height,
                                             gdi::PixelFormat::Xrgb32});
}

TEST_F(ProtocolTest, EveryTestDrawsTheSamePixelsTwiceAndInsideTheCompleteRun) {
  frmMainForm& f = frmMain();
  for (const int mode : {0, 1}) {
    setMode(mode);
    std::array<std::uint64_t, 9> alone{};
    for (const int button : kRunOrder) {
      SCOPED_TRACE(testing::Message() << "Command" << button << (mode == 1 ? " buffered" : " direct"));
      WatchingHost first, second;
      timeNextKernel(1.0);
      kClicks[static_cast<std::size_t>(button)](first);
      timeNextKernel(1.0);
      kClicks[static_cast<std::size_t>(button)](second);
      EXPECT_EQ(first.surfaceHash, second.surfaceHash);
      // The surface shows the drawing, not just its background: the
      // source pictures were there for the block transfers, say.
      EXPECT_NE(first.surfaceHash, blankHash(kScreenWidth, kScreenHeight, mode == 0 ? 0x404040u : 0xFFFFFFu));
      alone[static_cast<std::size_t>(button)] = first.surfaceHash;
    }

    // The complete run: one bracket around all eight, the generator
    // re-seeded before each, the test window kept from test to test.
    WatchingHost run;
    run.BeginTest();
    f.lRunAll = 1;
    for (const int button : kRunOrder) {
      SCOPED_TRACE(testing::Message() << "complete run, Command" << button << (mode == 1 ? " buffered" : " direct"));
      forms::Randomize(-5);
      timeNextKernel(1.0);
      kClicks[static_cast<std::size_t>(button)](run);
      EXPECT_TRUE(frmTest().IsLoaded());
      EXPECT_EQ(run.surfaceHash, alone[static_cast<std::size_t>(button)]);
    }
    f.lRunAll = 0;
    run.EndTest();
    EXPECT_FALSE(frmTest().IsLoaded());
  }
}

}  // namespace

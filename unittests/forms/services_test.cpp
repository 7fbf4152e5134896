// Run-time services: formatting and rounding, the shared generator, dates,
// time and sleep, text files, the clipboard, the screen and the program's
// folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "support.h"

namespace formstest {
namespace {

// ---- numbers -------------------------------------------------------------------------------

TEST(Format, RoundsHalfToEvenAndPrintsTheInteger) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    const char* pattern;
    const char* expected;
  };
  const Case cases[] = {
      {0.5, "0", "0"},
      {1.5, "0", "2"},
      {2.5, "0", "2"},
      {3.5, "0", "4"},
      {2.5000001, "0", "3"},
      {60000.4, "0", "60000"},
      {60000.0, "0", "60000"},
      {-2.5, "0", "-2"},
      {-60000.6, "0", "-60001"},
      {-0.4, "0", "0"},
      {1234567890123.0, "0", "1234567890123"},
      {1e20, "0", "100000000000000000000"},
      {7, "000", "007"},
      {-7, "00", "-07"},
      {inf, "0", "inf"},
      {-inf, "0", "-inf"},
      {std::nan(""), "0", "nan"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(forms::Format(c.value, c.pattern), c.expected) << c.value << " " << c.pattern;
  }
  EXPECT_THROW(forms::Format(1, "#,##0"), forms::RuntimeError);
  EXPECT_THROW(forms::Format(1, ""), forms::RuntimeError);
}

TEST(RoundToInt, TiesToEvenAndOverflowRaises) {
  struct Case {
    double value;
    std::int32_t expected;
  };
  for (const Case c : {Case{0.5, 0}, Case{1.5, 2}, Case{-1.5, -2}, Case{-0.5, 0}, Case{2.4999, 2},
                       Case{2147483646.5, 2147483646}, Case{2147483647.4, 2147483647},
                       Case{-2147483648.4, std::numeric_limits<std::int32_t>::min()}}) {
    EXPECT_EQ(forms::roundToInt(c.value), c.expected) << c.value;
  }
  for (double bad : {2147483647.5, -2147483648.6, 1e300, std::numeric_limits<double>::infinity(),
                     std::nan("")}) {
    EXPECT_THROW(forms::roundToInt(bad), forms::RuntimeError) << bad;
  }
}

// ---- the shared generator -------------------------------------------------------------------

std::vector<float> draw(int n) {
  std::vector<float> v;
  for (int i = 0; i < n; ++i) v.push_back(forms::Rnd());
  return v;
}

TEST(Rnd, ReseedingReproducesTheSequence) {
  forms::Randomize(-5);
  const std::vector<float> first = draw(1000);
  (void)draw(17);
  forms::Randomize(-5);
  EXPECT_EQ(draw(1000), first);
  forms::Randomize(-4);
  EXPECT_NE(draw(1000), first);
}

TEST(Rnd, ValuesLieInTheUnitIntervalAndSpreadEvenly) {
  forms::Randomize(-5);
  constexpr int kDraws = 100000;
  constexpr int kBuckets = 20;
  int counts[kBuckets] = {};
  double sum = 0;
  std::set<float> distinct;
  for (float r : draw(kDraws)) {
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
    ++counts[static_cast<int>(r * kBuckets)];
    sum += r;
    distinct.insert(r);
  }
  EXPECT_NEAR(sum / kDraws, 0.5, 0.01);
  for (int c : counts) EXPECT_NEAR(c, kDraws / kBuckets, 300);
  EXPECT_GT(distinct.size(), 99000u);  // 24 bits of resolution, not a short cycle
}

TEST(Rnd, CountsItsDraws) {
  const std::uint64_t before = forms::rndDrawCount();
  (void)draw(123);
  forms::Randomize(1);  // re-seeding draws nothing
  EXPECT_EQ(forms::rndDrawCount() - before, 123u);
}

// ---- dates, time and sleep -----------------------------------------------------------------

class LocalTime : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    const char* tz = std::getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) savedTz_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_) {
      setenv("TZ", savedTz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
    FormsTest::TearDown();
  }

 private:
  bool hadTz_ = false;
  std::string savedTz_;
};

TEST_F(LocalTime, DatesAndTimesFollowTheirPatterns) {
  clock.setWallTime(1275314587);  // 2010-05-31 14:03:07
  const std::time_t now = forms::Now();
  EXPECT_EQ(now, 1275314587);
  EXPECT_EQ(forms::FormatDate(now, "yyyy-mm-dd"), "2010-05-31");
  EXPECT_EQ(forms::FormatDate(now, "hh-nn-ss"), "14-03-07");
  EXPECT_EQ(forms::FormatDate(now, "yyyy-mm-dd-hh-nn-ss-") + "Direct.txt",
            "2010-05-31-14-03-07-Direct.txt");
  EXPECT_EQ(forms::FormatDate(1262311200, "dd.mm.yy h:n:s"), "01.01.10 2:0:0");
  EXPECT_EQ(forms::FormatDate(1275314587, "HH-NN-SS"), "14-03-07");
}

TEST_F(FormsTest, TimerAndSleepGoThroughTheClock) {
  std::vector<int> sleeps;
  clock.onSleep = [&](int ms) { sleeps.push_back(ms); };
  const double t0 = forms::Timer();
  forms::Sleep(1000);
  forms::Sleep(500);
  EXPECT_DOUBLE_EQ(forms::Timer() - t0, 1.5);
  EXPECT_EQ(sleeps, (std::vector<int>{1000, 500}));
}

TEST_F(FormsTest, SleepProcessesNoMessages) {
  TestForm f;
  int clicks = 0;
  forms::CommandButton* b = nullptr;
  f.onCreate = [&](TestForm& t) {
    b = t.add<forms::CommandButton>(&t, "Command1", 0, 0, 1500, 600, "Go");
    b->Click = [&] { ++clicks; };
  };
  f.Show();
  clickOn(*b);
  forms::Sleep(1000);
  EXPECT_EQ(clicks, 0);
  forms::DoEvents();
  EXPECT_EQ(clicks, 1);
}

TEST(ClockWithoutRuntime, IsTheRealClock) {
  EXPECT_FALSE(forms::runtimeStarted());
  EXPECT_NE(dynamic_cast<forms::RealClock*>(&forms::currentClock()), nullptr);
  const double t0 = forms::Timer();
  forms::Sleep(2);
  EXPECT_GT(forms::Timer(), t0);
}

// ---- text files ---------------------------------------------------------------------------------

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(TextFile, WritesLinesWithCrLfAndTruncatesOnOpen) {
  const std::string path = ::testing::TempDir() + "forms_textfile.txt";
  forms::TextFile out;
  ASSERT_TRUE(out.openForOutput(path));
  EXPECT_TRUE(out.print("Score: 100"));
  EXPECT_TRUE(out.print(""));
  EXPECT_TRUE(out.print("Splines/B\xe9zier: 5 splines/sec"));
  EXPECT_TRUE(out.close());
  EXPECT_EQ(slurp(path), "Score: 100\r\n\r\nSplines/B\xe9zier: 5 splines/sec\r\n");
  ASSERT_TRUE(out.openForOutput(path));
  EXPECT_TRUE(out.print("x"));
  EXPECT_TRUE(out.close());
  EXPECT_EQ(slurp(path), "x\r\n");
  std::remove(path.c_str());
}

TEST(TextFile, ReportsFailures) {
  forms::TextFile out;
  EXPECT_FALSE(out.print("not open"));
  EXPECT_FALSE(out.close());
  EXPECT_FALSE(out.openForOutput(::testing::TempDir() + "no/such/folder/file.txt"));
  EXPECT_FALSE(out.isOpen());
  // A full device: the writes are buffered, so the failure shows at close.
  if (out.openForOutput("/dev/full")) {
    out.print(std::string(1 << 16, 'x'));
    EXPECT_FALSE(out.close());
  }
}

// ---- clipboard, screen, program folder --------------------------------------------------------

TEST_F(FormsTest, ClipboardTextIsConvertedToUtf8) {
  forms::Clipboard::SetText("Caf\xe9 \x80 \x95 B\xe9zier\r\n");
  EXPECT_EQ(display.clipboardText(), "Caf\xc3\xa9 \xe2\x82\xac \xe2\x80\xa2 B\xc3\xa9zier\r\n");
  forms::Clipboard::Clear();
  EXPECT_EQ(display.clipboardText(), "");
}

TEST_F(FormsTest, TheScreenIsMeasuredInTwips) {
  EXPECT_FLOAT_EQ(forms::Screen::Width(), 320 * 15);
  EXPECT_FLOAT_EQ(forms::Screen::Height(), 240 * 15);
  EXPECT_FLOAT_EQ(forms::Screen::TwipsPerPixelX(), 15);
  EXPECT_FLOAT_EQ(forms::Screen::TwipsPerPixelY(), 15);
}

TEST_F(FormsTest, TheMousePointerSetsTheCursor) {
  forms::Screen::setMousePointer(11);
  EXPECT_EQ(forms::Screen::MousePointer(), 11);
  EXPECT_EQ(display.cursor(), display::Cursor::Wait);
  forms::Screen::setMousePointer(0);
  EXPECT_EQ(forms::Screen::MousePointer(), 0);
  EXPECT_EQ(display.cursor(), display::Cursor::Default);
  forms::Screen::setMousePointer(11);
  forms::stopRuntime();  // the hourglass does not outlive the runtime
  EXPECT_EQ(display.cursor(), display::Cursor::Default);
  forms::startRuntime(display, clock, "");
}

TEST_F(FormsTest, AppPathIsTheGivenFolderWithoutTrailingSlash) {
  EXPECT_EQ(forms::App::Path(), "/opt/vex2d");
}

TEST_F(FormsTest, AppPathDefaultsToTheExecutablesFolder) {
  forms::startRuntime(display, clock, "");
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  ASSERT_GT(n, 0);
  std::string exe(buf, static_cast<std::size_t>(n));
  const std::string folder = forms::App::Path();
  EXPECT_EQ(folder, exe.substr(0, exe.rfind('/')));
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
}

TEST(RuntimeServicesWithoutRuntime, RaiseRuntimeErrors) {
  EXPECT_THROW(forms::Screen::Width(), forms::RuntimeError);
  EXPECT_THROW(forms::Clipboard::SetText("x"), forms::RuntimeError);
  EXPECT_THROW(forms::currentDisplay(), forms::RuntimeError);
  EXPECT_EQ(forms::GetDC(forms::GetDesktopWindow()), 0u);
}

}  // namespace
}  // namespace formstest

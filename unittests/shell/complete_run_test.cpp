// The complete run, the score and the report, on a headless screen with a
// manual clock; the eight tests are stand-ins that write known rates.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/forms/forms.h"
#include "shell/complete_run.h"
#include "shell/frm_main.h"
#include "shell/frm_test.h"
#include "shell/program.h"

namespace {

using namespace shell;

const char* const kUnits[] = {"", " chars/sec", " lines/sec", " polygons/sec", " rects/sec", " ellipses/sec",
                              " operations/sec", " operations/sec", " splines/sec"};

class CompleteRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = ::testing::TempDir() + "vex2d-report-" + std::to_string(::getpid());
    ::mkdir(folder.c_str(), 0755);
    forms::startRuntime(screen, clock, folder);
    setReportFolder(std::string());
    frmMainForm& f = frmMain();
    f.lRunAll = 0;
    f.lMode = 0;
    f.lResult = {};
    installHandlers();
    // Stand-ins for the tests: each records the order it ran in, whether the
    // bracket was open and the generator fresh, and writes its rate.
    for (int n = 1; n <= 8; ++n) {
      f.testHandlers[static_cast<std::size_t>(n)] = [this, n, &f] {
        order.push_back(n);
        freshSequence.push_back(forms::Rnd() == firstValue);
        runAllSeen.push_back(f.lRunAll);
        f.BeginTest();  // does nothing inside the run
        f.lResult[static_cast<std::size_t>(n)] = rates[n];
        f.Label(n).setCaption(std::to_string(rates[n]) + kUnits[n]);
        f.EndTest();
      };
    }
    forms::Randomize(-5);
    firstValue = forms::Rnd();
    showMainWindow();
    forms::DoEvents();
  }
  void TearDown() override {
    frmTest().Unload();
    frmMain().Unload();
    forms::stopRuntime();
    setReportFolder(std::string());
  }

  display::HeadlessDisplay screen{1024, 768};
  forms::ManualClock clock;
  std::string folder;
  std::vector<int> order;
  std::vector<bool> freshSequence;
  std::vector<int> runAllSeen;
  float firstValue = 0;
  // Each exactly its reference rate, but Line at twice and Spline at zero.
  int rates[9] = {0, 29000, 76064, 2500, 6300, 5000, 8000, 335, 0};
};

TEST_F(CompleteRunTest, RunsTheEightTestsInOneBracketAndShowsTheScore) {
  frmMainForm& f = frmMain();
  int bracketPauses = 0;
  clock.onSleep = [&](int ms) { bracketPauses += ms == 1000; };
  CmdTest_Click(f);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 8, 3, 4, 5, 6, 7}));
  EXPECT_EQ(freshSequence, std::vector<bool>(8, true));
  EXPECT_EQ(runAllSeen, std::vector<int>(8, 1));
  EXPECT_EQ(bracketPauses, 1);  // one bracket around all eight
  EXPECT_EQ(f.lRunAll, 0);
  EXPECT_FALSE(frmTest().IsLoaded());
  // Points: 100, 200, 100, 100, 100, 100, 100, 0 -> mean 100.
  EXPECT_EQ(f.Label91().Caption(), "100");
  EXPECT_TRUE(f.Label19().Visible());
  EXPECT_EQ(f.Label12().Caption(), "");
  EXPECT_TRUE(f.Command(10).Enabled());
  EXPECT_TRUE(f.CmdTest().Enabled());
}

TEST_F(CompleteRunTest, ScoreIsTheMeanOfThePointsAgainstTheReferenceRates) {
  frmMainForm& f = frmMain();
  const struct {
    double factor;
    const char* score;
  } cases[] = {{1.0, "100"}, {0.0, "0"}, {2.0, "200"}, {0.5, "50"}};
  for (const auto& c : cases) {
    for (int n = 1; n <= 8; ++n) rates[n] = static_cast<int>(kReferenceRates[static_cast<std::size_t>(n)] * c.factor);
    CmdTest_Click(f);
    EXPECT_EQ(f.Label91().Caption(), c.score) << "rates at " << c.factor << " of the references";
  }
}

TEST_F(CompleteRunTest, ProgressTextsAndPendingLabels) {
  frmMainForm& f = frmMain();
  std::vector<std::string> progress;
  std::vector<std::string> labelsAtFirstTest;
  f.testHandlers[1] = [&] {
    for (int n = 1; n <= 8; ++n) labelsAtFirstTest.push_back(f.Label(n).Caption());
  };
  for (int n : {1, 2, 8, 3, 4, 5, 6, 7}) {
    auto inner = f.testHandlers[static_cast<std::size_t>(n)];
    f.testHandlers[static_cast<std::size_t>(n)] = [&, inner, n] {
      progress.push_back(f.Label12().Caption() + " / " + f.Label(n).Caption());
      inner();
    };
  }
  CmdTest_Click(f);
  EXPECT_EQ(labelsAtFirstTest, (std::vector<std::string>{"testing...", "pending", "pending", "pending", "pending",
                                                         "pending", "pending", "pending"}));
  EXPECT_EQ(progress, (std::vector<std::string>{
                          "Test 1 of 9 - render text / testing...", "Test 2 of 9 - lines and moves / testing...",
                          "Test 3 of 9 - splines/curves / testing...", "Test 4 of 9 - polygons / testing...",
                          "Test 5 of 9 - rectangles / testing...", "Test 6 of 9 - ellipses and arcs / testing...",
                          "Test 7 of 9 - blitting / testing...", "Test 8 of 9 - stretching / testing..."}));
}

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST_F(CompleteRunTest, ReportOnTheClipboardAndInTheDatedFile) {
  frmMainForm& f = frmMain();
  CmdTest_Click(f);
  // 2010-05-31 14:03:07 in local time.
  std::tm tm{};
  tm.tm_year = 110;
  tm.tm_mon = 4;
  tm.tm_mday = 31;
  tm.tm_hour = 14;
  tm.tm_min = 3;
  tm.tm_sec = 7;
  tm.tm_isdst = -1;
  clock.setWallTime(std::mktime(&tm));
  const std::string path = Command10_Click(f);
  const std::string want =
      "BENCHMARK: DIRECT DRAWING TO VISIBLE DEVICE\r\n\r\n"
      "Text: 29000 chars/sec\r\nLine: 76064 lines/sec\r\nPolygon: 2500 polygons/sec\r\n"
      "Rectangle: 6300 rects/sec\r\nArc/Ellipse: 5000 ellipses/sec\r\nBlitting: 8000 operations/sec\r\n"
      "Stretching: 335 operations/sec\r\nSplines/B\xE9zier: 0 splines/sec\r\nScore: 100";
  EXPECT_EQ(path, folder + "/2010-05-31-14-03-07-Direct.txt");
  EXPECT_EQ(readFile(path), want + "\r\n");  // Windows-1252: the e-acute is the byte 0xE9
  EXPECT_EQ(screen.clipboardText(), forms::windows1252ToUtf8(want));

  // The header follows the option buttons; the file name too.
  f.Option1(1).press();
  clock.setWallTime(std::mktime(&tm) + 1);
  const std::string buffered = Command10_Click(f);
  EXPECT_EQ(buffered, folder + "/2010-05-31-14-03-08-Buffer.txt");
  EXPECT_EQ(readFile(buffered).rfind("BENCHMARK: DIB-BUFFER AND BLIT\r\n\r\nText: ", 0), 0u);
  // No temporary file is left behind.
  std::remove(path.c_str());
  std::remove(buffered.c_str());
  EXPECT_EQ(::rmdir(folder.c_str()), 0);
}

TEST_F(CompleteRunTest, TwoReportsInTheSameSecondReplaceEachOther) {
  frmMainForm& f = frmMain();
  const std::string first = Command10_Click(f);
  CmdTest_Click(f);  // the clock stands still: the same second
  const std::string second = Command10_Click(f);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first, second);
  EXPECT_NE(readFile(second).find("Score: 100"), std::string::npos);  // the newer report
  std::remove(second.c_str());
  EXPECT_EQ(::rmdir(folder.c_str()), 0);  // nothing else was left in the folder
}

TEST_F(CompleteRunTest, AnUnwritableFolderStillFillsTheClipboard) {
  frmMainForm& f = frmMain();
  setReportFolder(folder + "/does-not-exist");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Command10_Click(f), "");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot write the report file " + folder + "/does-not-exist/"), std::string::npos) << err;
  EXPECT_EQ(screen.clipboardText().rfind("BENCHMARK: DIRECT DRAWING TO VISIBLE DEVICE\r\n\r\nText: not tested", 0), 0u);
  ::rmdir(folder.c_str());
}

}  // namespace

namespace {

// An installed program cannot write next to itself: the report goes to the
// user's data folder, and standard error says where.
TEST_F(CompleteRunTest, AProgramFolderThatCannotTakeTheReportFallsBackToTheDataFolder) {
  const std::string data = folder + "-data";
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  ASSERT_EQ(::rmdir(folder.c_str()), 0);  // the program's folder is gone: not writable, even for root
  frmMainForm& f = frmMain();
  ::testing::internal::CaptureStderr();
  const std::string path = Command10_Click(f);
  const std::string err = ::testing::internal::GetCapturedStderr();
  if (old != nullptr) ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else ::unsetenv("XDG_DATA_HOME");
  const std::string reports = data + "/vex2d/reports/";
  ASSERT_EQ(path.rfind(reports, 0), 0u) << path;
  EXPECT_NE(err.find("the report is saved in " + data + "/vex2d/reports"), std::string::npos) << err;
  EXPECT_NE(readFile(path).find("Score: "), std::string::npos);
  std::remove(path.c_str());
  ::rmdir(reports.c_str());
  ::rmdir((data + "/vex2d").c_str());
  ::rmdir(data.c_str());
  ::mkdir(folder.c_str(), 0755);  // for TearDown's tidy-up
}

}  // namespace

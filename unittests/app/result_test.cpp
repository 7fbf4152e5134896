#include "result/result.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace results {
namespace {

TEST(Summary, SpreadOfRates) {
  const struct {
    std::vector<double> rates;
    double median, mad, min, max;
    std::optional<double> cv;
    bool noisy;
  } cases[] = {
      {{}, 0, 0, 0, 0, std::nullopt, false},
      {{100}, 100, 0, 100, 100, std::nullopt, false},
      // Two samples have a cv but cannot be called noisy.
      {{100, 200}, 150, 50, 100, 200, std::sqrt(5000.0) / 150, false},
      // Odd count: the middle one; MAD of |dev| = {10, 0, 20} is 10.
      {{110, 100, 80}, 100, 10, 80, 110, std::sqrt(700.0 / 3) / (290.0 / 3), true},
      // Even count: the mean of the middle two.
      {{4, 1, 3, 2}, 2.5, 1, 1, 4, std::sqrt(5.0 / 3) / 2.5, true},
      // Quiet: cv of about 1 % with three samples.
      {{1000, 1010, 990}, 1000, 10, 990, 1010, 0.01, false},
  };
  for (const auto& c : cases) {
    const Summary s = summarize(c.rates);
    EXPECT_DOUBLE_EQ(s.median, c.median);
    EXPECT_DOUBLE_EQ(s.mad, c.mad);
    EXPECT_EQ(s.min, c.min);
    EXPECT_EQ(s.max, c.max);
    ASSERT_EQ(s.cv.has_value(), c.cv.has_value()) << c.rates.size();
    if (c.cv) {
      EXPECT_NEAR(*s.cv, *c.cv, 1e-12);
    }
    EXPECT_EQ(s.noisy, c.noisy) << c.rates.size();
  }
}

TEST(Summary, NoisyAboveFivePercentOnly) {
  // Sample standard deviation 5 (mean 100): exactly 5 % is not noisy.
  EXPECT_FALSE(summarize({95, 100, 105}).noisy);
  EXPECT_TRUE(summarize({94.9, 100, 105.1}).noisy);
}

TEST(Points, TheRateIsRoundedAsTheSlotStoresIt) {
  EXPECT_DOUBLE_EQ(pointsOf(29000, 29000), 100);
  EXPECT_DOUBLE_EQ(pointsOf(670.5, 335), 200);    // ties to even: 670
  EXPECT_DOUBLE_EQ(pointsOf(671.5, 335), (100.0 / 335) * 672);
  EXPECT_DOUBLE_EQ(pointsOf(-2500, 2500), -100);  // a negative rate is stored too
  EXPECT_EQ(pointsOf(3e9, 2500), 0);              // beyond a 32-bit slot: not stored
  EXPECT_EQ(pointsOf(INFINITY, 2500), 0);
}

TestResult testWith(const char* name, double reference, std::vector<double> rates) {
  TestResult t;
  t.name = name;
  t.unit = "lines/sec";
  t.numerator = 150000;
  t.primitives = 150000;
  t.reference = reference;
  for (double r : rates) t.samples.push_back(Sample{150000 / r, r, pointsOf(r, reference), "", {}, {}});
  return t;
}

TEST(Score, OfMediansIsTheMeanOfThePointsOfTheMedianRates) {
  // The references and rates at twice them give 200 whatever the noise
  // around the medians.
  const double refs[] = {29000, 38032, 2500, 6300, 5000, 8000, 335, 22000};
  std::vector<TestResult> tests;
  for (double r : refs) tests.push_back(testWith("t", r, {2 * r - 7, 2 * r, 2 * r + 1000}));
  EXPECT_DOUBLE_EQ(scoreOfMedians(tests), 200);
  // Not the last sample, not the mean: the medians.
  tests[0] = testWith("t", 29000, {29000, 1, 58000 * 10});
  EXPECT_DOUBLE_EQ(scoreOfMedians(tests), (100 + 7 * 200) / 8.0);
}

Result sampleResult() {
  Result r;
  r.program = Program{"vex2d-run", "2.0.0", "v2-3-gabc", "Release", "gcc 12"};
  r.context.date = "2026-12-11T16:03:07+01:00";
  r.context.host = "box";
  r.context.cores = 2;
  r.context.memoryBytes = 25275977728;
  r.context.loadAtStart = LoadAverage{0.5, 0.25, 0.125};
  r.context.loadAtEnd = LoadAverage{1.75, 0.5, 0.25};
  r.context.simd = "avx2";
  r.context.display = "headless";
  r.context.screenWidth = 1024;
  r.context.screenHeight = 768;
  r.context.fontRequested = "Arial";
  r.context.fontFile = "/fonts/LiberationSans-Regular.ttf";
  r.context.libraries = {{"freetype", "2.12.1"}, {"sdl", "2.26.5"}};
  r.run = RunInfo{"buffered", {"line", "spline"}, 3, 1, true};
  TestResult line = testWith("line", 38032, {3689321.123456789, 0.1 + 0.2, 1e-300});
  line.samples[0].label = "3689321 lines/sec";
  line.samples[1].calls = std::map<std::string, std::uint64_t>{{"LineTo", 150000}};
  line.samples[1].randomDraws = 600002;
  line.surfaceSha1 = "84983e441c3bd26ebaae4aa1f95129e5e54670f1";
  TestResult spline = testWith("spline", 22000, {});  // nothing recorded yet
  spline.unit = "splines/sec";
  r.tests = {line, spline};
  r.score = Score{4675.123456789012, 3990};
  return r;
}

TEST(ResultJson, ReadsBackExactly) {
  const Result r = sampleResult();
  const std::string text = toJson(r).dump(2);
  const Result back = readResult(text);
  // Written again, it is the same text: nothing was lost or rounded.
  EXPECT_EQ(toJson(back).dump(2), text);
  EXPECT_EQ(back.tests[0].samples[0].rate, 3689321.123456789);
  EXPECT_EQ(back.tests[0].samples[1].rate, 0.1 + 0.2);
  EXPECT_EQ(back.tests[0].samples[2].rate, 1e-300);
  EXPECT_EQ(back.tests[0].samples[1].calls->at("LineTo"), 150000u);
  EXPECT_FALSE(back.tests[0].samples[0].calls.has_value());
  EXPECT_EQ(back.score->lastRun, 3990);
  EXPECT_EQ(back.context.memoryBytes, 25275977728);
}

TEST(ResultJson, NumbersAreWrittenExactlyAndCountsAsIntegers) {
  const std::string text = toJson(sampleResult()).dump();
  EXPECT_NE(text.find("\"rate\":3689321.123456789"), std::string::npos) << text;
  EXPECT_NE(text.find("\"rate\":0.30000000000000004"), std::string::npos);
  EXPECT_NE(text.find("\"numerator\":150000,"), std::string::npos);
  EXPECT_NE(text.find("\"reference\":38032,"), std::string::npos);
  EXPECT_NE(text.find("\"memory_bytes\":25275977728"), std::string::npos);
  // A test without samples has no spread and no picture yet.
  EXPECT_NE(text.find("\"cv\":null,\"noisy\":false,\"surface_sha1\":null"), std::string::npos);
  // The schema's name comes first, so a reader sees at once what it holds.
  EXPECT_EQ(text.rfind("{\"schema\":\"vex2d-result/1\"", 0), 0u);
}

TEST(ResultJson, AnIncompleteRunHasNoScore) {
  Result r = sampleResult();
  r.score.reset();
  r.run.complete = false;
  const nlohmann::ordered_json j = toJson(r);
  EXPECT_FALSE(j.contains("score"));
  EXPECT_FALSE(readResult(j.dump()).score.has_value());
}

TEST(ResultJson, RefusesOtherDocuments) {
  nlohmann::ordered_json j = toJson(sampleResult());
  j["schema"] = "vex2d-result/2";
  EXPECT_THROW(fromJson(j), std::runtime_error);
  j = toJson(sampleResult());
  j["tests"][0].erase("unit");
  EXPECT_THROW(fromJson(j), nlohmann::json::exception);
  EXPECT_THROW(readResult("{\"schema\": "), nlohmann::json::exception);
}

TEST(Tables, OneRowPerTestWithTheSameNumbers) {
  Result r = sampleResult();
  r.tests[0].name = "line, \"quoted\"";  // a field that needs quoting in CSV
  const std::string csv = toCsv(r);
  std::istringstream lines(csv);
  std::string header, row1, row2;
  std::getline(lines, header);
  std::getline(lines, row1);
  std::getline(lines, row2);
  EXPECT_EQ(header, "name,unit,median,mad,min,max,points,cv\r");
  const Summary s = r.tests[0].summary();
  EXPECT_EQ(row1, "\"line, \"\"quoted\"\"\",lines/sec," + numberText(s.median) + "," + numberText(s.mad) + "," +
                      numberText(s.min) + "," + numberText(s.max) + "," +
                      numberText(pointsOf(s.median, 38032)) + "," + numberText(*s.cv) + "\r");
  EXPECT_EQ(row2, "spline,splines/sec,0.0,0.0,0.0,0.0,0.0,\r");

  const std::string md = toMarkdown(sampleResult());
  EXPECT_EQ(md.substr(0, md.find('\n')), "| name | unit | median | MAD | min | max | points | cv |");
  EXPECT_NE(md.find("\n| line | lines/sec | " + numberText(s.median) + " | "), std::string::npos) << md;
  EXPECT_NE(md.find("\n| spline | splines/sec | 0.0 | 0.0 | 0.0 | 0.0 | 0.0 |  |\n"), std::string::npos) << md;
}

}  // namespace
}  // namespace results

// The result of one vex2d-run: where and how it was measured, every sample of
// every test, the statistics over the samples and the scores. Written as the
// JSON document "vex2d-result/1" (described by docs/result-schema.json), and
// read back by the tools that compare results.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace results {

inline constexpr const char* kSchema = "vex2d-result/1";

struct Program {
  std::string name;
  std::string version;
  std::string revision;  // git describe of the build
  std::string buildType;
  std::string compiler;
};

struct LoadAverage {
  double one = 0, five = 0, fifteen = 0;
};

struct Context {
  std::string date;  // ISO 8601 with the offset from UTC
  std::string host;
  std::string os;
  std::string kernel;
  std::string cpu;
  int cores = 0;
  std::int64_t memoryBytes = 0;
  LoadAverage loadAtStart;
  LoadAverage loadAtEnd;
  std::string simd;     // the instruction set the engine's kernels use
  std::string display;  // "headless", "x11" or "wayland"
  int screenWidth = 0;
  int screenHeight = 0;
  std::string fontRequested;
  std::string fontFile;  // the file fontconfig gave for the requested face
  std::map<std::string, std::string> libraries;  // name -> version
};

struct RunInfo {
  std::string mode;  // "direct" or "buffered"
  std::vector<std::string> tests;  // the test names, in run order
  int repeat = 1;
  int warmup = 0;
  bool complete = false;  // false while running and when interrupted
};

// One recorded repetition of a test.
struct Sample {
  double elapsedS = 0;  // between the two timer readings
  double rate = 0;      // numerator / elapsedS
  double points = 0;    // what the rate earns towards the score
  std::string label;    // the result label's caption after this repetition (UTF-8)
  // With --stats: facade calls and random draws between the timer readings.
  std::optional<std::map<std::string, std::uint64_t>> calls;
  std::optional<std::uint64_t> randomDraws;
};

// The spread of a test's rates.
struct Summary {
  double median = 0;
  double mad = 0;  // median absolute deviation from the median, unscaled
  double min = 0;
  double max = 0;
  std::optional<double> cv;  // sample standard deviation / mean; needs two samples
  bool noisy = false;        // cv above kNoisyCv with at least kNoisyMinSamples samples
};

inline constexpr double kNoisyCv = 0.05;
inline constexpr std::size_t kNoisyMinSamples = 3;

// Zeros for no rates.
Summary summarize(const std::vector<double>& rates);

// Points of a rate as the score counts them: (100 / reference) times the
// rate rounded as the result slot stores it (to the nearest integer, ties to
// even). A rate that does not fit the slot earns nothing.
double pointsOf(double rate, double reference);

struct TestResult {
  std::string name;  // the runner's word: text, line, ...
  std::string unit;  // lines/sec, ...
  double numerator = 0;         // K
  std::int64_t primitives = 0;  // what the kernel draws in one run
  double reference = 0;         // the rate that earns 100 points
  std::vector<Sample> samples;
  std::string surfaceSha1;  // of the last recorded surface's pixel rows; "" when none

  std::vector<double> rates() const;
  Summary summary() const { return summarize(rates()); }
};

struct Score {
  double ofMedians = 0;  // the score formula applied to the median rates
  std::int64_t lastRun = 0;  // what the window showed after the last complete run
};

struct Result {
  std::string schema = kSchema;
  Program program;
  Context context;
  RunInfo run;
  std::vector<TestResult> tests;
  std::optional<Score> score;  // only for a complete run of all eight tests
};

// The mean of the points of the median rates of `tests` (any order), as the
// window's score is the mean of the points of its eight rates.
double scoreOfMedians(const std::vector<TestResult>& tests);

// Members keep the order of the schema, so the file reads from the top down.
nlohmann::ordered_json toJson(const Result& r);
// Throws nlohmann::json::exception when a required member is missing or has
// the wrong type (or the text is no JSON), and std::runtime_error for
// another schema.
Result fromJson(const nlohmann::ordered_json& j);
Result readResult(const std::string& text);

// One row per test: name, unit, median, MAD, min, max, points, cv.
std::string toCsv(const Result& r);
std::string toMarkdown(const Result& r);

// A number as the JSON writer writes it: the shortest text that reads back
// as the same double, integers without a fraction.
std::string numberText(double v);

}  // namespace results

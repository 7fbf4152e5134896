// Comparing result files: per test, the median and spread of each file, and
// for every file after the first its ratio to the first (the base) with an
// interval and a verdict; the context differences that make a comparison
// questionable; whether both sides drew the same pictures.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "compare/result_file.h"
#include "compare/significance.h"

namespace compare {

// Fewer samples than this on either side give no verdict.
constexpr std::size_t kMinSamples = 5;
constexpr double kSignificance = 0.05;

enum class Verdict { Base, Faster, Slower, NoChange, TooFewSamples, Missing };
enum class Pictures { Same, Differ, Unknown };

const char* verdictText(Verdict v);
const char* picturesText(Pictures p);

struct Cell {
  bool present = false;
  double median = 0;
  double mad = 0;
  std::size_t samples = 0;
  // For files after the first, when both sides have the test:
  std::optional<double> ratio;                  // median / base median
  std::optional<RatioInterval> interval;        // with enough samples
  std::optional<UTest> test;                    // with enough samples
  Verdict verdict = Verdict::Base;
  Pictures pictures = Pictures::Unknown;
};

struct Row {
  std::string name;     // the runner's word
  std::string caption;  // the button's caption
  std::vector<Cell> cells;  // one per file
};

struct ContextDifference {
  std::string what;                 // "mode", "screen", ...
  std::vector<std::string> values;  // one per file, "" when a file does not say
};

struct Comparison {
  std::vector<std::string> labels;  // a short name per file
  std::vector<ContextDifference> differences;
  std::vector<Row> rows;  // in the order of the main window's buttons
  std::vector<std::optional<double>> geometricMeans;  // per file; empty for the base
  std::vector<std::optional<double>> scoresOfMedians;
  std::vector<std::optional<double>> scoresLastRun;
  std::vector<bool> complete;
};

Comparison compareResults(const std::vector<ResultFile>& files);

// True when some test of some file is slower than the base with
// significance and by more than `percent` percent.
bool slowerThan(const Comparison& c, double percent);

}  // namespace compare

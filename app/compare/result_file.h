// Reading the result files that vex2d-run --json writes: the parts a
// comparison needs, checked for shape so that a foreign or damaged file is
// refused with one line instead of half-read.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace compare {

struct TestResult {
  std::string name;  // the runner's word: "text", "line", ...
  std::string unit;
  std::vector<double> rates;  // one per recorded sample
  double medianRate = 0;
  double madRate = 0;
  bool noisy = false;
  std::string surfaceSha1;  // empty when the file has none
};

struct ResultFile {
  std::string path;
  std::string schema;
  // What makes two runs comparable; each kept as the text the report shows.
  std::string mode, screen, display, fontFile, buildType, revision, simd, version;
  std::string host, cpu, date;
  bool complete = true;
  std::vector<TestResult> tests;
  std::optional<double> scoreOfMedians;
  std::optional<double> scoreLastRun;

  const TestResult* find(const std::string& name) const;
};

// Reads and checks one result file. Empty with *error set (one line, naming
// the file) when it cannot be read, is not JSON, or is not a Vex2D result of
// a schema version this program knows.
std::optional<ResultFile> readResultFile(const std::string& path, std::string* error);

// Parses the text of a result file; `path` only names it in messages.
std::optional<ResultFile> parseResultFile(const std::string& text, const std::string& path, std::string* error);

}  // namespace compare

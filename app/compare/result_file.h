// The result files that vex2d-compare reads: the result model of vex2d-run,
// with the file it came from, refused with one line when foreign or damaged.
#pragma once

#include <optional>
#include <string>

#include "result/result.h"

namespace compare {

struct ResultFile {
  std::string path;
  results::Result result;

  const results::TestResult* find(const std::string& name) const;
};

// Reads and checks one result file. Empty with *error set (one line, naming
// the file) when it cannot be read, is not JSON, or is not a Vex2D result of
// a schema version this program knows.
std::optional<ResultFile> readResultFile(const std::string& path, std::string* error);

// Parses the text of a result file; `path` only names it in messages.
std::optional<ResultFile> parseResultFile(const std::string& text, const std::string& path, std::string* error);

}  // namespace compare

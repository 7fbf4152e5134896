// The comparison as a bar chart drawn by the engine: per test, a bar of each
// file's ratio to the base with its interval, a line at 1.0, and the
// geometric mean.
#pragma once

#include <string>

#include "compare/comparison.h"

namespace compare {

// Writes the chart as a PNG; false when the file could not be written.
bool writeChart(const Comparison& c, const std::string& path);

}  // namespace compare

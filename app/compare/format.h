// The comparison as text (aligned columns), Markdown, CSV or JSON.
#pragma once

#include <string>

#include "compare/comparison.h"

namespace compare {

enum class Format { Text, Markdown, Csv, Json };

std::string formatComparison(const Comparison& c, Format format);

}  // namespace compare

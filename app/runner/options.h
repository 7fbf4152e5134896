// The runner's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/registry.h"

namespace runner {

// The exit statuses; an interrupted run ends with 128 + the signal's number
// (130 for SIGINT, 143 for SIGTERM).
inline constexpr int kExitOk = 0;
inline constexpr int kExitOutputFailed = 1;
inline constexpr int kExitUsage = 2;

// The eight tests as the registry lists them, in run order: the name on the
// command line and in the results, the button, the slot.
using TestInfo = drawtests::TestEntry;
inline constexpr const auto& kTests = drawtests::kTests;

enum class DisplayKind { Headless, Sdl };

struct Options {
  bool buffered = false;
  bool all = true;                      // the complete run through "Run complete benchmark"
  std::vector<const TestInfo*> tests;   // in run order; all eight for the complete run
  int width = 1024;
  int height = 768;
  int repeat = 1;
  int warmup = 0;
  std::optional<std::string> out;
  std::optional<std::string> json;
  std::optional<std::string> csv;
  std::optional<std::string> markdown;
  bool stats = false;
  DisplayKind display = DisplayKind::Headless;
};

enum class Action { Run, Help, Version, List, UsageError };

// Parses the arguments (--opt value and --opt=value); for UsageError a
// one-line reason is in *error.
Action parseOptions(int argc, char** argv, Options* o, std::string* error);

extern const char kUsage[];

}  // namespace runner

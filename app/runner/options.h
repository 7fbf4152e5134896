// The runner's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace runner {

// The exit statuses; an interrupted run ends with 128 + the signal's number
// (130 for SIGINT, 143 for SIGTERM).
inline constexpr int kExitOk = 0;
inline constexpr int kExitOutputFailed = 1;
inline constexpr int kExitUsage = 2;

struct TestInfo {
  const char* word;  // the name on the command line and in the results
  int button;        // Command1 .. Command8
  int slot;          // in lResult
};

// In run order, the order of the complete run.
inline constexpr TestInfo kTests[] = {{"text", 1, 1},      {"line", 2, 2},    {"spline", 8, 8}, {"polygon", 3, 3},
                                      {"rectangle", 4, 4}, {"ellipse", 5, 5}, {"blit", 6, 6},   {"stretch", 7, 7}};

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

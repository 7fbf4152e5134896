#include "runner/options.h"

#include <getopt.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace runner {

const char kUsage[] =
    "usage: vex2d-run [options]\n"
    "  --mode direct|buffered    drawing mode (default direct)\n"
    "  --test all|NAME[,NAME...] the complete run (default), or these tests in run order:\n"
    "                            text, line, spline, polygon, rectangle, ellipse, blit, stretch\n"
    "  --display headless|sdl    an in-memory screen (default) or the real display\n"
    "  --screen WxH              headless screen size (default 1024x768)\n"
    "  --repeat N                recorded repetitions (default 1)\n"
    "  --warmup N                unrecorded repetitions before them (default 0)\n"
    "  --out DIR                 the report file, a PNG of each test's last surface and\n"
    "                            overview.png (all pictures, rates, points and the score);\n"
    "                            DIR is created when missing\n"
    "  --json FILE               the result file (schema vex2d-result/1)\n"
    "  --csv FILE                one row per test, for spreadsheets\n"
    "  --markdown FILE           the same table in Markdown\n"
    "  --stats                   count facade calls and random draws between the timer readings\n"
    "  --list                    the tests with their units and reference rates\n"
    "  --version                 the program's version and revision\n"
    "  --help                    this text\n"
    "Exit status: 0 done, 1 an output could not be written, 2 usage error (also an\n"
    "unusable output path, or no display for --display sdl),\n"
    "130 or 143 interrupted by SIGINT or SIGTERM (what was measured is written).\n";

namespace {

bool parseInt(const std::string& s, int lo, int hi, int* out) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  const int v = std::stoi(s);
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool parseTests(const std::string& v, Options* o, std::string* error) {
  o->tests.clear();
  if (v == "all") {
    o->all = true;
    for (const TestInfo& t : kTests) o->tests.push_back(&t);
    return true;
  }
  o->all = false;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = v.find(',', start);
    const std::string word = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const TestInfo* t = drawtests::TestNamed(word);
    if (t == nullptr) {
      *error = word.empty() ? "--test has an empty name in " + v : "unknown test " + word;
      return false;
    }
    if (std::find(o->tests.begin(), o->tests.end(), t) != o->tests.end()) {
      *error = "test " + word + " is named twice";
      return false;
    }
    o->tests.push_back(t);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  // Run order, whatever order they were named in.
  std::sort(o->tests.begin(), o->tests.end(), [](const TestInfo* a, const TestInfo* b) { return a < b; });
  return true;
}

enum OptionId { kMode = 256, kTest, kDisplay, kScreen, kRepeat, kWarmup, kOut, kJson, kCsv, kMarkdown, kStats,
                kList, kVersion, kHelp };

const option kLongOptions[] = {
    {"mode", required_argument, nullptr, kMode},       {"test", required_argument, nullptr, kTest},
    {"display", required_argument, nullptr, kDisplay}, {"screen", required_argument, nullptr, kScreen},
    {"repeat", required_argument, nullptr, kRepeat},   {"warmup", required_argument, nullptr, kWarmup},
    {"out", required_argument, nullptr, kOut},         {"json", required_argument, nullptr, kJson},
    {"csv", required_argument, nullptr, kCsv},         {"markdown", required_argument, nullptr, kMarkdown},
    {"stats", no_argument, nullptr, kStats},           {"list", no_argument, nullptr, kList},
    {"version", no_argument, nullptr, kVersion},       {"help", no_argument, nullptr, kHelp},
    {nullptr, 0, nullptr, 0}};

// Output paths: an empty one would name the file system's root or the
// current folder by accident.
bool setPath(const char* name, const std::string& v, std::optional<std::string>* slot, std::string* error) {
  if (v.empty()) {
    *error = std::string("--") + name + " needs a non-empty path";
    return false;
  }
  *slot = v;
  return true;
}

}  // namespace

Action parseOptions(int argc, char** argv, Options* o, std::string* error) {
  parseTests("all", o, error);
  Action action = Action::Run;
  bool screenGiven = false;
  optind = 0;  // GNU getopt: start afresh (the tests parse many command lines)
  opterr = 0;  // our own messages
  while (true) {
    const int before = optind;
    const int id = getopt_long(argc, argv, "h", kLongOptions, nullptr);
    if (id == -1) break;
    const std::string v = optarg != nullptr ? optarg : "";
    switch (id) {
      case kMode:
        if (v != "direct" && v != "buffered") {
          *error = "--mode must be direct or buffered, not " + v;
          return Action::UsageError;
        }
        o->buffered = v == "buffered";
        break;
      case kTest:
        if (!parseTests(v, o, error)) return Action::UsageError;
        break;
      case kDisplay:
        if (v != "headless" && v != "sdl") {
          *error = "--display must be headless or sdl, not " + v;
          return Action::UsageError;
        }
        o->display = v == "sdl" ? DisplayKind::Sdl : DisplayKind::Headless;
        break;
      case kScreen: {
        const std::size_t x = v.find('x');
        if (x == std::string::npos || !parseInt(v.substr(0, x), 64, 16384, &o->width) ||
            !parseInt(v.substr(x + 1), 64, 16384, &o->height)) {
          *error = "--screen must be WxH with sizes from 64 to 16384, not " + v;
          return Action::UsageError;
        }
        screenGiven = true;
        break;
      }
      case kRepeat:
        if (!parseInt(v, 1, 1000, &o->repeat)) {
          *error = "--repeat must be a number from 1 to 1000, not " + v;
          return Action::UsageError;
        }
        break;
      case kWarmup:
        if (!parseInt(v, 0, 1000, &o->warmup)) {
          *error = "--warmup must be a number from 0 to 1000, not " + v;
          return Action::UsageError;
        }
        break;
      case kOut:
      case kJson:
      case kCsv:
      case kMarkdown: {
        std::optional<std::string>* const slots[] = {&o->out, &o->json, &o->csv, &o->markdown};
        const char* const names[] = {"out", "json", "csv", "markdown"};
        const int k = id - kOut;
        if (!setPath(names[k], v, slots[k], error)) return Action::UsageError;
        break;
      }
      case kStats:
        o->stats = true;
        break;
      case kList:
        if (action == Action::Run) action = Action::List;
        break;
      case kVersion:
        if (action == Action::Run) action = Action::Version;
        break;
      case 'h':
      case kHelp:
        action = Action::Help;
        break;
      case ':':
        *error = std::string(argv[optind - 1]) + " needs a value";
        return Action::UsageError;
      default: {
        // getopt leaves the offending word just before optind, or at the
        // position it started from when it stopped inside a word.
        const int at = optind > before ? optind - 1 : before;
        const std::string word = at < argc ? argv[at] : "?";
        const bool needsValue = std::any_of(std::begin(kLongOptions), std::end(kLongOptions) - 1, [&](const option& l) {
          return l.has_arg == required_argument && word == std::string("--") + l.name;
        });
        *error = needsValue ? word + " needs a value" : "unknown option " + word;
        return Action::UsageError;
      }
    }
  }
  if (optind < argc) {
    *error = std::string("unexpected argument ") + argv[optind];
    return Action::UsageError;
  }
  if (screenGiven && o->display == DisplayKind::Sdl) {
    *error = "--screen sets the headless screen; with --display sdl the real screen's size is used";
    return Action::UsageError;
  }
  // Two outputs under one name would overwrite each other.
  const std::optional<std::string>* files[] = {&o->json, &o->csv, &o->markdown};
  for (std::size_t i = 0; i < std::size(files); ++i)
    for (std::size_t k = i + 1; k < std::size(files); ++k)
      if (*files[i] && *files[k] && **files[i] == **files[k]) {
        *error = "two outputs are both " + **files[i];
        return Action::UsageError;
      }
  return action;
}

}  // namespace runner

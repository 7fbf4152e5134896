// vex2d-compare: compares result files of vex2d-run --json. Per test the
// median rate and its spread of each file, and for each file after the
// first its ratio to the first with an interval and a verdict from the
// Mann-Whitney U test; before the table, the context differences that make
// the comparison questionable.
#include <getopt.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "compare/chart.h"
#include "compare/comparison.h"
#include "compare/format.h"
#include "compare/result_file.h"
#include "version.h"

namespace {

const char kUsage[] =
    "Usage: vex2d-compare [OPTION]... BASE.json OTHER.json [MORE.json]...\n"
    "Compare result files written by vex2d-run --json: per test the median rate and\n"
    "its spread (MAD) of each file, and for every file after the first its ratio to\n"
    "the first with a 95% interval and a Mann-Whitney U test (5 or more samples on\n"
    "both sides; fewer give no verdict). Context differences (mode, screen, display,\n"
    "font file, build type, program revision, SIMD level) are listed first.\n"
    "\n"
    "  --format=FORMAT    text (aligned columns, the default), markdown, csv or json\n"
    "  --threshold=PCT    exit with status 1 when a test is slower than the base by\n"
    "                     more than PCT percent with significance\n"
    "  --chart=FILE.png   also draw the ratios as a bar chart\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Exit status: 0 compared (and no regression past the threshold), 1 a test is\n"
    "slower than the threshold allows or the chart could not be written, 2 a usage\n"
    "error or an unreadable or foreign file.\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "vex2d-compare: %s\nTry 'vex2d-compare --help'.\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  enum { kFormat = 1, kThreshold, kChart, kHelp, kVersion };
  static const option kOptions[] = {{"format", required_argument, nullptr, kFormat},
                                    {"threshold", required_argument, nullptr, kThreshold},
                                    {"chart", required_argument, nullptr, kChart},
                                    {"help", no_argument, nullptr, kHelp},
                                    {"version", no_argument, nullptr, kVersion},
                                    {nullptr, 0, nullptr, 0}};
  compare::Format format = compare::Format::Text;
  double threshold = -1;
  std::string chart;
  opterr = 0;
  int opt;
  while ((opt = getopt_long(argc, argv, "", kOptions, nullptr)) != -1) {
    const std::string value = optarg != nullptr ? optarg : "";
    switch (opt) {
      case kFormat:
        if (value == "text") format = compare::Format::Text;
        else if (value == "markdown") format = compare::Format::Markdown;
        else if (value == "csv") format = compare::Format::Csv;
        else if (value == "json") format = compare::Format::Json;
        else return usageError("--format must be text, markdown, csv or json, not '" + value + "'");
        break;
      case kThreshold: {
        char* end = nullptr;
        errno = 0;
        threshold = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || errno != 0 || !std::isfinite(threshold) || threshold < 0 ||
            threshold >= 100)
          return usageError("--threshold must be a percentage from 0 to below 100, not '" + value + "'");
        break;
      }
      case kChart:
        if (value.empty()) return usageError("--chart needs a file name");
        chart = value;
        break;
      case kHelp:
        std::fputs(kUsage, stdout);
        return 0;
      case kVersion:
        std::printf("%s\n", app::versionLine("vex2d-compare").c_str());
        return 0;
      default:
        if (optopt != 0) return usageError(std::string("option '") + argv[optind - 1] + "' needs a value or takes none");
        return usageError(std::string("unknown option '") + argv[optind - 1] + "'");
    }
  }
  if (argc - optind < 2) return usageError("give at least two result files, the base first");

  std::vector<compare::ResultFile> files;
  for (int i = optind; i < argc; ++i) {
    std::string error;
    std::optional<compare::ResultFile> f = compare::readResultFile(argv[i], &error);
    if (!f) {
      std::fprintf(stderr, "vex2d-compare: %s\n", error.c_str());
      return 2;
    }
    files.push_back(std::move(*f));
  }

  const compare::Comparison c = compare::compareResults(files);
  const std::string text = compare::formatComparison(c, format);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "vex2d-compare: cannot write the comparison to standard output\n");
    return 1;
  }
  int status = 0;
  if (!chart.empty() && !compare::writeChart(c, chart)) {
    std::fprintf(stderr, "vex2d-compare: cannot write the chart %s\n", chart.c_str());
    status = 1;
  }
  if (threshold >= 0 && compare::slowerThan(c, threshold)) {
    std::fprintf(stderr, "vex2d-compare: a test is slower than the base by more than %g%% with significance\n",
                 threshold);
    status = 1;
  }
  return status;
}

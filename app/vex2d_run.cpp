// vex2d-run: the program on a headless display, driven as a user would drive
// it (mode through the option buttons, a click on a test's button or on
// "Run complete benchmark", then "Copy to clipboard"), for servers, CI and
// comparisons.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/display/png.h"
#include "platform/forms/forms.h"
#include "shell/complete_run.h"
#include "shell/frm_main.h"
#include "shell/frm_test.h"
#include "shell/program.h"
#include "tests/handlers.h"
#include "tests/protocol.h"

#ifndef VEX2D_BUILD_TYPE
#define VEX2D_BUILD_TYPE "unknown"
#endif

namespace {

struct TestInfo {
  const char* word;  // the option's word
  int button;        // Command1 .. Command8
  int slot;
};

// In run order.
constexpr TestInfo kTests[] = {{"text", 1, 1},      {"line", 2, 2},    {"spline", 8, 8}, {"polygon", 3, 3},
                               {"rectangle", 4, 4}, {"ellipse", 5, 5}, {"blit", 6, 6},   {"stretch", 7, 7}};

struct Options {
  bool buffered = false;
  std::string test = "all";
  int width = 1024;
  int height = 768;
  int repeat = 1;
  std::optional<std::string> out;
  std::optional<std::string> json;
  bool stats = false;
};

const char kUsage[] =
    "usage: vex2d-run [options]\n"
    "  --mode direct|buffered   drawing mode (default direct)\n"
    "  --test NAME              text, line, spline, polygon, rectangle, ellipse, blit, stretch\n"
    "                           or all for the complete run (default all)\n"
    "  --screen WxH             headless screen size (default 1024x768)\n"
    "  --repeat N               run N times; prints the median and min-max of each rate\n"
    "  --out DIR                write the report file and a PNG of each test's final surface\n"
    "  --json FILE              write the results as one JSON object\n"
    "  --stats                  count facade calls and random draws between the timer readings\n"
    "  --help                   this text\n";

bool parseInt(const std::string& s, int lo, int hi, int* out) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  const int v = std::stoi(s);
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

// Returns 0 to go on, 1 for --help, 2 for a usage error (with *error set).
int parse(int argc, char** argv, Options* o, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") return 1;
    if (a == "--stats") {
      o->stats = true;
      continue;
    }
    const bool takesValue = a == "--mode" || a == "--test" || a == "--screen" || a == "--repeat" ||
                            a == "--out" || a == "--json";
    if (!takesValue) {
      *error = "unknown option " + a;
      return 2;
    }
    if (i + 1 >= argc) {
      *error = a + " needs a value";
      return 2;
    }
    const std::string v = argv[++i];
    if (a == "--mode") {
      if (v != "direct" && v != "buffered") {
        *error = "--mode must be direct or buffered, not " + v;
        return 2;
      }
      o->buffered = v == "buffered";
    } else if (a == "--test") {
      const bool known = v == "all" || std::any_of(std::begin(kTests), std::end(kTests),
                                                   [&v](const TestInfo& t) { return v == t.word; });
      if (!known) {
        *error = "unknown test " + v;
        return 2;
      }
      o->test = v;
    } else if (a == "--screen") {
      const std::size_t x = v.find('x');
      if (x == std::string::npos || !parseInt(v.substr(0, x), 64, 16384, &o->width) ||
          !parseInt(v.substr(x + 1), 64, 16384, &o->height)) {
        *error = "--screen must be WxH with sizes from 64 to 16384, not " + v;
        return 2;
      }
    } else if (a == "--repeat") {
      if (!parseInt(v, 1, 1000, &o->repeat)) {
        *error = "--repeat must be a number from 1 to 1000, not " + v;
        return 2;
      }
    } else if (a == "--out") {
      o->out = v;
    } else {
      o->json = v;
    }
  }
  return 0;
}

std::string cpuName() {
  std::ifstream f("/proc/cpuinfo");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("model name", 0) == 0) {
      const std::size_t c = line.find(':');
      if (c != std::string::npos) return line.substr(c + 2);
    }
  return "unknown";
}

std::string jsonString(const std::string& s) {
  // Captions are Windows-1252; JSON wants UTF-8.
  const std::string u = forms::windows1252ToUtf8(s);
  std::string out = "\"";
  for (unsigned char c : u) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string number(double v) {
  if (!std::isfinite(v)) return "null";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct TestResult {
  const TestInfo* info;
  std::vector<double> rates;
  std::string label;
  drawtests::KernelWindow window;
};

// A click at the centre of a control, on the headless screen.
void clickOn(display::HeadlessDisplay& screen, shell::frmMainForm& f, const forms::Control& c) {
  const display::Rect w = f.window()->clientRect();
  const display::Rect r = c.pixelRect();
  screen.click(w.x + r.x + r.width / 2, w.y + r.y + r.height / 2);
  forms::DoEvents();
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string error;
  const int parsed = parse(argc, argv, &o, &error);
  if (parsed == 1) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (parsed == 2) {
    std::fprintf(stderr, "vex2d-run: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (const std::string missing = gdi::missingFontReason(); !missing.empty()) {
    std::fprintf(stderr, "vex2d-run: %s\n", missing.c_str());
    return 2;
  }

  display::HeadlessDisplay screen(o.width, o.height);
  forms::RealClock clock;
  forms::startRuntime(screen, clock, o.out.value_or(""));
  shell::setReportFolder(o.out ? std::optional<std::string>(*o.out) : std::nullopt);
  shell::installHandlers();
  shell::showMainWindow();
  forms::DoEvents();
  shell::frmMainForm& f = shell::frmMain();

  std::vector<const TestInfo*> selected;
  for (const TestInfo& t : kTests)
    if (o.test == "all" || o.test == t.word) selected.push_back(&t);
  std::vector<TestResult> results;
  for (const TestInfo* t : selected) results.push_back(TestResult{t, {}, {}, {}});

  // Progress on standard error, and a picture of each test's last surface.
  int repetition = 0;
  const TestInfo* running = nullptr;
  bool pictured = false;
  for (const TestInfo* t : selected) {
    auto original = f.testHandlers[static_cast<std::size_t>(t->button)];
    f.testHandlers[static_cast<std::size_t>(t->button)] = [&, t, original] {
      std::fprintf(stderr, "vex2d-run: repetition %d of %d: %s\n", repetition, o.repeat, t->word);
      running = t;
      pictured = false;
      original();
    };
  }
  f.onTestEnd = [&] {
    if (!o.out || running == nullptr || pictured || repetition != o.repeat) return;
    pictured = true;
    const std::string png = *o.out + "/" + running->word + ".png";
    if (!display::writePng(png, shell::frmTest().backBuffer()))
      std::fprintf(stderr, "vex2d-run: cannot write %s\n", png.c_str());
  };

  // The mode, as a user picks it.
  clickOn(screen, f, f.Option1(o.buffered ? 1 : 0));
  if (f.lMode != (o.buffered ? 1 : 0)) {
    std::fprintf(stderr, "vex2d-run: the mode button did not take\n");
    return 1;
  }
  for (repetition = 1; repetition <= o.repeat; ++repetition) {
    if (o.test == "all")
      clickOn(screen, f, f.CmdTest());
    else
      clickOn(screen, f, f.Command(selected.front()->button));
    for (TestResult& r : results) {
      const drawtests::KernelWindow& w = drawtests::LastKernelWindow(r.info->slot);
      const double k = drawtests::TestRowOfButton(r.info->button).numerator;
      r.rates.push_back(w.measured && w.elapsed() > 0 ? k / w.elapsed() : 0.0);
      r.label = f.Label(r.info->button).Caption();
      r.window = w;
    }
  }

  // The report: what "Copy to clipboard" puts on the clipboard. Before the
  // first complete run the button is disabled; the same text is then read
  // from the window.
  std::string report;
  if (f.Command(10).Enabled()) {
    clickOn(screen, f, f.Command(10));
    report = screen.clipboardText();
  } else {
    report = forms::windows1252ToUtf8(shell::ReportText(f));
  }
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fputs("\n", stdout);

  if (o.repeat > 1 || o.stats) {
    std::printf("\n%-10s %12s %12s %12s\n", "test", "median", "min", "max");
    for (const TestResult& r : results) {
      const auto [lo, hi] = std::minmax_element(r.rates.begin(), r.rates.end());
      std::printf("%-10s %12.0f %12.0f %12.0f\n", r.info->word, median(r.rates), *lo, *hi);
    }
  }
  if (o.stats) {
    for (const TestResult& r : results) {
      std::printf("\n%s: %llu random draws between the timer readings\n", r.info->word,
                  static_cast<unsigned long long>(r.window.randomDraws()));
      for (std::size_t i = 0; i < gdi::kFnCount; ++i) {
        const auto fn = static_cast<gdi::Fn>(i);
        if (r.window.calls(fn) != 0)
          std::printf("  %-22s %llu\n", std::string(gdi::fnName(fn)).c_str(),
                      static_cast<unsigned long long>(r.window.calls(fn)));
      }
    }
  }

  if (o.json) {
    std::ostringstream j;
    j << "{\"mode\": " << (o.buffered ? "\"buffered\"" : "\"direct\"") << ", \"screen\": {\"width\": " << o.width
      << ", \"height\": " << o.height << "}";
    if (o.test == "all") {
      // The score as the window shows it, as a number.
      const std::string score = f.Label91().Caption();
      const bool digits = !score.empty() && score.find_first_not_of("-0123456789") == std::string::npos;
      j << ", \"score\": " << (digits ? score : std::string("null"));
    }
    j << ", \"cpu\": " << jsonString(cpuName()) << ", \"build_type\": " << jsonString(VEX2D_BUILD_TYPE)
      << ", \"tests\": [";
    for (std::size_t n = 0; n < results.size(); ++n) {
      const TestResult& r = results[n];
      j << (n ? ", " : "") << "{\"name\": \"" << r.info->word << "\", \"rate\": " << number(median(r.rates))
        << ", \"rates\": [";
      for (std::size_t k = 0; k < r.rates.size(); ++k) j << (k ? ", " : "") << number(r.rates[k]);
      j << "], \"label\": " << jsonString(r.label);
      if (o.stats) {
        j << ", \"calls\": {";
        bool first = true;
        for (std::size_t i = 0; i < gdi::kFnCount; ++i) {
          const auto fn = static_cast<gdi::Fn>(i);
          if (r.window.calls(fn) == 0) continue;
          j << (first ? "" : ", ") << "\"" << gdi::fnName(fn) << "\": " << r.window.calls(fn);
          first = false;
        }
        j << "}, \"random_draws\": " << r.window.randomDraws();
      }
      j << "}";
    }
    j << "]}\n";
    std::ofstream file(*o.json, std::ios::binary | std::ios::trunc);
    file << j.str();
    if (!file.good()) {
      std::fprintf(stderr, "vex2d-run: cannot write %s\n", o.json->c_str());
      forms::stopRuntime();
      return 1;
    }
  }
  forms::stopRuntime();
  return 0;
}

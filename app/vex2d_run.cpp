// vex2d-run: the program driven as a user would drive it (mode through the
// option buttons, a click on a test's button or on "Run complete benchmark",
// then "Copy to clipboard"), on a headless display or on the real one, for
// servers, CI and comparisons. It writes what it measured after every test,
// so an interruption or a crash never loses finished work.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "charts/overview.h"
#include "platform/display/headless.h"
#include "platform/display/png.h"
#include "platform/forms/forms.h"
#include "result/result.h"
#include "runner/context.h"
#include "runner/driven_display.h"
#include "runner/options.h"
#include "runner/output_file.h"
#include "runner/sha1.h"
#include "shell/complete_run.h"
#include "shell/frm_main.h"
#include "shell/frm_test.h"
#include "shell/program.h"
#include "tests/handlers.h"
#include "tests/kernels.h"
#include "tests/protocol.h"

namespace {

using runner::Options;
using runner::TestInfo;

// ---- interruption -----------------------------------------------------------

// The first SIGINT or SIGTERM asks the run to end after the test in
// progress; a second one ends the process at once (the files written after
// the last finished test stay as they are).
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void onStopSignal(int signo) {
  if (g_stopSignal != 0) {
    runner::removeTemporaryInProgress();
    _exit(128 + signo);
  }
  g_stopSignal = signo;
}

// Installed before any display is opened, so that SDL keeps its hands off
// these two signals.
void installStopHandlers() {
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

// ---- small helpers ------------------------------------------------------------

void say(const std::string& line) { std::fprintf(stderr, "vex2d-run: %s\n", line.c_str()); }

std::string trimmed(const char* s) {
  std::string v = s;
  v.erase(0, v.find_first_not_of(' '));
  return v;
}

// Pads UTF-8 text to `width` characters (the é of a caption is two bytes).
std::string padded(const std::string& s, std::size_t width) {
  std::size_t chars = 0;
  for (unsigned char c : s) chars += (c & 0xC0) != 0x80;
  return chars >= width ? s : s + std::string(width - chars, ' ');
}

std::string fixed(double v, int decimals = 0) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// Digits (with an optional minus) as a number, else nullopt.
std::optional<std::int64_t> wholeNumber(const std::string& s) {
  if (s.empty() || s.size() > 18 || s.find_first_not_of("-0123456789") != std::string::npos ||
      s.find('-', 1) != std::string::npos || s == "-")
    return std::nullopt;
  return std::stoll(s);
}

// ---- outputs ------------------------------------------------------------------

struct Outputs {
  const Options& o;
  std::string failure;  // the first write that failed

  // Writes the result file and the tables. Targets that are not regular
  // files (a pipe, a terminal) can only be written once, at the end.
  bool write(const results::Result& r, bool final) {
    const struct {
      const std::optional<std::string>& path;
      std::string (*text)(const results::Result&);
    } files[] = {
        {o.json, [](const results::Result& x) { return results::toJson(x).dump(2) + "\n"; }},
        {o.csv, results::toCsv},
        {o.markdown, results::toMarkdown},
    };
    for (const auto& f : files) {
      if (!f.path || (!final && runner::isSpecialFile(*f.path))) continue;
      std::string why;
      if (!runner::writeFileAtomically(*f.path, f.text(r), &why)) {
        if (failure.empty()) failure = why;
        return false;
      }
    }
    return true;
  }
};

// Every output path is usable before the first test runs.
bool checkOutputs(const Options& o, std::string* why) {
  if (o.out && !runner::prepareOutputFolder(*o.out, why)) return false;
  for (const auto* p : {&o.json, &o.csv, &o.markdown})
    if (*p && !runner::checkOutputFile(**p, why)) return false;
  return true;
}

// ---- the run ------------------------------------------------------------------

struct Driver {
  display::HeadlessDisplay* headless = nullptr;
  runner::DrivenDisplay* driven = nullptr;

  // A click at the centre of a control, as the user would give it.
  void click(shell::frmMainForm& f, const forms::Control& c) {
    const display::Rect w = f.window()->clientRect();
    const display::Rect r = c.pixelRect();
    if (headless != nullptr)
      headless->click(w.x + r.x + r.width / 2, w.y + r.y + r.height / 2);
    else
      driven->click(f.window()->id(), r.x + r.width / 2, r.y + r.height / 2);
    forms::DoEvents();
  }
};

void printList() {
  std::printf("%-10s %-16s %s\n", "test", "unit", "reference");
  for (const TestInfo& t : runner::kTests) {
    const drawtests::TestRow& row = drawtests::TestRowOfButton(t.button);
    std::printf("%-10s %-16s %.0f\n", t.name, trimmed(row.unit).c_str(), t.referenceRate);
  }
}

// The summary after the report: per test in button order, with the button's
// caption, the spread of its rates and the points of the median.
void printSummary(shell::frmMainForm& f, const Options& o, const results::Result& r) {
  std::printf("\n%s %12s %10s %12s %12s %8s  %s\n", padded("test", 16).c_str(), "median", "MAD", "min", "max",
              "points", "cv");
  std::vector<std::string> noisy;
  for (int button = 1; button <= 8; ++button) {
    const auto it = std::find_if(r.tests.begin(), r.tests.end(), [&](const results::TestResult& t) {
      return std::any_of(o.tests.begin(), o.tests.end(),
                         [&](const TestInfo* i) { return i->button == button && t.name == i->name; });
    });
    if (it == r.tests.end() || it->samples.empty()) continue;
    const results::Summary s = it->summary();
    const std::string caption = forms::windows1252ToUtf8(f.Command(button).Caption());
    std::printf("%s %12s %10s %12s %12s %8s  %s%s\n", padded(caption, 16).c_str(), fixed(s.median).c_str(),
                fixed(s.mad).c_str(), fixed(s.min).c_str(), fixed(s.max).c_str(),
                fixed(results::pointsOf(s.median, it->reference), 1).c_str(),
                s.cv ? (fixed(*s.cv * 100, 1) + " %").c_str() : "-", s.noisy ? "  noisy" : "");
    if (s.noisy) noisy.push_back(caption);
  }
  if (r.score) {
    std::printf("\nScore of the medians: %s\n", fixed(r.score->ofMedians, 1).c_str());
    std::printf("Score of the last run (as the window shows it): %lld\n",
                static_cast<long long>(r.score->lastRun));
  } else {
    std::printf("\nNo score: %s\n", r.run.complete ? "not a complete run of all eight tests"
                                                    : "the run was not completed");
  }
  const int samples = r.run.complete ? r.run.repeat : -1;
  if (samples > 1)
    std::printf("Samples: %d per test%s\n", samples,
                r.run.warmup > 0 ? (" after " + std::to_string(r.run.warmup) + " unrecorded warm-up repetition" +
                                    (r.run.warmup > 1 ? "s" : ""))
                                       .c_str()
                                 : ", the first of them cold (no --warmup)");
  const results::LoadAverage& load = r.context.loadAtStart;
  if (load.one > r.context.cores / 2.0)
    std::printf("Busy: the load average was %.2f on %d cores at the start\n", load.one, r.context.cores);
  if (!noisy.empty()) {
    std::string list;
    for (const std::string& n : noisy) list += (list.empty() ? "" : ", ") + n;
    std::printf("Noisy (coefficient of variation above %.0f %%): %s\n", results::kNoisyCv * 100, list.c_str());
  }
}

void printStats(const std::vector<results::TestResult>& tests) {
  for (const results::TestResult& t : tests) {
    if (t.samples.empty() || !t.samples.back().calls) continue;
    const results::Sample& s = t.samples.back();
    std::printf("\n%s: %llu random draws between the timer readings\n", t.name.c_str(),
                static_cast<unsigned long long>(s.randomDraws.value_or(0)));
    for (const auto& [name, count] : *s.calls)
      std::printf("  %-22s %llu\n", name.c_str(), static_cast<unsigned long long>(count));
  }
}

std::string caption(shell::frmMainForm& f, int button) {
  return forms::windows1252ToUtf8(f.Command(button).Caption());
}

// Text chunks of every picture the runner writes: how it was drawn.
std::vector<std::pair<std::string, std::string>> pictureText(const results::Result& r) {
  return {{"Software", r.program.name + " " + r.program.version + " (" + r.program.revision + ")"},
          {"vex2d mode", r.run.mode},
          {"vex2d screen", std::to_string(r.context.screenWidth) + "x" + std::to_string(r.context.screenHeight)},
          {"vex2d display", r.context.display},
          {"vex2d SIMD level", r.context.simd}};
}

// The overview of the run: each test's last picture, label and points, in
// the order of the buttons.
charts::Overview overviewOf(shell::frmMainForm& f, const Options& o, const results::Result& r,
                            const std::map<std::string, charts::Thumbnail>& thumbnails) {
  charts::Overview ov;
  ov.title = "Vex2D " + r.program.version + ": " + (r.run.mode == "buffered" ? "DIB buffering" : "direct drawing");
  ov.subtitle = r.context.date + "   " + std::to_string(r.context.screenWidth) + "x" +
                std::to_string(r.context.screenHeight) + " " + r.context.display + "   " + r.context.cpu + "   SIMD " +
                r.context.simd + "   " + std::to_string(o.repeat) + (o.repeat == 1 ? " repetition" : " repetitions") +
                (r.run.complete ? "" : "   (incomplete)");
  std::vector<const TestInfo*> byButton(o.tests.begin(), o.tests.end());
  std::sort(byButton.begin(), byButton.end(), [](const TestInfo* a, const TestInfo* b) { return a->button < b->button; });
  for (const TestInfo* t : byButton) {
    const auto it = std::find_if(r.tests.begin(), r.tests.end(), [&](const results::TestResult& x) { return x.name == t->name; });
    if (it == r.tests.end()) continue;
    charts::OverviewTest ot;
    ot.caption = caption(f, t->button);
    if (!it->samples.empty()) {
      ot.label = it->samples.back().label;
      ot.points = results::pointsOf(it->summary().median, it->reference);
    }
    if (const auto th = thumbnails.find(t->name); th != thumbnails.end()) ot.picture = th->second;
    ov.tests.push_back(std::move(ot));
  }
  if (r.score) {
    ov.scoreOfMedians = r.score->ofMedians;
    ov.scoreShown = r.score->lastRun;
  }
  return ov;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string error;
  switch (runner::parseOptions(argc, argv, &o, &error)) {
    case runner::Action::Help:
      std::fputs(runner::kUsage, stdout);
      return runner::kExitOk;
    case runner::Action::Version: {
      const results::Program p = runner::programInfo();
      std::printf("vex2d-run %s (%s, %s, %s)\n", p.version.c_str(), p.revision.c_str(), p.buildType.c_str(),
                  p.compiler.c_str());
      return runner::kExitOk;
    }
    case runner::Action::List:
      printList();
      return runner::kExitOk;
    case runner::Action::UsageError:
      std::fprintf(stderr, "vex2d-run: %s\n%s", error.c_str(), runner::kUsage);
      return runner::kExitUsage;
    case runner::Action::Run:
      break;
  }
  // Without a font the text test would measure nothing and inflate the
  // score: refuse before anything runs.
  if (const std::string missing = gdi::missingFontReason(); !missing.empty()) {
    say(missing);
    return runner::kExitUsage;
  }
  if (!checkOutputs(o, &error)) {
    say(error);
    return runner::kExitUsage;
  }
  results::Result result;
  result.program = runner::programInfo();
  result.context = runner::machineContext();
  const results::LoadAverage& load = result.context.loadAtStart;
  if (load.one > result.context.cores / 2.0)
    say("warning: the machine is busy (load average " + fixed(load.one, 2) + " on " +
        std::to_string(result.context.cores) + " cores); the rates will be noisy");

  // The display: an in-memory screen, or the user's through SDL.
  std::unique_ptr<display::Display> screen;
  Driver driver;
  if (o.display == runner::DisplayKind::Sdl) {
    std::unique_ptr<display::Display> real = display::createSdlDisplay(&error);
    if (!real) {
      say("no usable display (" + error + ")");
      return runner::kExitUsage;
    }
    const char* driverName = SDL_GetCurrentVideoDriver();
    result.context.display = driverName != nullptr ? driverName : "unknown";
    auto driven = std::make_unique<runner::DrivenDisplay>(std::move(real));
    driver.driven = driven.get();
    screen = std::move(driven);
  } else {
    auto headless = std::make_unique<display::HeadlessDisplay>(o.width, o.height);
    driver.headless = headless.get();
    result.context.display = "headless";
    screen = std::move(headless);
  }
  result.context.screenWidth = screen->screenWidth();
  result.context.screenHeight = screen->screenHeight();
  // After the display: the SDL backend takes SIGINT and SIGTERM as a quit of
  // the whole program, where the runner finishes the test in progress and
  // keeps what was measured.
  installStopHandlers();

  forms::RealClock clock;
  forms::startRuntime(*screen, clock, o.out.value_or(""));
  shell::setReportFolder(o.out ? std::optional<std::string>(*o.out) : std::nullopt);
  shell::installHandlers();
  shell::showMainWindow();
  forms::DoEvents();
  shell::frmMainForm& f = shell::frmMain();

  result.run.mode = o.buffered ? "buffered" : "direct";
  result.run.repeat = o.repeat;
  result.run.warmup = o.warmup;
  for (const TestInfo* t : o.tests) {
    const drawtests::TestRow& row = drawtests::TestRowOfButton(t->button);
    results::TestResult tr;
    tr.name = t->name;
    tr.unit = trimmed(row.unit);
    tr.numerator = row.numerator;
    // The text test draws 1000 characters at each of its font sizes.
    tr.primitives = std::int64_t{row.iterations} * (t->button == 1 ? drawtests::kTextCharsPerSize : 1);
    tr.reference = t->referenceRate;
    result.run.tests.push_back(t->name);
    result.tests.push_back(std::move(tr));
  }

  Outputs outputs{o, {}};
  // A first file right away: a run killed in its first test still leaves
  // where and how it was started.
  if (!outputs.write(result, false)) {
    say(outputs.failure);
    forms::stopRuntime();
    return runner::kExitOutputFailed;
  }

  const int repetitions = o.warmup + o.repeat;
  int repetition = 0;
  bool recording = false;
  using Steady = std::chrono::steady_clock;
  const auto elapsedSince = [](Steady::time_point t) {
    return std::chrono::duration<double>(Steady::now() - t).count();
  };
  const auto stopRequested = [&] { return g_stopSignal != 0 || !outputs.failure.empty(); };

  // Each test's handler, wrapped: nothing new starts once a stop is asked
  // for, and each recorded repetition is kept and written at once.
  const TestInfo* running = nullptr;
  for (std::size_t i = 0; i < o.tests.size(); ++i) {
    const TestInfo* t = o.tests[i];
    auto& handler = f.testHandlers[static_cast<std::size_t>(t->button)];
    handler = [&, t, i, original = handler] {
      if (stopRequested()) return;
      running = t;
      original();
      running = nullptr;
      const drawtests::KernelWindow& w = drawtests::LastKernelWindow(t->slot);
      results::TestResult& tr = result.tests[i];
      const std::string label = forms::windows1252ToUtf8(f.Label(t->button).Caption());
      const std::string where = recording ? "repetition " + std::to_string(repetition - o.warmup) + " of " +
                                                std::to_string(o.repeat)
                                          : "warm-up " + std::to_string(repetition) + " of " +
                                                std::to_string(o.warmup);
      if (!w.measured || !(w.elapsed() > 0)) {
        say(std::string(t->name) + ": no time was measured (" + where + ")");
        return;
      }
      const double rate = tr.numerator / w.elapsed();
      say(std::string(t->name) + ": " + fixed(rate) + " " + tr.unit + " (" + where + ")");
      if (!recording) return;
      results::Sample s{w.elapsed(), rate, results::pointsOf(rate, tr.reference), label, std::nullopt, std::nullopt};
      if (o.stats) {
        std::map<std::string, std::uint64_t> calls;
        for (std::size_t k = 0; k < gdi::kFnCount; ++k) {
          const auto fn = static_cast<gdi::Fn>(k);
          if (w.calls(fn) != 0) calls[std::string(gdi::fnName(fn))] = w.calls(fn);
        }
        s.calls = std::move(calls);
        s.randomDraws = w.randomDraws();
      }
      tr.samples.push_back(std::move(s));
      result.context.loadAtEnd = runner::loadAverage();
      if (!outputs.write(result, false)) say(outputs.failure + "; stopping");
    };
  }
  // The picture of each recorded test: its surface's hash, and a PNG that
  // says what it shows; a thumbnail of it for the overview.
  std::map<std::string, charts::Thumbnail> thumbnails;
  f.onTestEnd = [&] {
    if (!recording || running == nullptr) return;
    const gdi::PixelView view = shell::frmTest().backBuffer();
    const auto it = std::find(result.run.tests.begin(), result.run.tests.end(), running->name);
    const std::string sha1 = runner::surfaceSha1(view);
    result.tests[static_cast<std::size_t>(it - result.run.tests.begin())].surfaceSha1 = sha1;
    if (!o.out) return;
    thumbnails[running->name] = charts::Thumbnail::of(view, charts::kThumbnailWidth, charts::kThumbnailHeight);
    const std::string png = *o.out + "/" + running->name + ".png";
    display::PngOptions pngOptions;
    pngOptions.text = pictureText(result);
    pngOptions.text.insert(pngOptions.text.begin(), {{"Title", "Vex2D " + caption(f, running->button)},
                                                       {"vex2d test", running->name},
                                                       {"vex2d surface SHA-1", sha1}});
    std::string why;
    if (!runner::replaceFileAtomically(
            png, [&](const std::string& tmp) { return display::writePng(tmp, view, pngOptions); }, &why) &&
        outputs.failure.empty()) {
      outputs.failure = why;
      say(why + "; stopping");
    }
  };

  // The mode, as a user picks it.
  driver.click(f, f.Option1(o.buffered ? 1 : 0));
  if (f.lMode != (o.buffered ? 1 : 0)) {
    say("the mode button did not take");
    forms::stopRuntime();
    return runner::kExitOutputFailed;
  }

  std::optional<std::int64_t> lastRunScore;
  int recorded = 0;
  double spent = 0;
  for (repetition = 1; repetition <= repetitions && !stopRequested(); ++repetition) {
    recording = repetition > o.warmup;
    const std::string left = repetition == 1
                                 ? "time left not known yet"
                                 : "about " + fixed(spent / (repetition - 1) * (repetitions - repetition + 1)) +
                                       " s left";
    say((recording ? "repetition " + std::to_string(repetition - o.warmup) + " of " + std::to_string(o.repeat)
                   : "warm-up " + std::to_string(repetition) + " of " + std::to_string(o.warmup)) +
        ", " + left);
    const Steady::time_point start = Steady::now();
    if (o.all) {
      driver.click(f, f.CmdTest());
    } else {
      for (const TestInfo* t : o.tests) driver.click(f, f.Command(t->button));
    }
    spent += elapsedSince(start);
    if (stopRequested()) break;
    if (recording) {
      ++recorded;
      if (o.all) lastRunScore = wholeNumber(f.Label91().Caption());
    }
  }
  const bool interrupted = g_stopSignal != 0;
  result.run.complete = recorded == o.repeat;
  if (result.run.complete && o.all && lastRunScore)
    result.score = results::Score{results::scoreOfMedians(result.tests), *lastRunScore};
  if (interrupted)
    say(std::string("interrupted by ") + (g_stopSignal == SIGINT ? "SIGINT" : "SIGTERM") +
        (o.all ? "; the window's score below counts only the tests that ran" : ""));
  if (!result.run.complete)
    say("the run is incomplete: " + std::to_string(recorded) + " of " + std::to_string(o.repeat) +
        " repetitions finished; what was measured is kept");

  // The report: what "Copy to clipboard" puts on the clipboard and, with
  // --out, in its dated file. Before the first complete run the button is
  // disabled; its handler then runs without the click, so single tests and
  // interrupted runs get the same report of what the window shows.
  std::string reportFile;
  f.Command10_Click = [&] { reportFile = shell::Command10_Click(f); };
  if (f.Command(10).Enabled())
    driver.click(f, f.Command(10));
  else
    f.Command10_Click();
  const std::string report = screen->clipboardText();
  if (o.out && reportFile.empty() && outputs.failure.empty()) outputs.failure = "cannot write the report file";
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fputs("\n", stdout);
  printSummary(f, o, result);
  if (o.out) {
    const charts::Overview overview = overviewOf(f, o, result, thumbnails);
    std::string why;
    const std::string file = *o.out + "/overview.png";
    if (!runner::replaceFileAtomically(
            file, [&](const std::string& tmp) { return charts::writeOverview(overview, tmp, pictureText(result)); },
            &why) &&
        outputs.failure.empty())
      outputs.failure = why;
  }
  if (o.stats) printStats(result.tests);
  std::fflush(stdout);

  result.context.loadAtEnd = runner::loadAverage();
  const bool failedBefore = !outputs.failure.empty();
  if (!outputs.write(result, true) || failedBefore) {
    if (!failedBefore) say(outputs.failure);
    forms::stopRuntime();
    return runner::kExitOutputFailed;
  }
  forms::stopRuntime();
  if (interrupted) return 128 + g_stopSignal;
  return runner::kExitOk;
}

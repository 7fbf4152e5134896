#include "shell/complete_run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/forms/forms.h"

namespace shell {

using namespace forms;

namespace {

std::optional<std::string> g_reportFolder = std::string();  // "" = the program's folder

// The folder for a report when the program's own folder cannot take it (an
// installed program lives in a system folder): the user's data folder.
std::string userReportFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::filesystem::path base;
  if (data != nullptr && data[0] == '/') {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return "";
    base = std::filesystem::path(home) / ".local" / "share";
  }
  const std::filesystem::path folder = base / "vex2d" / "reports";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return ec ? "" : folder.string();
}

}  // namespace

std::string reportFolder() {
  if (!g_reportFolder) return "";
  if (!g_reportFolder->empty()) return *g_reportFolder;
  const std::string own = App::Path();
  if (::access(own.empty() ? "." : own.c_str(), W_OK) == 0) return own;
  const std::string user = userReportFolder();
  if (user.empty()) return own;  // the write fails and says so
  std::fprintf(stderr, "vex2d: the program's folder %s is not writable; the report is saved in %s\n", own.c_str(),
               user.c_str());
  return user;
}

void CmdTest_Click(frmMainForm& f) {
  std::array<double, 11> points{};
  f.BeginTest();
  f.lRunAll = 1;
  resumeNext([&] { f.Label(1).setCaption("testing..."); });
  for (int n = 2; n <= 8; ++n) resumeNext([&] { f.Label(n).setCaption("pending"); });
  resumeNext([&] { f.Label91().setCaption(""); });
  resumeNext([&] { f.Label19().setVisible(false); });
  // The run order: the screen order of the buttons, as the registry lists them.
  for (std::size_t step = 0; step < std::size(drawtests::kTests); ++step) {
    const drawtests::TestEntry& s = drawtests::kTests[step];
    resumeNext([&] { f.Label12().setCaption(s.progress); });
    if (step > 0) resumeNext([&] { f.Label(s.row->resultLabel).setCaption("testing..."); });
    DoEvents();
    Randomize(-5);
    resumeNext([&] {
      const auto& handler = f.testHandlers[static_cast<std::size_t>(s.button)];
      if (handler) handler();
    });
  }
  for (std::size_t i = 1; i <= 8; ++i) points[i] = (100.0 / kReferenceRates[i]) * f.lResult[i];
  f.lRunAll = 0;
  f.EndTest();
  resumeNext([&] { f.Command(10).setEnabled(true); });
  points[10] = 0;
  for (std::size_t i = 1; i <= 8; ++i) points[10] = points[10] + points[i];
  points[10] = points[10] / 8;
  resumeNext([&] { f.Label12().setCaption(""); });
  resumeNext([&] { f.Label91().setCaption(Format(points[10], "0")); });
  resumeNext([&] { f.Label19().setVisible(true); });
}

std::string ReportText(frmMainForm& f) {
  std::string report;
  if (f.Option1(0).Value()) report = "BENCHMARK: DIRECT DRAWING TO VISIBLE DEVICE\r\n\r\n";
  if (f.Option1(1).Value()) report = "BENCHMARK: DIB-BUFFER AND BLIT\r\n\r\n";
  for (int n = 1; n <= 8; ++n) report += f.Command(n).Caption() + ": " + f.Label(n).Caption() + "\r\n";
  report += "Score: " + f.Label91().Caption();
  return report;
}

void setReportFolder(std::optional<std::string> folder) { g_reportFolder = std::move(folder); }

std::string Command10_Click(frmMainForm& f) {
  resumeNext([] { Clipboard::Clear(); });
  std::string report;
  resumeNext([&] { report = ReportText(f); });
  resumeNext([&] { Clipboard::SetText(report); });
  if (!g_reportFolder) return "";

  std::string path = reportFolder();
  if (path.empty() || path.back() != '/') path += '/';
  // Date and time come from one reading of the clock, so a click at
  // midnight cannot pair one day's date with the next day's time.
  const std::time_t now = Now();
  path += FormatDate(now, "yyyy-mm-dd") + "-" + FormatDate(now, "hh-nn-ss");
  bool direct = true;
  resumeNext([&] { direct = f.Option1(0).Value(); });
  path += direct ? "-Direct" : "-Buffer";
  path += ".txt";

  // The report goes to a temporary file in the same folder first and is
  // renamed over the final name, so a crash never leaves half a report in
  // place of an older one.
  const std::string temporary = path + ".part-" + std::to_string(::getpid());
  TextFile file;
  bool ok = file.openForOutput(temporary);
  ok = ok && file.print(report);
  ok = file.close() && ok;
  if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) return path;
  const int error = errno;
  std::remove(temporary.c_str());
  std::fprintf(stderr, "vex2d: cannot write the report file %s: %s\n", path.c_str(), std::strerror(error));
  return "";
}

}  // namespace shell

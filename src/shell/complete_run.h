// The complete run ("Run complete benchmark") and the report ("Copy to
// clipboard") of the main window.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "shell/frm_main.h"
#include "tests/registry.h"

namespace shell {

// Reference rates of slots 1 to 8: reaching one earns 100 points.
inline constexpr std::array<double, 9> kReferenceRates = drawtests::ReferenceRatesBySlot();

// The Click of CmdTest: the eight tests inside one bracket, then the score.
void CmdTest_Click(frmMainForm& f);

// The report text as the main window's captions stand now.
std::string ReportText(frmMainForm& f);

// Where Command10 writes the report file: the program's folder by default;
// nullopt writes no file (the clipboard still gets the report).
void setReportFolder(std::optional<std::string> folder);

// The folder the next report goes to: the one set above, else the program's
// folder when it is writable, else $XDG_DATA_HOME/vex2d/reports (by default
// ~/.local/share/vex2d/reports), created on demand and named on standard
// error.
std::string reportFolder();

// The Click of Command10: the report on the clipboard and in a dated file.
// Returns the path of the file written, or "" when none was.
std::string Command10_Click(frmMainForm& f);

}  // namespace shell

// The measurement protocol every drawing test follows, written once: the
// opening (bracket, announcement, title, one-second pause, drawing target),
// the two timer readings around the kernel, the copy-back of the buffered
// mode, and the rate in the result slot and the result label.
//
// A test supplies its row of constants, its kernel and its additions to the
// protocol (all in TestRow). The eight rows live with their kernels, one
// file each; the Click handlers run RunDrawingTest with their row.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "tests/test_host.h"

namespace drawtests {

// What the kernel gets from the protocol.
struct KernelArgs {
  gdi::HDC dc;            // the buffer's memory DC, or the surface's hDC
  std::int32_t W;         // the surface's size, the extent of the coordinates
  std::int32_t H;
  gdi::HDC sourceDc;      // the source picture's DC (blitting, stretching), else 0
  std::int32_t iterations;
};
using Kernel = void (*)(const KernelArgs&);

// Where the elapsed time ends.
enum class SecondReading : std::uint8_t {
  BeforeCopyBack,  // the copy-back of the buffered mode is not timed
  AfterCopyBack,   // it is: the copy, the release of the buffer and the 500 ms pause
};

// What step 8 does in direct mode besides hiding the title, clearing the
// surface and taking its hDC.
enum class DirectSetup : std::uint8_t {
  Plain,
  // FillStyle 0 and ForeColor 0 on the surface, right after its hDC is taken.
  SolidBlack,
  // Messages processed right after the title is hidden, then as SolidBlack.
  MessagesThenSolidBlack,
};

// The main window's hidden picture a test copies from.
enum class SourcePicture : std::uint8_t { None, Picture2, Picture3 };

struct TestRow {
  // The protocol table.
  const char* title;          // the caption of Label13
  std::int32_t iterations;    // N (for the text test: font sizes, 1000 characters each)
  double numerator;           // K: the rate is K / elapsed seconds
  const char* unit;           // appended to the formatted rate; begins with a blank
  int slot;                   // index in lResult
  int resultLabel;            // Label1 .. Label8 of the main window
  SecondReading secondReading;
  Kernel kernel;

  // The test's additions.
  bool transparentBackground = false;  // SetBkMode(dc, TRANSPARENT) before the first reading
  DirectSetup directSetup = DirectSetup::Plain;
  SourcePicture source = SourcePicture::None;  // prepared after step 3, put back after the result
  bool copyBackMessages = false;  // messages processed in the copy-back, right after hiding the title
};

// The caption of the result label at a rate that is not a number one can
// write down (elapsed time zero gives an infinite rate).
inline constexpr const char* kUnmeasurableCaption = "too fast to measure";

// The result label's text for a rate: the rate formatted with "0" followed
// directly by the unit, or kUnmeasurableCaption.
std::string RateCaption(double rate, const char* unit);

// What happened between the two timer readings of a test's last run: the
// facade's call counters and the generator's draw count at each reading.
struct KernelWindow {
  bool measured = false;  // both readings were taken
  double firstReading = 0.0;
  double secondReading = 0.0;
  gdi::CallCounts callsAtFirst{};
  gdi::CallCounts callsAtSecond{};
  std::uint64_t drawsAtFirst = 0;
  std::uint64_t drawsAtSecond = 0;

  double elapsed() const { return secondReading - firstReading; }
  std::uint64_t calls(gdi::Fn f) const {
    const auto i = static_cast<std::size_t>(f);
    return callsAtSecond[i] - callsAtFirst[i];
  }
  std::uint64_t randomDraws() const { return drawsAtSecond - drawsAtFirst; }
};

// The kernel window of the last run of the test with this slot (1 to 8);
// reset when that test starts.
const KernelWindow& LastKernelWindow(int slot);

// Runs one test, steps 1 to 17, with its row.
void RunDrawingTest(TestHost& host, const TestRow& row);

}  // namespace drawtests

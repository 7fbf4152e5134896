#include "tests/protocol.h"

#include <array>
#include <cmath>

#include "platform/forms/forms.h"

namespace drawtests {

using forms::resumeNext;
using forms::RuntimeError;

namespace {

std::array<KernelWindow, 9> g_windows;  // slots 1 to 8; [0] unused

KernelWindow& windowOf(int slot) {
  return g_windows.at(slot >= 1 && slot <= 8 ? static_cast<std::size_t>(slot) : 0);
}

}  // namespace

std::string RateCaption(double rate, const char* unit) {
  // The pattern "0" has no digits for an infinite rate; a result label that
  // read "inf lines/sec" would look like a fault of the program rather than
  // a clock too coarse for the test.
  if (!std::isfinite(rate)) return kUnmeasurableCaption;
  return forms::Format(rate, "0") + unit;
}

const KernelWindow& LastKernelWindow(int slot) { return windowOf(slot); }

void RunDrawingTest(TestHost& host, const TestRow& row) {
  KernelWindow& window = windowOf(row.slot);
  window = KernelWindow{};

  // 1 to 3: the bracket, the announcement, and the messages that show it.
  resumeNext([&] { host.BeginTest(); });
  resumeNext([&] { host.setResultCaption(row.resultLabel, "test is running..."); });
  resumeNext([&] { host.DoEvents(); });

  // The source picture of the blitting and stretching tests: its persistent
  // image gives a DC that shows the picture at the origin for the whole
  // kernel. The DC is taken here, outside the timed interval.
  gdi::HDC sourceDc = 0;
  if (row.source != SourcePicture::None) {
    auto picture = [&]() -> forms::PictureBox& {
      return row.source == SourcePicture::Picture2 ? host.Picture2() : host.Picture3();
    };
    resumeNext([&] { picture().setAutoRedraw(true); });
    resumeNext([&] { picture().Cls(); });
    resumeNext([&] { picture().Print(); });
    resumeNext([&] { picture().Cls(); });
    resumeNext([&] { sourceDc = picture().hDC(); });
    resumeNext([&] { host.DoEvents(); });
  }

  // 4: the surface, held until the second timer reading. When it cannot be
  // taken, every action that uses it fails as an unset object would. It is
  // held as the test window's control, never as a pointer: messages
  // processed meanwhile may unload the test window (its close button), and
  // using the surface then loads the window again.
  bool surfaceHeld = false;
  auto held = [&]() -> forms::PictureBox& {
    if (!surfaceHeld) throw RuntimeError("Object variable not set");
    return host.Picture1();
  };
  std::int32_t W = 0;
  std::int32_t H = 0;
  resumeNext([&] {
    host.Picture1();
    surfaceHeld = true;
  });
  resumeNext([&] { W = forms::roundToInt(held().ScaleWidth()); });
  resumeNext([&] { H = forms::roundToInt(held().ScaleHeight()); });
  resumeNext([&] { held().Cls(); });

  // 5 and 6: the title, in buffered mode on two lines and centred
  // vertically. A test inside the complete run sets the caption anew before
  // appending, so the suffix never accumulates.
  resumeNext([&] { host.Label13().setCaption(row.title); });
  if (host.lMode() != 0) {
    resumeNext([&] {
      forms::Label& title = host.Label13();
      title.setCaption(title.Caption() + "\r\n(buffered)");
    });
    resumeNext([&] {
      forms::Label& title = host.Label13();
      title.setTop(static_cast<float>((static_cast<double>(H) - title.Height()) / 2.0));
    });
  }

  // 7: the title shows for a second.
  resumeNext([&] { host.Label13().setVisible(true); });
  resumeNext([&] { host.DoEvents(); });
  forms::Sleep(1000);
  resumeNext([&] { host.DoEvents(); });

  // 8: the drawing target. In buffered mode the title stays on screen while
  // the kernel draws into the buffer.
  gdi::HDC dc = 0;
  if (host.lMode() != 0) {
    resumeNext([&] { host.CreateDIBSection(); });
    resumeNext([&] { dc = host.lBufferDC(); });
  } else {
    resumeNext([&] { host.Label13().setVisible(false); });
    if (row.directSetup == DirectSetup::MessagesThenSolidBlack) resumeNext([&] { host.DoEvents(); });
    resumeNext([&] { held().Cls(); });
    resumeNext([&] { dc = held().hDC(); });
    if (row.directSetup != DirectSetup::Plain) {
      resumeNext([&] { held().FillStyle = 0; });
      resumeNext([&] { held().ForeColor = 0; });
    }
  }
  if (row.transparentBackground) gdi::SetBkMode(dc, gdi::TRANSPARENT);

  // The main window closed or the program was asked to quit while messages
  // were processed: no kernel runs and no rate is made up; the bracket
  // closes, so the program ends as soon as this handler returns.
  if (forms::programEnding()) {
    resumeNext([&] { host.EndTest(); });
    return;
  }

  // 9 to 13. The counters are copied just before the first reading and just
  // after the second, so the copies stay outside the timed interval and no
  // facade call falls between a copy and its reading.
  window.callsAtFirst = gdi::callCounts();
  window.drawsAtFirst = forms::rndDrawCount();
  double t = forms::Timer();
  window.firstReading = t;

  row.kernel(KernelArgs{dc, W, H, sourceDc, row.iterations});

  auto secondReading = [&] {
    const double now = forms::Timer();
    window.callsAtSecond = gdi::callCounts();
    window.drawsAtSecond = forms::rndDrawCount();
    window.secondReading = now;
    window.measured = true;
    t = now - t;
  };
  if (row.secondReading == SecondReading::BeforeCopyBack) secondReading();
  if (host.lMode() == 1) {
    resumeNext([&] { host.Label13().setVisible(false); });
    if (row.copyBackMessages) resumeNext([&] { host.DoEvents(); });
    resumeNext([&] { gdi::BitBlt(held().hDC(), 0, 0, W, H, host.lBufferDC(), 0, 0, gdi::SRCCOPY); });
    resumeNext([&] { host.FreeBuffer(); });
    forms::Sleep(500);
  }
  if (row.secondReading == SecondReading::AfterCopyBack) secondReading();
  surfaceHeld = false;

  // 14 to 16. Elapsed time zero gives an infinite rate: it does not fit the
  // slot, which keeps its previous value, and the label says so in words.
  t = row.numerator / t;
  resumeNext([&] { host.setLResult(row.slot, forms::roundToInt(t)); });
  resumeNext([&] { host.setResultCaption(row.resultLabel, RateCaption(t, row.unit)); });

  if (row.source == SourcePicture::Picture2) resumeNext([&] { host.Picture2().setAutoRedraw(false); });
  if (row.source == SourcePicture::Picture3) resumeNext([&] { host.Picture3().setAutoRedraw(false); });

  // 17.
  resumeNext([&] { host.EndTest(); });
}

}  // namespace drawtests

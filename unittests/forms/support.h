// The fixture of the forms tests: a headless 320 x 240 screen and a manual
// clock per test, a form whose events and controls a test fills in, and
// pixel access to back buffers and presented windows.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/display/headless.h"
#include "platform/forms/forms.h"

namespace formstest {

using forms::COLORREF;

// A form whose handlers are set by the test. Controls live in `owned` and go
// in reverse order of creation when the form unloads, as members of a real
// form would.
class TestForm : public forms::Form {
 public:
  explicit TestForm(std::string name = "frmTest") : Form(std::move(name)) {}
  ~TestForm() override { destroyControls(); }

  std::function<void(TestForm&)> onCreate;
  std::function<void(TestForm&)> onLoad;
  std::function<void(TestForm&)> onResize;
  std::function<void(TestForm&)> onUnload;
  int loads = 0;
  int resizes = 0;
  int unloads = 0;
  int creates = 0;
  int destroys = 0;

  template <typename T, typename... Args>
  T* add(Args&&... args) {
    auto p = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = p.get();
    owned.push_back(std::move(p));
    return raw;
  }

  void Form_Load() override {
    ++loads;
    if (onLoad) onLoad(*this);
  }
  void Form_Resize() override {
    ++resizes;
    if (onResize) onResize(*this);
  }
  void Form_Unload() override {
    ++unloads;
    if (onUnload) onUnload(*this);
  }
  void createControls() override {
    ++creates;
    if (onCreate) onCreate(*this);
  }
  void destroyControls() override {
    if (owned.empty()) return;
    ++destroys;
    while (!owned.empty()) owned.pop_back();
  }

  std::vector<std::unique_ptr<forms::Control>> owned;
};

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override { forms::startRuntime(display, clock, "/opt/vex2d/"); }
  void TearDown() override { forms::stopRuntime(); }

  // The presented window of a form, as the headless screen holds it.
  const display::HeadlessWindow* shown(forms::Form& f) const {
    return f.window() != nullptr ? display.find(f.window()->id()) : nullptr;
  }

  // Clicks at a client pixel of a form (translated to the screen).
  void clickAt(forms::Form& f, int x, int y) {
    const display::Rect r = f.window()->clientRect();
    display.click(r.x + x, r.y + y);
  }
  // Clicks at the middle of a control.
  void clickOn(forms::Control& c) {
    const display::Rect p = c.pixelRect();
    clickAt(*c.form(), p.x + p.width / 2, p.y + p.height / 2);
  }
  void inject(forms::Form& f, display::Event::Type type, int x, int y) {
    display::Event e;
    e.type = type;
    e.window = f.window()->id();
    e.x = x;
    e.y = y;
    e.button = 1;
    display.injectEvent(e);
  }

  display::HeadlessDisplay display{320, 240};
  forms::ManualClock clock;
};

// A pixel of an Xrgb32 or Bgr24 view as a COLORREF.
inline COLORREF pixelAt(const gdi::PixelView& v, int x, int y) {
  const std::uint8_t* p = v.top + static_cast<std::ptrdiff_t>(y) * v.stride +
                          static_cast<std::ptrdiff_t>(x) * gdi::bytesPerPixel(v.format);
  return gdi::RGB(p[2], p[1], p[0]);
}

// A pixel of what a headless window last presented.
inline COLORREF presentedAt(const display::HeadlessWindow& w, int x, int y) {
  const std::uint32_t px = w.pixels()[static_cast<std::size_t>(y) * w.pixelsWidth() + x];
  return gdi::RGB(static_cast<std::uint8_t>(px >> 16), static_cast<std::uint8_t>(px >> 8),
                  static_cast<std::uint8_t>(px));
}

// How many pixels of a rectangle of the view differ from `background`.
inline int inkCount(const gdi::PixelView& v, const display::Rect& r, COLORREF background) {
  int n = 0;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) n += pixelAt(v, x, y) != background ? 1 : 0;
  return n;
}

// The bounding box of the pixels of `r` that differ from `background`
// (width 0 when there are none).
inline display::Rect inkBounds(const gdi::PixelView& v, const display::Rect& r, COLORREF background) {
  int x0 = r.x + r.width, y0 = r.y + r.height, x1 = r.x - 1, y1 = r.y - 1;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) {
      if (pixelAt(v, x, y) == background) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  if (x1 < x0) return display::Rect{0, 0, 0, 0};
  return display::Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

}  // namespace formstest

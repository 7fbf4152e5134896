// Internals of the forms runtime shared by its source files: the runtime
// state, a form's window and back buffer, rectangle helpers and the small
// painting helpers the controls use.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/forms.h"

namespace forms {

namespace detail {

struct Runtime {
  display::Display* display = nullptr;
  Clock* clock = nullptr;
  std::string appPath;
  std::vector<Form*> forms;  // loaded forms, in the order they loaded
  // The desktop's DCs draw into this small buffer: nothing is shown, but a
  // DC exists for code that only needs one to create compatible DCs from.
  std::vector<std::uint32_t> desktopPixels;
  std::vector<HDC> desktopDcs;
  int mousePointer = 0;
  // The form whose unloading ends the program, and whether the program is
  // ending (that form unloaded, or the whole program asked to quit).
  Form* startupForm = nullptr;
  bool ending = false;
};

// The running runtime, or null.
Runtime* runtime();
// The running runtime; RuntimeError when none is started.
Runtime& requireRuntime();

// ---- rectangles (pixels, right and bottom excluded) --------------------------

inline bool isEmpty(const display::Rect& r) { return r.width <= 0 || r.height <= 0; }

inline display::Rect intersect(const display::Rect& a, const display::Rect& b) {
  const long long l = std::max<long long>(a.x, b.x);
  const long long t = std::max<long long>(a.y, b.y);
  const long long r = std::min<long long>(static_cast<long long>(a.x) + a.width,
                                          static_cast<long long>(b.x) + b.width);
  const long long bo = std::min<long long>(static_cast<long long>(a.y) + a.height,
                                           static_cast<long long>(b.y) + b.height);
  if (r <= l || bo <= t) return display::Rect{0, 0, 0, 0};
  return display::Rect{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r - l),
                       static_cast<int>(bo - t)};
}

inline bool containsRect(const display::Rect& outer, const display::Rect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y &&
         static_cast<long long>(inner.x) + inner.width <=
             static_cast<long long>(outer.x) + outer.width &&
         static_cast<long long>(inner.y) + inner.height <=
             static_cast<long long>(outer.y) + outer.height;
}

inline bool containsPoint(const display::Rect& r, int x, int y) {
  return x >= r.x && y >= r.y && static_cast<long long>(x) < static_cast<long long>(r.x) + r.width &&
         static_cast<long long>(y) < static_cast<long long>(r.y) + r.height;
}

inline gdi::RECT toRECT(const display::Rect& r) {
  return gdi::RECT{r.x, r.y, r.x + r.width, r.y + r.height};
}

// A colour as a stored Xrgb32 pixel: the bytes blue, green, red, 0.
constexpr std::uint32_t pixelOf(COLORREF c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// Twips (or another unit with `unitsToTwips` twips) to whole pixels.
int unitsToPixels(double units, float unitsToTwips);

// ---- painting helpers --------------------------------------------------------

// Selects an object for the lifetime of a scope, then selects back what it
// displaced and deletes it.
class ScopedObject {
 public:
  ScopedObject(HDC dc, gdi::HGDIOBJ obj)
      : dc_(dc), obj_(obj), previous_(gdi::SelectObject(dc, obj)) {}
  ~ScopedObject() {
    if (previous_ != 0) gdi::SelectObject(dc_, previous_);
    gdi::DeleteObject(obj_);
  }
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;

 private:
  HDC dc_;
  gdi::HGDIOBJ obj_;
  gdi::HGDIOBJ previous_;
};

// A font of the engine: face, size in points (96 dots per inch), bold.
gdi::HFONT createFont(const std::string& face, float points, bool bold);
// The text extent and the line height of a font, measured on a memory DC.
gdi::SIZE measureText(const std::string& face, float points, bool bold, const std::string& text);
int lineHeight(const std::string& face, float points, bool bold);
// The lines of a caption: split at CR LF, LF or a lone CR.
std::vector<std::string> splitLines(const std::string& text);

void fillRect(HDC dc, int left, int top, int right, int bottom, COLORREF color);
void hLine(HDC dc, int x0, int x1, int y, COLORREF color);  // [x0, x1)
void vLine(HDC dc, int x, int y0, int y1, COLORREF color);  // [y0, y1)
void frameRect(HDC dc, int left, int top, int right, int bottom, COLORREF color);
// Every other pixel of the outline, as a keyboard focus rectangle is drawn.
void dottedRect(HDC dc, int left, int top, int right, int bottom, COLORREF color);
// Two-pixel 3-D edges around [left, right) x [top, bottom).
void raisedEdge(HDC dc, int left, int top, int right, int bottom);
void sunkenEdge(HDC dc, int left, int top, int right, int bottom);
// Draws text with the selected font at (x, y), the top-left of its cell,
// without filling behind it.
void drawText(HDC dc, int x, int y, const std::string& text, COLORREF color);

// The system colours the controls use.
constexpr COLORREF kFace = gdi::RGB(240, 240, 240);
constexpr COLORREF kHighlight = gdi::RGB(255, 255, 255);
constexpr COLORREF kLight = gdi::RGB(227, 227, 227);
constexpr COLORREF kShadow = gdi::RGB(160, 160, 160);
constexpr COLORREF kDarkShadow = gdi::RGB(105, 105, 105);
constexpr COLORREF kGrayText = gdi::RGB(160, 160, 160);

}  // namespace detail

// A form's window, back buffer, invalid region, focus and DCs.
struct Form::Impl {
  explicit Impl(Form* f) : self(f) {}

  Form* self;
  std::unique_ptr<display::Window> window;
  std::vector<std::uint32_t> pixels;  // Xrgb32 rows, bufferStride apart
  int bufferWidth = 0;
  int bufferStride = 0;  // pixels from one row to the next
  int bufferHeight = 0;

  // What the form believes of its window: the screen rectangle of the
  // client area and the state. Setters change it at once; the backend's
  // events bring it back in line with the window.
  display::Rect client{0, 0, 0, 0};
  display::WindowState state = display::WindowState::Normal;
  // The size and state that Form_Resize last saw; a change runs it again.
  struct Reported {
    bool valid = false;
    int width = 0;
    int height = 0;
    display::WindowState state = display::WindowState::Normal;
  } reported;

  std::vector<display::Rect> invalid;  // client pixels, not merged
  bool unpresented = false;            // drawn into since the last present
  double lastPresent = -std::numeric_limits<double>::infinity();

  std::vector<Control*> controls;  // every live control, in creation order
  std::vector<Control*> tabOrder;
  bool explicitTabOrder = false;
  Control* focus = nullptr;
  Control* capture = nullptr;  // the control a mouse button went down on
  bool tearingDown = false;

  std::vector<HDC> windowDcs;  // handed out by GetDC
  std::string appliedTitle;

  // The design state, taken at the first Load.
  bool designSaved = false;
  std::string designCaption;
  COLORREF designBackColor = 0;
  int designScaleMode = 1;
  bool designBorderless = false;
  int designWidth = 320;
  int designHeight = 240;
  int designX = 0;
  int designY = 0;

  gdi::PixelView view() const;
  int frameLeft() const;
  int frameTop() const;

  // Takes a new client rectangle: reallocates the back buffer when the size
  // changed (keeping what is still inside and invalidating the new strips)
  // and re-aims every DC into it.
  void setClient(display::Rect r);
  void syncFromWindow();
  void invalidate(const display::Rect& r);
  void invalidateAll();
  // Forgets the invalid rectangles that lie inside `r`, which was just
  // painted.
  void validate(const display::Rect& r);
  void placementChanged();  // every control and window DC re-aims

  void presentNow();
  // The draw hook of DCs over the back buffer: presents at most every 16 ms.
  static void presentHook(void* context);

  // Paints the form background and every control over `r`.
  void paintRect(const display::Rect& r);
  void paintChildren(const Container* container, const display::Rect& clip);
  void syncTitle();

  // Input.
  Control* hitTest(const Container* container, int x, int y) const;
  void mouseDown(int x, int y);
  void mouseUp(int x, int y);
  void keyDown(display::Key key, bool shift);
  std::vector<Control*> focusOrder() const;
  void setFocus(Control* c);
  void moveFocus(bool backward);
  // The focus leaves `c` (disabled or hidden) for the next control.
  void focusLeaves(Control* c);
  void forget(Control* c);

  // Runs Form_Resize if the size or state changed since it last ran; false
  // when there was nothing to report.
  bool reportResize();
};

// What the runtime's own functions need of a form.
struct FormsInternals {
  static Form::Impl& impl(Form& f) { return *f.impl_; }
  // The form's internals while it is loaded, else null.
  static Form::Impl* loadedImpl(Form* f) {
    return (f != nullptr && f->loaded_) ? f->impl_.get() : nullptr;
  }
  static void teardown(Form& f, bool runEvents) { f.teardown(runEvents); }
  static void handleEvent(Form& f, const display::Event& e);
  // A DC over the whole back buffer that presents as it draws (GetDC).
  static HDC createWindowDc(Form& f);
};

}  // namespace forms

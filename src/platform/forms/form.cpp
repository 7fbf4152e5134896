// Forms: the window, the back buffer, painting, input and the form's
// properties in twips.
#include <algorithm>
#include <cstring>

#include "platform/forms/forms.h"
#include "platform/forms/internal.h"

namespace forms {

using detail::intersect;
using detail::isEmpty;

namespace {

// The direct-drawing present rate: about one frame of a 60 Hz screen.
constexpr double kPresentInterval = 0.016;

// More separate invalid rectangles than this are collapsed into their
// union; such a burst of changes repaints everything anyway.
constexpr std::size_t kMaxInvalidRects = 32;

display::WindowState toState(int s) {
  switch (s) {
    case 1: return display::WindowState::Minimized;
    case 2: return display::WindowState::Maximized;
    default: return display::WindowState::Normal;
  }
}

display::Rect unionRect(const display::Rect& a, const display::Rect& b) {
  const int l = std::min(a.x, b.x);
  const int t = std::min(a.y, b.y);
  const int r = std::max(a.x + a.width, b.x + b.width);
  const int bo = std::max(a.y + a.height, b.y + b.height);
  return display::Rect{l, t, r - l, bo - t};
}

}  // namespace

// ---- Form::Impl: buffer and geometry ---------------------------------------------

gdi::PixelView Form::Impl::view() const {
  gdi::PixelView v;
  if (pixels.empty()) return v;
  v.top = reinterpret_cast<std::uint8_t*>(const_cast<std::uint32_t*>(pixels.data()));
  v.stride = static_cast<std::ptrdiff_t>(bufferStride) * 4;
  v.width = bufferWidth;
  v.height = bufferHeight;
  v.format = gdi::PixelFormat::Xrgb32;
  return v;
}

int Form::Impl::frameLeft() const { return window ? window->frameLeft() : 0; }
int Form::Impl::frameTop() const { return window ? window->frameTop() : 0; }

void Form::Impl::setClient(display::Rect r) {
  r.width = std::max(r.width, 1);
  r.height = std::max(r.height, 1);
  const bool resized = r.width != bufferWidth || r.height != bufferHeight;
  client = r;
  if (!resized) return;
  // Rows an odd number of cache lines apart: with a power-of-two row
  // length (1024 pixels are 4096 bytes) every row of a column would fall
  // into the same cache set, and a steep line would evict its own rows.
  const int lines = (r.width * 4 + 63) / 64;
  const int stride = (lines | 1) * 16;
  std::vector<std::uint32_t> next(static_cast<std::size_t>(stride) * r.height,
                                  detail::pixelOf(self->BackColor));
  // Keep what was painted and drawn where it still fits: a picture box that
  // is drawn into directly keeps its drawing when the window grows. Only the
  // newly uncovered strips need painting.
  const int keepW = std::min(bufferWidth, r.width);
  const int keepH = std::min(bufferHeight, r.height);
  for (int y = 0; y < keepH; ++y) {
    std::memcpy(next.data() + static_cast<std::size_t>(y) * stride,
                pixels.data() + static_cast<std::size_t>(y) * bufferStride,
                static_cast<std::size_t>(keepW) * 4);
  }
  pixels.swap(next);
  bufferWidth = r.width;
  bufferStride = stride;
  bufferHeight = r.height;
  // Invalid rectangles beyond the new size are cut off by invalidate().
  std::vector<display::Rect> old;
  old.swap(invalid);
  for (const display::Rect& o : old) invalidate(o);
  if (keepW < r.width) invalidate(display::Rect{keepW, 0, r.width - keepW, r.height});
  if (keepH < r.height) invalidate(display::Rect{0, keepH, r.width, r.height - keepH});
  placementChanged();
}

void Form::Impl::syncFromWindow() {
  if (!window) return;
  state = window->state();
  setClient(window->clientRect());
}

void Form::Impl::invalidate(const display::Rect& rect) {
  if (tearingDown || pixels.empty()) return;
  const display::Rect r = intersect(rect, display::Rect{0, 0, bufferWidth, bufferHeight});
  if (isEmpty(r)) return;
  for (const display::Rect& o : invalid) {
    if (detail::containsRect(o, r)) return;
  }
  invalid.erase(std::remove_if(invalid.begin(), invalid.end(),
                               [&r](const display::Rect& o) { return detail::containsRect(r, o); }),
                invalid.end());
  // Rectangles are kept apart rather than merged: the union of two labels'
  // rectangles inside a picture box would repaint (and so erase) drawing
  // between them that nothing asked to repaint.
  invalid.push_back(r);
  if (invalid.size() > kMaxInvalidRects) {
    display::Rect u = invalid.front();
    for (const display::Rect& o : invalid) u = unionRect(u, o);
    invalid.assign(1, u);
  }
}

void Form::Impl::validate(const display::Rect& r) {
  invalid.erase(std::remove_if(invalid.begin(), invalid.end(),
                               [&r](const display::Rect& o) { return detail::containsRect(r, o); }),
                invalid.end());
}

void Form::Impl::invalidateAll() { invalidate(display::Rect{0, 0, bufferWidth, bufferHeight}); }

void Form::Impl::placementChanged() {
  for (Control* c : controls) c->placementChanged();
  const gdi::PixelView v = view();
  for (HDC dc : windowDcs) {
    gdi::SetViewDC(dc, v, gdi::POINT{0, 0}, gdi::RECT{0, 0, bufferWidth, bufferHeight});
  }
}

// ---- presenting and painting -------------------------------------------------------

void Form::Impl::presentNow() {
  if (!window || pixels.empty()) return;
  window->present(view());
  unpresented = false;
  if (detail::Runtime* rt = detail::runtime()) lastPresent = rt->clock->now();
}

void Form::Impl::presentHook(void* context) {
  // Called after every drawing call through a DC over the back buffer, so it
  // must stay cheap: one clock reading, and a present only when a frame's
  // time has passed since the last one.
  auto* im = static_cast<Form::Impl*>(context);
  im->unpresented = true;
  detail::Runtime* rt = detail::runtime();
  if (rt == nullptr) return;
  if (rt->clock->now() - im->lastPresent >= kPresentInterval) im->presentNow();
}

void Form::Impl::paintRect(const display::Rect& rect) {
  const display::Rect r = intersect(rect, display::Rect{0, 0, bufferWidth, bufferHeight});
  if (isEmpty(r)) return;
  HDC dc = gdi::CreateViewDC(view(), gdi::POINT{0, 0}, detail::toRECT(r));
  if (dc == 0) return;
  detail::fillRect(dc, r.x, r.y, r.x + r.width, r.y + r.height, self->BackColor);
  gdi::DeleteDC(dc);
  paintChildren(self, r);
}

void Form::Impl::paintChildren(const Container* container, const display::Rect& clip) {
  const gdi::PixelView v = view();
  const std::vector<Control*>& kids = container->children();
  for (std::size_t i = 0; i < kids.size(); ++i) {
    Control* c = kids[i];
    if (!c->visible_) continue;
    const display::Rect pr = c->pixelRect();
    const display::Rect cr = intersect(pr, clip);
    if (isEmpty(cr)) continue;
    HDC dc = gdi::CreateViewDC(v, gdi::POINT{pr.x, pr.y}, detail::toRECT(cr));
    if (dc == 0) continue;
    c->paint(dc, pr.width, pr.height);
    gdi::DeleteDC(dc);
    if (auto* box = dynamic_cast<PictureBox*>(c)) {
      paintChildren(box, intersect(cr, box->clientPixelRect()));
    }
  }
}

void Form::Impl::syncTitle() {
  if (window && appliedTitle != self->Caption) {
    window->setTitle(windows1252ToUtf8(self->Caption));
    appliedTitle = self->Caption;
  }
}

// ---- input ----------------------------------------------------------------------

Control* Form::Impl::hitTest(const Container* container, int x, int y) const {
  const std::vector<Control*>& kids = container->children();
  // Later controls lie on top, so the search runs backwards.
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    Control* c = *it;
    if (!c->visible_ || !detail::containsPoint(c->pixelRect(), x, y)) continue;
    if (auto* box = dynamic_cast<PictureBox*>(c)) {
      if (detail::containsPoint(box->clientPixelRect(), x, y)) {
        if (Control* inner = hitTest(box, x, y)) return inner;
      }
    }
    if (c->hitTestable()) return c;
  }
  return nullptr;
}

void Form::Impl::mouseDown(int x, int y) {
  Control* c = hitTest(self, x, y);
  capture = c;
  if (c == nullptr) return;
  if (c->focusable()) setFocus(c);
  const display::Rect r = c->pixelRect();
  c->onMouseDown(x - r.x, y - r.y);
}

void Form::Impl::mouseUp(int x, int y) {
  Control* c = capture;
  capture = nullptr;
  if (c == nullptr) return;
  const display::Rect r = c->pixelRect();
  const bool inside = detail::containsPoint(c->visibleRect(), x, y);
  // The handler may unload the form and with it the control: nothing here
  // touches either afterwards.
  c->onMouseUp(x - r.x, y - r.y, inside);
}

void Form::Impl::keyDown(display::Key key, bool shift) {
  if (key == display::Key::Tab) {
    moveFocus(shift);
    return;
  }
  if (focus != nullptr) focus->onKey(key);
}

std::vector<Control*> Form::Impl::focusOrder() const {
  return explicitTabOrder ? tabOrder : controls;
}

void Form::Impl::setFocus(Control* c) {
  if (c == focus) return;
  Control* old = focus;
  focus = c;
  if (old != nullptr) old->focusChanged();
  if (c != nullptr) c->focusChanged();
}

void Form::Impl::moveFocus(bool backward) {
  const std::vector<Control*> order = focusOrder();
  const auto n = static_cast<int>(order.size());
  if (n == 0) return;
  int start = -1;
  for (int i = 0; i < n; ++i) {
    if (order[static_cast<std::size_t>(i)] == focus) start = i;
  }
  if (start < 0) start = backward ? 0 : n - 1;
  for (int step = 1; step <= n; ++step) {
    const int i = ((start + (backward ? -step : step)) % n + n) % n;
    Control* c = order[static_cast<std::size_t>(i)];
    if (c->focusable()) {
      setFocus(c);
      return;
    }
  }
}

void Form::Impl::focusLeaves(Control* c) {
  if (focus != c) return;
  moveFocus(false);
  // Nothing else could take it.
  if (focus == c) setFocus(nullptr);
}

void Form::Impl::forget(Control* c) {
  controls.erase(std::remove(controls.begin(), controls.end(), c), controls.end());
  tabOrder.erase(std::remove(tabOrder.begin(), tabOrder.end(), c), tabOrder.end());
  if (focus == c) focus = nullptr;
  if (capture == c) capture = nullptr;
}

bool Form::Impl::reportResize() {
  if (!window || !window->visible()) return false;
  if (reported.valid && reported.width == client.width && reported.height == client.height &&
      reported.state == state) {
    return false;
  }
  reported.valid = true;
  reported.width = client.width;
  reported.height = client.height;
  reported.state = state;
  self->Form_Resize();
  return true;
}

void FormsInternals::handleEvent(Form& f, const display::Event& e) {
  Form::Impl& im = *f.impl_;
  using T = display::Event::Type;
  switch (e.type) {
    case T::MouseDown:
      if (e.button == 1) im.mouseDown(e.x, e.y);
      break;
    case T::MouseUp:
      if (e.button == 1) im.mouseUp(e.x, e.y);
      break;
    case T::KeyDown: im.keyDown(e.key, e.shift); break;
    case T::CloseRequested: f.Unload(); break;
    case T::Resized:
    case T::Moved:
    case T::StateChanged:
      // The window itself is asked rather than the event: by now it may have
      // been changed again, and an old event must not undo the newer state.
      im.syncFromWindow();
      break;
    case T::Exposed: im.presentNow(); break;
    default: break;
  }
}

HDC FormsInternals::createWindowDc(Form& f) {
  Form::Impl& im = *f.impl_;
  HDC dc = gdi::CreateViewDC(im.view(), gdi::POINT{0, 0},
                             gdi::RECT{0, 0, im.bufferWidth, im.bufferHeight});
  if (dc == 0) return 0;
  gdi::SetDrawHook(dc, &Form::Impl::presentHook, &im);
  im.windowDcs.push_back(dc);
  return dc;
}

// ---- Form ---------------------------------------------------------------------------

Form::Form(std::string name) : impl_(std::make_unique<Impl>(this)), name_(std::move(name)) {}

Form::~Form() {
  teardown(false);
  // Controls that outlive the form (nobody destroyed them) must not reach
  // back into it; those inside picture boxes reach it only through them.
  for (Control* c : children_) c->container_ = nullptr;
}

void Form::ensureLoaded() {
  if (!loaded_) Load();
}

void Form::Load() {
  if (loaded_) return;
  detail::Runtime& rt = detail::requireRuntime();
  if (rt.ending) throw RuntimeError("the program is ending: " + name_ + " does not load again");
  Impl& im = *impl_;
  if (!im.designSaved) {
    im.designSaved = true;
    im.designCaption = Caption;
    im.designBackColor = BackColor;
    im.designScaleMode = ScaleModeValue;
    im.designBorderless = borderless;
  }
  display::WindowSpec spec;
  spec.title = windows1252ToUtf8(Caption);
  spec.client = display::Rect{im.designX, im.designY, im.designWidth, im.designHeight};
  spec.borderless = borderless;
  std::unique_ptr<display::Window> w = rt.display->createWindow(spec);
  if (!w) throw RuntimeError("the window of " + name_ + " cannot be created");
  im.window = std::move(w);
  im.appliedTitle = Caption;
  im.pixels.clear();
  im.bufferWidth = im.bufferHeight = 0;
  im.reported = Impl::Reported{};
  im.invalid.clear();
  im.unpresented = false;
  im.lastPresent = -std::numeric_limits<double>::infinity();
  im.tearingDown = false;
  loaded_ = true;
  rt.forms.push_back(this);
  im.syncFromWindow();
  createControls();
  im.invalidateAll();
  Form_Load();
}

void Form::Show() {
  ensureLoaded();
  Impl& im = *impl_;
  im.syncTitle();
  im.window->setVisible(true);
  im.window->raise();
  im.window->focus();
  if (im.focus == nullptr) im.moveFocus(false);
  for (int round = 0; round < 8 && loaded_; ++round) {
    if (!im.reportResize()) break;
  }
  if (loaded_) repaint();
}

void Form::Unload() { teardown(true); }

void Form::teardown(bool runEvents) {
  if (!loaded_) return;
  Impl& im = *impl_;
  if (runEvents) {
    Form_Unload();
    if (!loaded_) return;  // Form_Unload unloaded it itself
  }
  im.tearingDown = true;
  for (HDC dc : im.windowDcs) gdi::DeleteDC(dc);
  im.windowDcs.clear();
  destroyControls();
  const bool hadFocus = im.window && im.window->hasFocus();
  // Controls the program kept must not draw into the freed buffer.
  im.pixels.clear();
  im.pixels.shrink_to_fit();
  im.bufferWidth = im.bufferHeight = 0;
  for (Control* c : im.controls) c->placementChanged();
  im.window.reset();
  loaded_ = false;
  if (detail::Runtime* rt = detail::runtime()) {
    if (rt->startupForm == this) rt->ending = true;
    rt->forms.erase(std::remove(rt->forms.begin(), rt->forms.end(), this), rt->forms.end());
    if (hadFocus) {
      // The focus goes back to the window that was shown before, as the user
      // expects when a window on top of it closes.
      for (auto it = rt->forms.rbegin(); it != rt->forms.rend(); ++it) {
        display::Window* w = (*it)->window();
        if (w != nullptr && w->visible()) {
          w->focus();
          break;
        }
      }
    }
  }
  im.invalid.clear();
  im.focus = nullptr;
  im.capture = nullptr;
  im.tabOrder.clear();
  im.explicitTabOrder = false;
  im.reported = Impl::Reported{};
  im.client = display::Rect{0, 0, 0, 0};
  im.state = display::WindowState::Normal;
  if (im.designSaved) {
    Caption = im.designCaption;
    BackColor = im.designBackColor;
    ScaleModeValue = im.designScaleMode;
    borderless = im.designBorderless;
  }
  im.tearingDown = false;
}

float Form::Left() {
  ensureLoaded();
  return static_cast<float>(impl_->client.x - impl_->frameLeft()) * kTwipsPerPixel;
}

float Form::Top() {
  ensureLoaded();
  return static_cast<float>(impl_->client.y - impl_->frameTop()) * kTwipsPerPixel;
}

float Form::Width() {
  ensureLoaded();
  return static_cast<float>(impl_->client.width + impl_->window->frameWidth()) * kTwipsPerPixel;
}

float Form::Height() {
  ensureLoaded();
  return static_cast<float>(impl_->client.height + impl_->window->frameHeight()) * kTwipsPerPixel;
}

void Form::setLeft(float twips) { Move(twips, Top()); }
void Form::setTop(float twips) { Move(Left(), twips); }
void Form::setWidth(float twips) { Move(Left(), Top(), twips, Height()); }
void Form::setHeight(float twips) { Move(Left(), Top(), Width(), twips); }

void Form::Move(float left, float top) {
  ensureLoaded();
  Move(left, top, Width(), Height());
}

void Form::Move(float left, float top, float width, float height) {
  ensureLoaded();
  Impl& im = *impl_;
  display::Window& w = *im.window;
  // Each value is converted on its own, as the window manager takes outer
  // pixels; the client area is what the frame leaves.
  display::Rect r;
  r.x = detail::unitsToPixels(left, 1.0f) + im.frameLeft();
  r.y = detail::unitsToPixels(top, 1.0f) + im.frameTop();
  r.width = std::max(1, detail::unitsToPixels(width, 1.0f) - w.frameWidth());
  r.height = std::max(1, detail::unitsToPixels(height, 1.0f) - w.frameHeight());
  const display::Rect cur = im.client;
  if (r.x == cur.x && r.y == cur.y && r.width == cur.width && r.height == cur.height) return;
  w.setClientRect(r);
  im.setClient(r);
}

float Form::ScaleWidth() {
  ensureLoaded();
  return static_cast<float>(impl_->client.width) * kTwipsPerPixel / unitsToTwips();
}

float Form::ScaleHeight() {
  ensureLoaded();
  return static_cast<float>(impl_->client.height) * kTwipsPerPixel / unitsToTwips();
}

int Form::WindowState() {
  ensureLoaded();
  return static_cast<int>(impl_->state);
}

void Form::setWindowState(int state) {
  ensureLoaded();
  Impl& im = *impl_;
  im.window->setState(toState(state));
  // Maximising and restoring move the window; its rectangle now is the one
  // the state gave it.
  im.syncFromWindow();
}

HWND Form::hWnd() {
  ensureLoaded();
  return impl_->window->id();
}

void Form::setDesignClientSize(int widthPixels, int heightPixels) {
  impl_->designWidth = std::max(1, widthPixels);
  impl_->designHeight = std::max(1, heightPixels);
}

void Form::setDesignPosition(int xPixels, int yPixels) {
  impl_->designX = xPixels;
  impl_->designY = yPixels;
}

void Form::setTabOrder(std::vector<Control*> order) {
  Impl& im = *impl_;
  // Only live controls of this form can take part.
  order.erase(std::remove_if(order.begin(), order.end(),
                             [&im](Control* c) {
                               return std::find(im.controls.begin(), im.controls.end(), c) ==
                                      im.controls.end();
                             }),
              order.end());
  im.tabOrder = std::move(order);
  im.explicitTabOrder = true;
}

Control* Form::focusedControl() const { return impl_->focus; }

display::Rect Form::clientPixelRect() const {
  return display::Rect{0, 0, impl_->bufferWidth, impl_->bufferHeight};
}

gdi::PixelView Form::backBuffer() const { return impl_->view(); }

display::Window* Form::window() const { return impl_->window.get(); }

void Form::repaint() {
  if (!loaded_) return;
  Impl& im = *impl_;
  im.syncTitle();
  if (im.invalid.empty() && !im.unpresented) return;
  std::vector<display::Rect> rects;
  rects.swap(im.invalid);
  for (const display::Rect& r : rects) im.paintRect(r);
  im.presentNow();
}

void Form::present() {
  if (loaded_) impl_->presentNow();
}

}  // namespace forms

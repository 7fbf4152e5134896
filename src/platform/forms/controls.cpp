// Controls: the common base (geometry, visibility, focus, invalidation),
// labels, command buttons, option buttons and lines.
#include <algorithm>
#include <cmath>

#include "platform/forms/forms.h"
#include "platform/forms/internal.h"

namespace forms {

using detail::intersect;

namespace {

// Geometry never raises an error: a control placed absurdly far away is
// simply out of sight, so its pixels are clamped instead of overflowing.
int geometryPixels(double units, float unitsToTwips) {
  constexpr double kLimit = 1 << 28;
  const double px = std::nearbyint(units * unitsToTwips / kTwipsPerPixel);
  if (!(px > -kLimit)) return static_cast<int>(-kLimit);
  if (!(px < kLimit)) return static_cast<int>(kLimit);
  return static_cast<int>(px);
}

auto* loadedImpl(Form* f) { return FormsInternals::loadedImpl(f); }

}  // namespace

// ---- Control ------------------------------------------------------------------------

Control::Control(Container* container, std::string name, float left, float top, float width,
                 float height)
    : container_(container),
      name_(std::move(name)),
      left_(left),
      top_(top),
      width_(width),
      height_(height) {
  if (container_ == nullptr) return;
  container_->children_.push_back(this);
  if (Form* f = container_->form()) FormsInternals::impl(*f).controls.push_back(this);
  invalidate();
}

Control::~Control() {
  if (container_ == nullptr) return;
  if (Form::Impl* im = loadedImpl(container_->form())) {
    im->invalidate(visibleRect());
    im->forget(this);
  } else if (Form* f = container_->form()) {
    FormsInternals::impl(*f).forget(this);
  }
  auto& kids = container_->children_;
  kids.erase(std::remove(kids.begin(), kids.end(), this), kids.end());
}

Form* Control::form() const { return container_ != nullptr ? container_->form() : nullptr; }

display::Rect Control::pixelRect() const {
  if (container_ == nullptr) return display::Rect{0, 0, 0, 0};
  const display::Rect c = container_->clientPixelRect();
  const float u = container_->unitsToTwips();
  return display::Rect{c.x + geometryPixels(left_, u), c.y + geometryPixels(top_, u),
                       std::max(0, geometryPixels(width_, u)),
                       std::max(0, geometryPixels(height_, u))};
}

bool Control::effectivelyVisible() const {
  return visible_ && container_ != nullptr && container_->shows();
}

display::Rect Control::visibleRect() const {
  if (!effectivelyVisible()) return display::Rect{0, 0, 0, 0};
  return intersect(pixelRect(), container_->visibleClientRect());
}

void Control::invalidate() {
  if (Form::Impl* im = loadedImpl(form())) im->invalidate(visibleRect());
}

void Control::setGeometry(float left, float top, float width, float height) {
  // Setting what is already there changes nothing and repaints nothing, so
  // a resize handler that places a drawing surface where it already lies
  // does not wipe what was drawn on it.
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  Form::Impl* im = loadedImpl(form());
  const display::Rect before = visibleRect();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (im == nullptr) return;
  im->invalidate(before);
  im->invalidate(visibleRect());
  im->placementChanged();
}

void Control::setLeft(float v) { setGeometry(v, top_, width_, height_); }
void Control::setTop(float v) { setGeometry(left_, v, width_, height_); }
void Control::setWidth(float v) { setGeometry(left_, top_, v, height_); }
void Control::setHeight(float v) { setGeometry(left_, top_, width_, v); }
void Control::Move(float left, float top, float width, float height) {
  setGeometry(left, top, width, height);
}

void Control::setVisible(bool v) {
  if (v == visible_) return;
  Form::Impl* im = loadedImpl(form());
  const display::Rect before = visibleRect();
  visible_ = v;
  if (im == nullptr) return;
  im->invalidate(before);
  im->invalidate(visibleRect());
  im->placementChanged();
  // Hiding the focused control (or its container) passes the focus on.
  if (im->focus != nullptr && !im->focus->focusable()) im->focusLeaves(im->focus);
}

bool Control::hasFocusImpl() const {
  Form* f = form();
  return f != nullptr && FormsInternals::impl(*f).focus == this;
}

void Control::takeFocus() {
  Form::Impl* im = loadedImpl(form());
  if (im == nullptr || !focusable()) throw RuntimeError("the control " + name_ + " cannot take the focus");
  im->setFocus(this);
}

// ---- Label --------------------------------------------------------------------------------

Label::Label(Container* c, std::string name, float left, float top, float width, float height,
             std::string caption)
    : Control(c, std::move(name), left, top, width, height), caption_(std::move(caption)) {}

void Label::setCaption(std::string text) {
  if (text == caption_) return;
  caption_ = std::move(text);
  applyAutoSize();
}

void Label::applyAutoSize() {
  invalidate();
  if (!AutoSize || container_ == nullptr) return;
  int width = 0;
  const std::vector<std::string> lines = detail::splitLines(caption_);
  for (const std::string& line : lines) {
    width = std::max<int>(width, detail::measureText(Font.name, Font.size, Font.bold, line).cx);
  }
  int height = static_cast<int>(lines.size()) * detail::lineHeight(Font.name, Font.size, Font.bold);
  if (BorderStyle == 1) {
    width += 2;
    height += 2;
  }
  // The label grows and shrinks to the right and downwards: its left edge
  // and top stay where the program put them.
  const float perPixel = kTwipsPerPixel / container_->unitsToTwips();
  setGeometry(left_, top_, static_cast<float>(width) * perPixel,
              static_cast<float>(height) * perPixel);
  invalidate();
}

void Label::Refresh() {
  invalidate();
  if (Form* f = form()) f->repaint();
}

void Label::paint(HDC dc, int width, int height) {
  if (BackStyle != 0) detail::fillRect(dc, 0, 0, width, height, BackColor);
  int inset = 0;
  if (BorderStyle == 1) {
    detail::frameRect(dc, 0, 0, width, height, gdi::RGB(0, 0, 0));
    inset = 1;
  }
  detail::ScopedObject font(dc, detail::createFont(Font.name, Font.size, Font.bold));
  gdi::TEXTMETRICA tm{};
  gdi::GetTextMetricsA(dc, &tm);
  int y = inset;
  for (const std::string& line : detail::splitLines(caption_)) {
    gdi::SIZE ext{0, 0};
    gdi::GetTextExtentPoint32A(dc, line.data(), static_cast<int>(line.size()), &ext);
    int x = inset;
    if (Alignment == 1) x = width - inset - ext.cx;
    if (Alignment == 2) x = (width - ext.cx) / 2;
    detail::drawText(dc, x, y, line, ForeColor);
    y += tm.tmHeight;
  }
}

// ---- CommandButton ----------------------------------------------------------------------

CommandButton::CommandButton(Container* c, std::string name, float left, float top, float width,
                             float height, std::string caption)
    : Control(c, std::move(name), left, top, width, height), caption_(std::move(caption)) {}

void CommandButton::setCaption(std::string text) {
  if (text == caption_) return;
  caption_ = std::move(text);
  invalidate();
}

void CommandButton::setEnabled(bool e) {
  if (e == enabled_) return;
  enabled_ = e;
  if (!e) pressed_ = false;
  invalidate();
  if (!e) {
    if (auto* im = loadedImpl(form())) im->focusLeaves(this);
  }
}

void CommandButton::SetFocus() { takeFocus(); }

bool CommandButton::hasFocus() const { return hasFocusImpl(); }

void CommandButton::press() {
  if (!enabled_) return;
  // The handler runs from a copy: it may unload the form, which destroys
  // this button and its Click member while the handler is still running.
  const std::function<void()> handler = Click;
  if (handler) handler();
}

void CommandButton::onMouseDown(int, int) {
  if (!enabled_) return;
  pressed_ = true;
  invalidate();
}

void CommandButton::onMouseUp(int, int, bool inside) {
  const bool wasPressed = pressed_;
  pressed_ = false;
  invalidate();
  if (wasPressed && inside) press();
}

void CommandButton::onKey(display::Key k) {
  if (k == display::Key::Enter || k == display::Key::Space) press();
}

void CommandButton::paint(HDC dc, int width, int height) {
  detail::fillRect(dc, 0, 0, width, height, detail::kFace);
  int shift = 0;
  if (pressed_) {
    detail::sunkenEdge(dc, 0, 0, width, height);
    shift = 1;  // the caption sinks with the face
  } else {
    detail::raisedEdge(dc, 0, 0, width, height);
  }
  detail::ScopedObject font(dc, detail::createFont(Font.name, Font.size, Font.bold));
  gdi::TEXTMETRICA tm{};
  gdi::GetTextMetricsA(dc, &tm);
  gdi::SIZE ext{0, 0};
  gdi::GetTextExtentPoint32A(dc, caption_.data(), static_cast<int>(caption_.size()), &ext);
  const int x = (width - ext.cx) / 2 + shift;
  const int y = (height - tm.tmHeight) / 2 + shift;
  if (enabled_) {
    detail::drawText(dc, x, y, caption_, gdi::RGB(0, 0, 0));
  } else {
    // Disabled text is etched: a light copy below and to the right of the
    // grey one.
    detail::drawText(dc, x + 1, y + 1, caption_, detail::kHighlight);
    detail::drawText(dc, x, y, caption_, detail::kGrayText);
  }
  if (hasFocusImpl()) detail::dottedRect(dc, 3, 3, width - 3, height - 3, gdi::RGB(0, 0, 0));
}

// ---- OptionButton -------------------------------------------------------------------------

OptionButton::OptionButton(Container* c, std::string name, int index, float left, float top,
                           float width, float height, std::string caption)
    : Control(c, std::move(name), left, top, width, height),
      index_(index),
      caption_(std::move(caption)) {}

OptionButton::~OptionButton() {
  for (OptionButton* p : group_) {
    if (p == this) continue;
    p->group_.erase(std::remove(p->group_.begin(), p->group_.end(), this), p->group_.end());
  }
}

void OptionButton::group(const std::vector<OptionButton*>& members) {
  for (OptionButton* m : members) m->group_ = members;
}

void OptionButton::setValue(bool v) {
  if (v == value_) return;
  value_ = v;
  invalidate();
  if (!v) return;
  for (OptionButton* p : group_) {
    if (p != this && p->value_) {
      p->value_ = false;
      p->invalidate();
    }
  }
}

void OptionButton::press() {
  setValue(true);
  const std::function<void(int)> handler = Click;  // see CommandButton::press
  if (handler) handler(index_);
}

void OptionButton::SetFocus() { takeFocus(); }

bool OptionButton::hasFocus() const { return hasFocusImpl(); }

void OptionButton::onMouseUp(int, int, bool inside) {
  if (inside) press();
}

void OptionButton::onKey(display::Key k) {
  using display::Key;
  if (k == Key::Space) {
    press();
    return;
  }
  const bool back = k == Key::Left || k == Key::Up;
  const bool forward = k == Key::Right || k == Key::Down;
  if ((!back && !forward) || group_.size() < 2) return;
  // The arrows walk the group in its order, as a user steps through the
  // choices: the next one takes the focus and is chosen.
  const auto n = static_cast<int>(group_.size());
  const auto self = static_cast<int>(std::find(group_.begin(), group_.end(), this) - group_.begin());
  for (int step = 1; step < n; ++step) {
    OptionButton* next = group_[static_cast<std::size_t>(((self + (back ? -step : step)) % n + n) % n)];
    if (!next->focusable()) continue;
    next->takeFocus();
    next->press();
    return;
  }
}

void OptionButton::paint(HDC dc, int width, int height) {
  detail::fillRect(dc, 0, 0, width, height, detail::kFace);
  constexpr int kMark = 13;  // the diameter of the round mark
  const int top = (height - kMark) / 2;
  {
    detail::ScopedObject pen(dc, gdi::CreatePen(gdi::PS_SOLID, 1, detail::kShadow));
    detail::ScopedObject brush(dc, gdi::CreateSolidBrush(gdi::RGB(255, 255, 255)));
    gdi::Ellipse(dc, 0, top, kMark, top + kMark);
  }
  if (value_) {
    detail::ScopedObject pen(dc, gdi::CreatePen(gdi::PS_SOLID, 1, gdi::RGB(0, 0, 0)));
    detail::ScopedObject brush(dc, gdi::CreateSolidBrush(gdi::RGB(0, 0, 0)));
    gdi::Ellipse(dc, 4, top + 4, kMark - 4, top + kMark - 4);
  }
  detail::ScopedObject font(dc, detail::createFont(Font.name, Font.size, Font.bold));
  gdi::TEXTMETRICA tm{};
  gdi::GetTextMetricsA(dc, &tm);
  gdi::SIZE ext{0, 0};
  gdi::GetTextExtentPoint32A(dc, caption_.data(), static_cast<int>(caption_.size()), &ext);
  const int x = kMark + 4;
  const int y = (height - tm.tmHeight) / 2;
  detail::drawText(dc, x, y, caption_, gdi::RGB(0, 0, 0));
  if (hasFocusImpl()) {
    detail::dottedRect(dc, x - 2, y, std::min(width, x + ext.cx + 2), y + tm.tmHeight,
                       gdi::RGB(0, 0, 0));
  }
}

// ---- Line ------------------------------------------------------------------------------------

namespace {
float onePixel(const Container* c) { return c != nullptr ? kTwipsPerPixel / c->unitsToTwips() : 1; }
}  // namespace

Line::Line(Container* c, std::string name, float x1, float y1, float x2, float y2, COLORREF color)
    : Control(c, std::move(name), std::min(x1, x2), std::min(y1, y2),
              std::fabs(x2 - x1) + onePixel(c), std::fabs(y2 - y1) + onePixel(c)),
      BorderColor(color),
      x1_(x1),
      y1_(y1),
      x2_(x2),
      y2_(y2) {}

void Line::paint(HDC dc, int, int) {
  const float u = container_ != nullptr ? container_->unitsToTwips() : kTwipsPerPixel;
  const int ax = geometryPixels(x1_ - left_, u);
  const int ay = geometryPixels(y1_ - top_, u);
  const int bx = geometryPixels(x2_ - left_, u);
  const int by = geometryPixels(y2_ - top_, u);
  detail::ScopedObject pen(dc, gdi::CreatePen(gdi::PS_SOLID, 1, BorderColor));
  gdi::MoveToEx(dc, ax, ay, nullptr);
  gdi::LineTo(dc, bx, by);
  // LineTo leaves out its end point; the line control shows both ends.
  gdi::SetPixel(dc, bx, by, BorderColor);
}

}  // namespace forms

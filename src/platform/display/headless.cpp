#include "platform/display/headless.h"

#include <algorithm>
#include <cstring>

#include "platform/display/png.h"

namespace display {

namespace {

// Neither backend accepts an empty client area (an SDL window cannot have
// one), so both clamp sizes the same way and report the same rectangles.
Rect clampSize(Rect r) {
  r.width = std::max(r.width, 1);
  r.height = std::max(r.height, 1);
  return r;
}

Event makeEvent(Event::Type type, WindowId window) {
  Event e;
  e.type = type;
  e.window = window;
  return e;
}

// A window takes part in the screen (composition, clicks, focus) only while
// it is shown and not minimised.
bool onScreen(const HeadlessWindow& w) {
  return w.visible() && w.state() != WindowState::Minimized;
}

bool contains(const Rect& r, int x, int y) {
  // 64-bit sums: a window placed near INT_MAX must not wrap around.
  const long long right = static_cast<long long>(r.x) + r.width;
  const long long bottom = static_cast<long long>(r.y) + r.height;
  return x >= r.x && y >= r.y && x < right && y < bottom;
}

// min(start + size, limit), summed in 64 bits so that no position wraps.
int clippedEnd(int start, int size, int limit) {
  return static_cast<int>(std::min<long long>(limit, static_cast<long long>(start) + size));
}

// Copies one row of `count` pixels of a view into Xrgb32 words.
void copyRow(const gdi::PixelView& view, int y, int count, std::uint32_t* dst) {
  const std::uint8_t* src = view.top + static_cast<std::ptrdiff_t>(y) * view.stride;
  if (view.format == gdi::PixelFormat::Xrgb32) {
    std::memcpy(dst, src, static_cast<std::size_t>(count) * 4);
    return;
  }
  for (int x = 0; x < count; ++x) {
    const std::uint8_t* p = src + static_cast<std::ptrdiff_t>(x) * 3;
    dst[x] = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
             static_cast<std::uint32_t>(p[2]) << 16;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// HeadlessDisplay

HeadlessDisplay::HeadlessDisplay(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)) {}

HeadlessDisplay::~HeadlessDisplay() {
  // Windows may outlive the display (the forms runtime tears down in its own
  // order); they become inert instead of reaching back into freed memory.
  for (HeadlessWindow* w : windows_) w->owner_ = nullptr;
}

std::unique_ptr<Window> HeadlessDisplay::createWindow(const WindowSpec& spec) {
  return std::make_unique<HeadlessWindow>(this, nextId_++, spec);
}

bool HeadlessDisplay::pollEvent(Event* out) {
  if (queue_.empty()) return false;
  *out = queue_.front();
  queue_.pop_front();
  return true;
}

void HeadlessDisplay::click(int screenX, int screenY) {
  HeadlessWindow* w = windowAt(screenX, screenY);
  if (w == nullptr) return;
  // A click activates the window under it, as a click-to-focus window
  // manager does, before the button events reach it.
  toTop(w);
  setFocus(w);
  Event down = makeEvent(Event::Type::MouseDown, w->id_);
  down.x = screenX - w->rect_.x;
  down.y = screenY - w->rect_.y;
  down.button = 1;
  Event up = down;
  up.type = Event::Type::MouseUp;
  queue_.push_back(down);
  queue_.push_back(up);
}

void HeadlessDisplay::pressKey(Key k, bool shift) {
  if (focus_ == nullptr) return;
  Event down = makeEvent(Event::Type::KeyDown, focus_->id_);
  down.key = k;
  down.shift = shift;
  Event up = down;
  up.type = Event::Type::KeyUp;
  queue_.push_back(down);
  queue_.push_back(up);
}

void HeadlessDisplay::setFrame(int left, int top, int right, int bottom) {
  frameLeft_ = std::max(left, 0);
  frameTop_ = std::max(top, 0);
  frameRight_ = std::max(right, 0);
  frameBottom_ = std::max(bottom, 0);
}

void HeadlessDisplay::requestClose(WindowId w) {
  if (find(w) == nullptr) return;
  queue_.push_back(makeEvent(Event::Type::CloseRequested, w));
}

std::vector<const HeadlessWindow*> HeadlessDisplay::stack() const {
  return {windows_.begin(), windows_.end()};
}

const HeadlessWindow* HeadlessDisplay::find(WindowId id) const {
  for (const HeadlessWindow* w : windows_) {
    if (w->id_ == id) return w;
  }
  return nullptr;
}

const HeadlessWindow* HeadlessDisplay::focused() const { return focus_; }

std::vector<std::uint32_t> HeadlessDisplay::composeScreen() const {
  std::vector<std::uint32_t> screen(static_cast<std::size_t>(width_) * height_, 0);
  for (const HeadlessWindow* w : windows_) {
    if (!onScreen(*w)) continue;
    const Rect& r = w->rect_;
    const int x0 = std::max(r.x, 0);
    const int y0 = std::max(r.y, 0);
    const int x1 = clippedEnd(r.x, r.width, width_);
    const int y1 = clippedEnd(r.y, r.height, height_);
    if (x0 >= x1 || y0 >= y1) continue;
    // The window covers its whole client rect; what it has not presented
    // yet (never, or not since it grew) shows as black.
    const int copyX1 = clippedEnd(r.x, w->pixelsWidth_, x1);
    for (int y = y0; y < y1; ++y) {
      std::uint32_t* dst = screen.data() + static_cast<std::size_t>(y) * width_;
      const int wy = y - r.y;
      int x = x0;
      if (wy < w->pixelsHeight_ && x0 < copyX1) {
        const std::uint32_t* src =
            w->pixels_.data() + static_cast<std::size_t>(wy) * w->pixelsWidth_ + (x0 - r.x);
        std::memcpy(dst + x0, src, static_cast<std::size_t>(copyX1 - x0) * 4);
        x = copyX1;
      }
      std::fill(dst + x, dst + x1, 0u);
    }
  }
  return screen;
}

bool HeadlessDisplay::snapshotScreen(const std::string& pngPath) const {
  std::vector<std::uint32_t> screen = composeScreen();
  gdi::PixelView view;
  view.top = reinterpret_cast<std::uint8_t*>(screen.data());
  view.stride = static_cast<std::ptrdiff_t>(width_) * 4;
  view.width = width_;
  view.height = height_;
  view.format = gdi::PixelFormat::Xrgb32;
  return writePng(pngPath, view);
}

bool HeadlessDisplay::snapshotWindow(WindowId id, const std::string& pngPath) const {
  const HeadlessWindow* w = find(id);
  if (w == nullptr) return false;
  // The picture is what the client area shows now: the last presented
  // pixels, cut or padded with black to the current client size.
  const int width = w->rect_.width;
  const int height = w->rect_.height;
  std::vector<std::uint32_t> image(static_cast<std::size_t>(width) * height, 0);
  const int cols = std::min(width, w->pixelsWidth_);
  const int rows = std::min(height, w->pixelsHeight_);
  for (int y = 0; y < rows; ++y) {
    std::memcpy(image.data() + static_cast<std::size_t>(y) * width,
                w->pixels_.data() + static_cast<std::size_t>(y) * w->pixelsWidth_,
                static_cast<std::size_t>(cols) * 4);
  }
  gdi::PixelView view;
  view.top = reinterpret_cast<std::uint8_t*>(image.data());
  view.stride = static_cast<std::ptrdiff_t>(width) * 4;
  view.width = width;
  view.height = height;
  view.format = gdi::PixelFormat::Xrgb32;
  return writePng(pngPath, view);
}

void HeadlessDisplay::remove(HeadlessWindow* w) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end());
  // Events still queued for a destroyed window would name an id nobody
  // knows any more; the SDL backend drops such events too.
  const WindowId id = w->id_;
  queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                              [id](const Event& e) { return e.window == id; }),
               queue_.end());
  if (focus_ == w) {
    // The destroyed window gets no FocusLost: nobody could receive it.
    focus_ = nullptr;
    handOverFocus(nullptr);
  }
}

void HeadlessDisplay::toTop(HeadlessWindow* w) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end());
  if (w->topmost_) {
    windows_.push_back(w);
    return;
  }
  // The top of the ordinary band is just below the first topmost window.
  auto firstTopmost = std::find_if(windows_.begin(), windows_.end(),
                                   [](const HeadlessWindow* o) { return o->topmost_; });
  windows_.insert(firstTopmost, w);
}

void HeadlessDisplay::setFocus(HeadlessWindow* w) {
  if (focus_ == w) return;
  if (focus_ != nullptr) queue_.push_back(makeEvent(Event::Type::FocusLost, focus_->id_));
  focus_ = w;
  if (w != nullptr) queue_.push_back(makeEvent(Event::Type::FocusGained, w->id_));
}

void HeadlessDisplay::handOverFocus(const HeadlessWindow* leaving) {
  // The focus goes to the window the user sees on top, which is the main
  // window once the test window has gone.
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if (*it != leaving && onScreen(**it)) {
      setFocus(*it);
      return;
    }
  }
  setFocus(nullptr);
}

HeadlessWindow* HeadlessDisplay::windowAt(int screenX, int screenY) const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if (onScreen(**it) && contains((*it)->rect_, screenX, screenY)) return *it;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// HeadlessWindow

HeadlessWindow::HeadlessWindow(HeadlessDisplay* owner, WindowId id, const WindowSpec& spec)
    : owner_(owner),
      id_(id),
      title_(spec.title),
      rect_(clampSize(spec.client)),
      topmost_(spec.topmost),
      borderless_(spec.borderless) {
  // A new window starts on top of its band, hidden.
  if (owner_ != nullptr) owner_->toTop(this);
  if (owner_ != nullptr && !borderless_) {
    frame_ = Rect{owner_->frameLeft_, owner_->frameTop_, owner_->frameLeft_ + owner_->frameRight_,
                  owner_->frameTop_ + owner_->frameBottom_};
  }
}

HeadlessWindow::~HeadlessWindow() {
  if (owner_ != nullptr) owner_->remove(this);
}

void HeadlessWindow::post(Event::Type type) {
  if (owner_ != nullptr) owner_->queue_.push_back(makeEvent(type, id_));
}

void HeadlessWindow::applyRect(const Rect& requested) {
  const Rect r = clampSize(requested);
  const bool moved = r.x != rect_.x || r.y != rect_.y;
  const bool resized = r.width != rect_.width || r.height != rect_.height;
  rect_ = r;
  if (owner_ == nullptr) return;
  // The same notifications a window manager sends back after a
  // configure request, so the forms runtime sees one event flow.
  if (moved) {
    Event e = makeEvent(Event::Type::Moved, id_);
    e.x = r.x;
    e.y = r.y;
    owner_->queue_.push_back(e);
  }
  if (resized) {
    Event e = makeEvent(Event::Type::Resized, id_);
    e.width = r.width;
    e.height = r.height;
    owner_->queue_.push_back(e);
  }
}

void HeadlessWindow::setClientRect(const Rect& r) { applyRect(r); }

void HeadlessWindow::setVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (owner_ == nullptr) return;
  if (visible) {
    if (state_ != WindowState::Minimized) post(Event::Type::Exposed);
  } else if (owner_->focus_ == this) {
    owner_->handOverFocus(this);
  }
}

void HeadlessWindow::setTopmost(bool topmost) {
  if (topmost == topmost_) return;
  topmost_ = topmost;
  // Entering or leaving the topmost band lands the window on top of the
  // band it joins, as SetWindowPos does with either insert-after handle.
  if (owner_ != nullptr) owner_->toTop(this);
}

void HeadlessWindow::setState(WindowState s) {
  if (s == state_) return;
  const bool wasOnScreen = onScreen(*this);
  state_ = s;
  if (owner_ == nullptr) return;
  Event changed = makeEvent(Event::Type::StateChanged, id_);
  changed.state = s;
  owner_->queue_.push_back(changed);
  if (s == WindowState::Maximized) {
    if (!restored_) restored_ = rect_;
    // The frame fits the screen; the client area is what it leaves.
    applyRect({frame_.x, frame_.y, owner_->width_ - frame_.width, owner_->height_ - frame_.height});
  } else if (s == WindowState::Normal && restored_) {
    const Rect back = *restored_;
    restored_.reset();
    applyRect(back);
  }
  // Minimising keeps both rectangles, so the window comes back as it was.
  const bool isOnScreen = onScreen(*this);
  if (isOnScreen && !wasOnScreen) post(Event::Type::Exposed);
  if (!isOnScreen && owner_->focus_ == this) owner_->handOverFocus(this);
}

void HeadlessWindow::raise() {
  if (owner_ != nullptr) owner_->toTop(this);
}

void HeadlessWindow::focus() {
  // A window that is not on the screen cannot take the keyboard focus (an
  // X server refuses it for an unmapped window too).
  if (owner_ == nullptr || !onScreen(*this)) return;
  owner_->toTop(this);
  owner_->setFocus(this);
}

bool HeadlessWindow::hasFocus() const { return owner_ != nullptr && owner_->focus_ == this; }

void HeadlessWindow::present(const gdi::PixelView& view) {
  const int width = rect_.width;
  const int height = rect_.height;
  pixels_.resize(static_cast<std::size_t>(width) * height);
  pixelsWidth_ = width;
  pixelsHeight_ = height;
  ++presents_;
  const bool valid = view.top != nullptr && view.width > 0 && view.height > 0;
  const int cols = valid ? std::min(width, static_cast<int>(view.width)) : 0;
  const int rows = valid ? std::min(height, static_cast<int>(view.height)) : 0;
  for (int y = 0; y < height; ++y) {
    std::uint32_t* dst = pixels_.data() + static_cast<std::size_t>(y) * width;
    int filled = 0;
    if (y < rows) {
      copyRow(view, y, cols, dst);
      filled = cols;
    }
    // Whatever the view does not cover is black, never a previous frame.
    std::fill(dst + filled, dst + width, 0u);
  }
}

void HeadlessWindow::setIcon(const gdi::PixelView& small32, const gdi::PixelView& large48) {
  hasIcon_ = small32.top != nullptr || large48.top != nullptr;
}

}  // namespace display

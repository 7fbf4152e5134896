// The headless display: an in-memory screen on which windows are stacked
// (topmost band above the rest, raised windows on top of their band), an
// in-process clipboard, input injected by the caller, PNG snapshots.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/display/display.h"

namespace display {

class HeadlessWindow;

class HeadlessDisplay : public Display {
 public:
  explicit HeadlessDisplay(int width = 1024, int height = 768);
  ~HeadlessDisplay() override;

  std::unique_ptr<Window> createWindow(const WindowSpec& spec) override;
  bool pollEvent(Event* out) override;
  // Nothing arrives from outside: waiting returns what is queued, at once.
  bool waitEvent(Event* out, int) override { return pollEvent(out); }
  int screenWidth() const override { return width_; }
  int screenHeight() const override { return height_; }
  void setCursor(Cursor c) override { cursor_ = c; }
  Cursor cursor() const override { return cursor_; }
  void setClipboardText(const std::string& utf8) override { clipboard_ = utf8; }
  void clearClipboard() override { clipboard_.clear(); }
  std::string clipboardText() const override { return clipboard_; }

  // Input, as a user would give it. Clicks go to the topmost visible window
  // under the screen point (which also takes the focus); keys go to the
  // focused window.
  void injectEvent(const Event& e) { queue_.push_back(e); }
  void click(int screenX, int screenY);
  void pressKey(Key k, bool shift = false);
  void requestClose(WindowId w);
  // The frame a window manager would put around every window that is not
  // borderless (none by default, as on a bare X server): windows created
  // afterwards report it, and maximising fits the frame to the screen.
  void setFrame(int left, int top, int right, int bottom);

  // The windows, bottom to top, as the screen stacks them.
  std::vector<const HeadlessWindow*> stack() const;
  const HeadlessWindow* find(WindowId id) const;
  const HeadlessWindow* focused() const;

  // The screen composed from the windows' last presented pixels (black
  // where no window is), as Xrgb32 rows.
  std::vector<std::uint32_t> composeScreen() const;
  bool snapshotScreen(const std::string& pngPath) const;
  bool snapshotWindow(WindowId id, const std::string& pngPath) const;

 private:
  friend class HeadlessWindow;
  void remove(HeadlessWindow* w);
  void toTop(HeadlessWindow* w);
  void setFocus(HeadlessWindow* w);
  // Gives the focus to the topmost window on the screen other than `leaving`.
  void handOverFocus(const HeadlessWindow* leaving);
  HeadlessWindow* windowAt(int screenX, int screenY) const;

  int width_;
  int height_;
  Cursor cursor_ = Cursor::Default;
  std::string clipboard_;
  std::deque<Event> queue_;
  std::vector<HeadlessWindow*> windows_;  // bottom to top
  HeadlessWindow* focus_ = nullptr;
  WindowId nextId_ = 1;
  int frameLeft_ = 0, frameTop_ = 0, frameRight_ = 0, frameBottom_ = 0;
};

class HeadlessWindow : public Window {
 public:
  HeadlessWindow(HeadlessDisplay* owner, WindowId id, const WindowSpec& spec);
  ~HeadlessWindow() override;

  WindowId id() const override { return id_; }
  void setTitle(const std::string& utf8) override { title_ = utf8; }
  void setClientRect(const Rect& r) override;
  Rect clientRect() const override { return rect_; }
  int frameWidth() const override { return frame_.width; }
  int frameHeight() const override { return frame_.height; }
  int frameLeft() const override { return frame_.x; }
  int frameTop() const override { return frame_.y; }
  void setVisible(bool visible) override;
  bool visible() const override { return visible_; }
  void setTopmost(bool topmost) override;
  void setState(WindowState s) override;
  WindowState state() const override { return state_; }
  void raise() override;
  void focus() override;
  bool hasFocus() const override;
  void present(const gdi::PixelView& pixels) override;
  void setIcon(const gdi::PixelView& small32, const gdi::PixelView& large48) override;

  const std::string& title() const { return title_; }
  bool topmost() const { return topmost_; }
  bool borderless() const { return borderless_; }
  bool hasIcon() const { return hasIcon_; }
  std::uint64_t presentCount() const { return presents_; }
  // The last presented pixels (client size at the time), Xrgb32.
  const std::vector<std::uint32_t>& pixels() const { return pixels_; }
  int pixelsWidth() const { return pixelsWidth_; }
  int pixelsHeight() const { return pixelsHeight_; }

 private:
  friend class HeadlessDisplay;
  void post(Event::Type type);
  // Sets the client rect and queues Moved and Resized as they apply.
  void applyRect(const Rect& r);

  HeadlessDisplay* owner_;
  WindowId id_;
  std::string title_;
  Rect rect_;
  // The normal-state rectangle while the window is maximised, so that
  // returning to the normal state puts it back where it was.
  std::optional<Rect> restored_;
  bool visible_ = false;
  bool topmost_ = false;
  bool borderless_ = false;
  bool hasIcon_ = false;
  // Left and top part of the frame, and its total width and height.
  Rect frame_;
  WindowState state_ = WindowState::Normal;
  std::uint64_t presents_ = 0;
  std::vector<std::uint32_t> pixels_;
  int pixelsWidth_ = 0;
  int pixelsHeight_ = 0;
};

}  // namespace display

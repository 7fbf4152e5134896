// A real display with a queue of input in front of it: the runner's clicks
// reach the program's windows through the same event path as the user's,
// ahead of whatever the display itself delivers.
#pragma once

#include <deque>
#include <memory>

#include "platform/display/display.h"

namespace runner {

class DrivenDisplay : public display::Display {
 public:
  explicit DrivenDisplay(std::unique_ptr<display::Display> real) : real_(std::move(real)) {}

  // A left click at client pixel (x, y) of the window.
  void click(display::WindowId window, int x, int y) {
    display::Event down;
    down.type = display::Event::Type::MouseDown;
    down.window = window;
    down.x = x;
    down.y = y;
    down.button = 1;
    display::Event up = down;
    up.type = display::Event::Type::MouseUp;
    queue_.push_back(down);
    queue_.push_back(up);
  }

  std::unique_ptr<display::Window> createWindow(const display::WindowSpec& spec) override {
    return real_->createWindow(spec);
  }
  bool pollEvent(display::Event* out) override {
    if (!queue_.empty()) {
      *out = queue_.front();
      queue_.pop_front();
      return true;
    }
    return real_->pollEvent(out);
  }
  bool waitEvent(display::Event* out, int timeoutMs) override {
    return pollEvent(out) || real_->waitEvent(out, timeoutMs);
  }
  int screenWidth() const override { return real_->screenWidth(); }
  int screenHeight() const override { return real_->screenHeight(); }
  void setCursor(display::Cursor c) override { real_->setCursor(c); }
  display::Cursor cursor() const override { return real_->cursor(); }
  void setClipboardText(const std::string& utf8) override { real_->setClipboardText(utf8); }
  void clearClipboard() override { real_->clearClipboard(); }
  std::string clipboardText() const override { return real_->clipboardText(); }

 private:
  std::unique_ptr<display::Display> real_;
  std::deque<display::Event> queue_;
};

}  // namespace runner

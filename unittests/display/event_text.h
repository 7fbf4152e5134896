// Events as short text ("MouseDown 2 (5,7) b1"), so that a test compares
// whole event sequences and a failure prints what actually arrived.
#pragma once

#include <string>
#include <vector>

#include "platform/display/display.h"

namespace display::testing {

inline const char* keyName(Key k) {
  switch (k) {
    case Key::Enter: return "Enter";
    case Key::Space: return "Space";
    case Key::Tab: return "Tab";
    case Key::Escape: return "Escape";
    case Key::Left: return "Left";
    case Key::Right: return "Right";
    case Key::Up: return "Up";
    case Key::Down: return "Down";
    case Key::Other: break;
  }
  return "Other";
}

inline const char* stateName(WindowState s) {
  switch (s) {
    case WindowState::Minimized: return "Minimized";
    case WindowState::Maximized: return "Maximized";
    case WindowState::Normal: break;
  }
  return "Normal";
}

inline std::string describe(const Event& e) {
  const std::string w = " " + std::to_string(e.window);
  auto point = [&e] { return " (" + std::to_string(e.x) + "," + std::to_string(e.y) + ")"; };
  switch (e.type) {
    case Event::Type::MouseDown: return "MouseDown" + w + point() + " b" + std::to_string(e.button);
    case Event::Type::MouseUp: return "MouseUp" + w + point() + " b" + std::to_string(e.button);
    case Event::Type::MouseMove: return "MouseMove" + w + point();
    case Event::Type::KeyDown:
      return "KeyDown" + w + " " + keyName(e.key) + (e.shift ? "+Shift" : "");
    case Event::Type::KeyUp: return "KeyUp" + w + " " + keyName(e.key) + (e.shift ? "+Shift" : "");
    case Event::Type::CloseRequested: return "CloseRequested" + w;
    case Event::Type::Resized:
      return "Resized" + w + " " + std::to_string(e.width) + "x" + std::to_string(e.height);
    case Event::Type::Moved: return "Moved" + w + point();
    case Event::Type::StateChanged: return "StateChanged" + w + " " + stateName(e.state);
    case Event::Type::FocusGained: return "FocusGained" + w;
    case Event::Type::FocusLost: return "FocusLost" + w;
    case Event::Type::Exposed: return "Exposed" + w;
    case Event::Type::Quit: return "Quit";
  }
  return "?";
}

// Everything pending, in order.
inline std::vector<std::string> drain(Display& d) {
  std::vector<std::string> out;
  Event e;
  while (d.pollEvent(&e)) out.push_back(describe(e));
  return out;
}

}  // namespace display::testing

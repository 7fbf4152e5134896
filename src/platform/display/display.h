// The display backend interface: windows that show a 32-bit back buffer,
// input events, the mouse cursor and the clipboard.
//
// Two implementations: SDL2 (a real window per form) and headless (an
// in-memory screen with injected input and PNG snapshots). The forms runtime
// talks only to this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/pixels/pixel_view.h"

namespace display {

using WindowId = std::uint32_t;  // never 0 for a live window

enum class Key : std::uint8_t { Other, Enter, Space, Tab, Escape, Left, Right, Up, Down };

enum class WindowState : std::uint8_t { Normal = 0, Minimized = 1, Maximized = 2 };

struct Event {
  enum class Type : std::uint8_t {
    MouseDown,       // x, y: client pixels of `window`; button 1 = left
    MouseUp,
    MouseMove,
    KeyDown,         // key, shift
    KeyUp,
    CloseRequested,  // the user asked to close the window
    Resized,         // width, height: new client size in pixels
    Moved,           // x, y: new screen position of the client area
    StateChanged,    // state
    FocusGained,
    FocusLost,
    Exposed,         // the window needs its back buffer presented again
    Quit,            // the whole program was asked to end
  };
  Type type = Type::Exposed;
  WindowId window = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int button = 0;
  Key key = Key::Other;
  bool shift = false;
  WindowState state = WindowState::Normal;
};

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct WindowSpec {
  std::string title;
  Rect client;              // screen position and size of the client area, pixels
  bool borderless = false;  // no frame, no title bar
  bool topmost = false;     // stays above ordinary windows
  bool resizable = true;
};

class Window {
 public:
  virtual ~Window() = default;
  virtual WindowId id() const = 0;
  virtual void setTitle(const std::string& utf8) = 0;
  // Client area position and size on the screen, pixels.
  virtual void setClientRect(const Rect& r) = 0;
  virtual Rect clientRect() const = 0;
  // The frame a window manager puts around the client area (0 for
  // borderless windows and without a window manager): outer size = client
  // size + these; frameLeft and frameTop are the parts left of and above the
  // client area. Known before the window is first shown wherever the
  // platform can tell, so that a hidden window's outer size is already true.
  virtual int frameWidth() const = 0;
  virtual int frameHeight() const = 0;
  virtual int frameLeft() const = 0;
  virtual int frameTop() const = 0;
  virtual void setVisible(bool visible) = 0;
  virtual bool visible() const = 0;
  virtual void setTopmost(bool topmost) = 0;
  virtual void setState(WindowState s) = 0;
  virtual WindowState state() const = 0;
  virtual void raise() = 0;       // to the top of its band
  virtual void focus() = 0;       // take the keyboard focus
  virtual bool hasFocus() const = 0;
  // Shows `pixels` (Xrgb32, the size of the client area) in the window.
  virtual void present(const gdi::PixelView& pixels) = 0;
  // Xrgb32 images; the backend picks the size it wants.
  virtual void setIcon(const gdi::PixelView& small32, const gdi::PixelView& large48) = 0;
};

enum class Cursor : std::uint8_t { Default, Wait };

class Display {
 public:
  virtual ~Display() = default;
  // Null when the window cannot be made.
  virtual std::unique_ptr<Window> createWindow(const WindowSpec& spec) = 0;
  // The next pending event, without waiting; false when none is left.
  virtual bool pollEvent(Event* out) = 0;
  // Waits up to timeoutMs for the next event (the idle main loop uses it so
  // that an idle program sleeps); false when none came.
  virtual bool waitEvent(Event* out, int timeoutMs) = 0;
  virtual int screenWidth() const = 0;   // pixels
  virtual int screenHeight() const = 0;
  virtual void setCursor(Cursor c) = 0;
  virtual Cursor cursor() const = 0;
  virtual void setClipboardText(const std::string& utf8) = 0;
  virtual void clearClipboard() = 0;
  virtual std::string clipboardText() const = 0;
};

// A real display through SDL2. Null, with a one-line reason in *error, when
// no display can be opened.
// It also takes over SIGINT and SIGTERM: the first of them becomes a Quit
// event at the next event poll.
std::unique_ptr<Display> createSdlDisplay(std::string* error);

// The signal (SIGINT or SIGTERM) that asked the program to quit, 0 if none;
// a program that ends because of one exits with 128 + its number.
int quitSignal();

}  // namespace display

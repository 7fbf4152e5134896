// The forms runtime: windows (forms) with controls that paint themselves with
// our raster engine, and the run-time services the program relies on
// (screen, clipboard, program folder, date and time, the seconds timer, the
// shared pseudo-random generator, number formatting, text files, message
// processing, and the window-manager and kernel calls).
//
// Sizes and positions of forms and controls are twips (15 to the pixel)
// unless a container's scale mode says pixels. Property names keep their
// familiar spelling: Caption, Enabled, Visible, ScaleWidth, hDC, Cls...
//
// Painting: every form has a 32-bit back buffer of its client size. Changes
// to controls invalidate the rectangles they cover; the invalid rectangles
// are repainted (form background, then the controls over them in creation
// order, each through a device context translated and clipped to it) and the
// buffer is presented at the next message processing. A picture box without
// AutoRedraw keeps what was drawn through its hDC: only Cls, showing, moving
// or resizing the box repaint it as a whole, and a label inside it repaints
// just its own rectangle.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"

namespace forms {

using gdi::COLORREF;
using gdi::HDC;
using HWND = std::uint32_t;

constexpr float kTwipsPerPixel = 15.0f;

// ---- time ------------------------------------------------------------------

// The one source of time and sleep. The real clock is monotonic (seconds as
// a double) and really sleeps; the manual clock lets tests set time exactly,
// and its sleep advances time at once.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() = 0;              // seconds, monotonic
  virtual void sleep(int milliseconds) = 0;
  virtual std::time_t wallTime() = 0;    // the current date and time
};

class RealClock : public Clock {
 public:
  double now() override;
  void sleep(int milliseconds) override;
  std::time_t wallTime() override;
};

class ManualClock : public Clock {
 public:
  double now() override {
    if (onNow) onNow();
    return seconds_;
  }
  void sleep(int milliseconds) override {
    if (onSleep) onSleep(milliseconds);
    if (milliseconds > 0) seconds_ += milliseconds / 1000.0;
  }
  std::time_t wallTime() override { return wall_; }
  void advance(double seconds) { seconds_ += seconds; }
  void setWallTime(std::time_t t) { wall_ = t; }
  // Called at the start of every sleep, before time advances; tests use it
  // to see where a handler pauses.
  std::function<void(int milliseconds)> onSleep;
  // Called at the start of every reading, before the time is returned; a
  // test may advance the clock from it (to give a stretch of code an exact
  // duration) but must not read the clock itself.
  std::function<void()> onNow;

 private:
  double seconds_ = 1000.0;
  std::time_t wall_ = 1275314587;  // 2010-05-31 14:03:07 UTC
};

// ---- run-time errors -------------------------------------------------------

// A run-time error (an arithmetic overflow, say). Handlers run each of their
// actions under `resumeNext`: an action that raises one is abandoned and the
// handler goes on with its next action.
class RuntimeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <typename F>
void resumeNext(F&& action) {
  try {
    action();
  } catch (const RuntimeError&) {
  }
}

// ---- the runtime -----------------------------------------------------------

class Form;

// Starts the runtime on a display and a clock (both outlive it). One runtime
// exists at a time; `appPath` is the program's folder (empty: the folder of
// the running executable). Starting again replaces the previous runtime.
void startRuntime(display::Display& display, Clock& clock, std::string appPath);
// Unloads every form that is still loaded without running its events (their
// controls and windows go away while the display still exists), then forgets
// the display and the clock.
void stopRuntime();
bool runtimeStarted();
// The running runtime's display; RuntimeError when none is started.
display::Display& currentDisplay();
// The running runtime's clock; a real clock when none is started, so that
// the timer and Sleep work in code that runs without any window.
Clock& currentClock();

// Processes pending window messages: input, window changes and repaints; the
// event handlers of every form may run meanwhile (and may call DoEvents
// themselves). Returns when none is left.
void DoEvents();

// Runs the program until no form is loaded any more (the main window closed).
// Once the program is ending it unloads whatever is still loaded and returns.
void runMessageLoop();

// The form whose unloading ends the program (the main window); none by
// default. Once it has unloaded, or a Quit event has arrived, the program is
// ending: no form loads any more (using an unloaded form raises a
// RuntimeError instead of loading it hidden, which would keep an invisible
// process alive), Sleep returns at once, and handlers still running wind
// down quickly under the resume-next rule.
void setStartupForm(Form* form);
bool programEnding();

// The seconds timer: monotonic seconds (double) from the clock.
double Timer();

// The shared pseudo-random generator: uniform single-precision values in
// [0, 1). Re-seeding with a seed gives the same sequence every time. It does
// not need a running runtime.
float Rnd();
void Randomize(int seed);
std::uint64_t rndDrawCount();  // values drawn since start (for statistics)

// Format(value, "0"): the value rounded to an integer (ties to even) as
// decimal digits without grouping, a minus sign in front of a negative
// result; a pattern of n zeros pads to n digits. Non-finite values give
// "inf", "-inf" or "nan". Other patterns raise a RuntimeError.
std::string Format(double value, const std::string& pattern);
// Format(date, "yyyy-mm-dd") and Format(time, "hh-nn-ss") of a wall time, in
// local time: yyyy, yy, mm (month), dd, hh (24-hour), nn (minutes) and ss are
// replaced, every other character is copied.
std::string FormatDate(std::time_t t, const std::string& pattern);
std::time_t Now();  // the wall time from the clock: date and time of one reading

// Rounds to the nearest integer, ties to even (the conversion rule of the
// whole system). A value that does not fit (or is not a number) raises a
// RuntimeError, as an overflow does.
std::int32_t roundToInt(double v);

// Windows-1252 text (the program's own encoding) as UTF-8 (the display's).
std::string windows1252ToUtf8(const std::string& text);

namespace App {
// The program's folder, without a trailing separator: the folder given to
// startRuntime, else the folder of the running executable.
std::string Path();
}

namespace Screen {
float Width();   // twips
float Height();
float TwipsPerPixelX();
float TwipsPerPixelY();
int MousePointer();
void setMousePointer(int pointer);  // 0 default, 11 hourglass
}

namespace Clipboard {
void Clear();
void SetText(const std::string& windows1252);
}

// Sequential text output files: created (or emptied), lines written with CR
// LF, closed. Bytes are written as given (the program's texts are
// Windows-1252).
class TextFile {
 public:
  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  // False when the file cannot be created.
  bool openForOutput(const std::string& path);
  bool print(const std::string& line);  // the line followed by CR LF
  // False when the file was not open or any write or the close failed.
  bool close();
  bool isOpen() const { return f_ != nullptr; }
  ~TextFile();

 private:
  std::FILE* f_ = nullptr;
  bool ok_ = true;
};

// ---- window-manager and kernel calls ------------------------------------------

constexpr HWND HWND_TOP = 0;
constexpr HWND HWND_TOPMOST = static_cast<HWND>(-1);
constexpr HWND HWND_NOTOPMOST = static_cast<HWND>(-2);
constexpr std::uint32_t SWP_NOSIZE = 0x01;
constexpr std::uint32_t SWP_NOMOVE = 0x02;
constexpr std::uint32_t SWP_NOZORDER = 0x04;
constexpr std::uint32_t SWP_NOACTIVATE = 0x10;
constexpr std::uint32_t SWP_SHOWWINDOW = 0x40;
constexpr std::uint32_t SWP_HIDEWINDOW = 0x80;

// Positions and sizes are outer pixels (frame included). HWND_TOPMOST and
// HWND_NOTOPMOST put the window into or out of the topmost band; without
// SWP_NOACTIVATE the window is raised and takes the focus.
gdi::BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, std::uint32_t flags);
gdi::BOOL BringWindowToTop(HWND hwnd);
gdi::BOOL SetForegroundWindow(HWND hwnd);
HWND GetDesktopWindow();
// A DC that draws onto the window's back buffer (presented as drawing
// happens), or for the desktop (and 0) onto a small buffer of the runtime.
// 0 when the window is unknown. Deleted by ReleaseDC or when the form
// unloads.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
// Through the clock; no messages are processed. Returns at once while the
// program is ending, so that a handler winds down without pausing.
void Sleep(int milliseconds);

// ---- controls --------------------------------------------------------------

class Container;

// Fonts of controls: face, size in points, bold.
struct FontSpec {
  std::string name = "Arial";
  float size = 8.25f;
  bool bold = false;
};

class Control {
 public:
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& name() const { return name_; }
  // Position and size in the container's scale unit.
  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void setLeft(float v);
  void setTop(float v);
  void setWidth(float v);
  void setHeight(float v);
  void Move(float left, float top, float width, float height);
  bool Visible() const { return visible_; }
  void setVisible(bool v);

  // Position and size in pixels of the form's client area.
  display::Rect pixelRect() const;
  // What of the control can show: its rectangle cut by its containers'
  // client areas; empty when it or a container is hidden.
  display::Rect visibleRect() const;
  bool effectivelyVisible() const;
  Container* container() const { return container_; }
  Form* form() const;

 protected:
  Control(Container* container, std::string name, float left, float top, float width, float height);
  friend class Form;
  friend class Container;
  virtual void paint(HDC dc, int width, int height) = 0;  // dc origin at the control
  virtual void onMouseDown(int, int) {}
  virtual void onMouseUp(int, int, bool inside) { (void)inside; }
  // Whether a mouse press at the control reaches it (labels and lines let
  // it through to what lies below).
  virtual bool hitTestable() const { return false; }
  virtual bool focusable() const { return false; }
  virtual void onKey(display::Key) {}
  // Called when the control's place on the form changed (or a container's
  // did, or the form's back buffer moved); picture boxes re-aim their DCs.
  virtual void placementChanged() {}
  virtual void focusChanged() { invalidate(); }
  void invalidate();  // repaint at the next message processing
  bool hasFocusImpl() const;
  void takeFocus();
  // Cuts a control loose from a container that goes away before it.
  static void detach(Control* c) { c->container_ = nullptr; }
  // Sets position and size at once and invalidates what changed.
  void setGeometry(float left, float top, float width, float height);

  Container* container_;
  std::string name_;
  float left_, top_, width_, height_;
  bool visible_ = true;
};

// A control that holds others (a form, a picture box). Children are
// positioned in the container's scale (twips, or pixels for a container
// with pixel scale mode).
class Container {
 public:
  virtual ~Container() = default;
  virtual Form* form() = 0;
  // Pixels of the form's client area where (0, 0) of this container lies,
  // and the container's scale: twips per unit of child positions.
  virtual display::Rect clientPixelRect() const = 0;
  virtual float unitsToTwips() const = 0;
  // What of the client area can show (cut by the containers above).
  virtual display::Rect visibleClientRect() const = 0;
  // Whether the container is on view: a form always is (its window may be
  // hidden, but it still paints), a picture box while it and every
  // container above it are visible.
  virtual bool shows() const = 0;
  const std::vector<Control*>& children() const { return children_; }

 protected:
  friend class Control;
  std::vector<Control*> children_;
};

class Label : public Control {
 public:
  Label(Container* c, std::string name, float left, float top, float width, float height,
        std::string caption);
  const std::string& Caption() const { return caption_; }
  // The text may hold line breaks (CR LF or LF); each line is aligned on its
  // own. With AutoSize the label resizes itself, keeping its left edge.
  void setCaption(std::string text);
  bool AutoSize = false;
  int Alignment = 0;    // 0 left, 1 right, 2 centre
  int BorderStyle = 0;  // 0 none, 1 single line
  int BackStyle = 1;    // 0 transparent, 1 opaque
  FontSpec Font;
  COLORREF ForeColor = gdi::RGB(0, 0, 0);
  COLORREF BackColor = gdi::RGB(240, 240, 240);
  void Refresh();  // repaints at once and presents
  // Apply AutoSize to the current caption and font (after changing Font),
  // and repaint with the current look (after changing colours or styles).
  void applyAutoSize();

 protected:
  void paint(HDC dc, int width, int height) override;

 private:
  std::string caption_;
};

class CommandButton : public Control {
 public:
  CommandButton(Container* c, std::string name, float left, float top, float width, float height,
                std::string caption);
  const std::string& Caption() const { return caption_; }
  void setCaption(std::string text);
  bool Enabled() const { return enabled_; }
  // Disabling the focused button moves the focus on in the tab order.
  void setEnabled(bool e);
  FontSpec Font;
  std::function<void()> Click;  // the event handler
  void SetFocus();
  bool hasFocus() const;
  // What a user's click does: the Click event, if the button is enabled.
  void press();
  bool pressed() const { return pressed_; }  // held down by the mouse

 protected:
  void paint(HDC dc, int width, int height) override;
  void onMouseDown(int x, int y) override;
  void onMouseUp(int x, int y, bool inside) override;
  bool hitTestable() const override { return true; }
  bool focusable() const override { return enabled_ && effectivelyVisible(); }
  void onKey(display::Key k) override;

 private:
  std::string caption_;
  bool enabled_ = true;
  bool pressed_ = false;
};

// One button of an option-button array; the array shares one Click handler
// that receives the index. Setting Value to true deselects the others of the
// group (without running Click: only a user's choice, press, runs it).
class OptionButton : public Control {
 public:
  OptionButton(Container* c, std::string name, int index, float left, float top, float width,
               float height, std::string caption);
  ~OptionButton() override;
  int Index() const { return index_; }
  const std::string& Caption() const { return caption_; }
  bool Value() const { return value_; }
  void setValue(bool v);
  FontSpec Font;
  // Shared by the array: joins `members` into one group.
  static void group(const std::vector<OptionButton*>& members);
  std::function<void(int index)> Click;
  void press();  // what a user's click does: selects it, then Click(index)
  void SetFocus();
  bool hasFocus() const;

 protected:
  void paint(HDC dc, int width, int height) override;
  void onMouseUp(int x, int y, bool inside) override;
  bool hitTestable() const override { return true; }
  bool focusable() const override { return effectivelyVisible(); }
  // Space selects; the arrow keys select the previous or next of the group.
  void onKey(display::Key k) override;

 private:
  int index_;
  std::string caption_;
  bool value_ = false;
  std::vector<OptionButton*> group_;
};

// A one-pixel line from (x1, y1) to (x2, y2), both ends drawn, in the
// container's scale.
class Line : public Control {
 public:
  Line(Container* c, std::string name, float x1, float y1, float x2, float y2, COLORREF color);
  COLORREF BorderColor;

 protected:
  void paint(HDC dc, int width, int height) override;

 private:
  float x1_, y1_, x2_, y2_;
};

class PictureBox : public Control, public Container {
 public:
  enum ScaleModeKind { kTwips = 1, kPixels = 3 };
  PictureBox(Container* c, std::string name, float left, float top, float width, float height,
             int scaleMode);
  ~PictureBox() override;

  Form* form() override { return Control::form(); }
  display::Rect clientPixelRect() const override;
  float unitsToTwips() const override { return scaleMode_ == kPixels ? kTwipsPerPixel : 1.0f; }
  display::Rect visibleClientRect() const override;
  bool shows() const override { return effectivelyVisible(); }

  int ScaleMode() const { return scaleMode_; }
  float ScaleWidth() const;   // drawable size in the scale unit (border excluded)
  float ScaleHeight() const;
  int BorderStyle = 0;        // 0 none, 1 single (a two-pixel sunken frame)
  COLORREF BackColor = gdi::RGB(240, 240, 240);
  // The drawing properties of hDC: ForeColor is the pen (one pixel) and the
  // text colour; FillStyle 0 fills with FillColor, 1 leaves shapes hollow;
  // FontName with the size and weight of Font is the selected font. They
  // reach the DC whenever hDC is read (and at Cls and Print).
  COLORREF ForeColor = gdi::RGB(0, 0, 0);
  int FillStyle = 1;          // 0 solid, 1 transparent
  COLORREF FillColor = gdi::RGB(0, 0, 0);
  std::string FontName = "Arial";
  FontSpec Font;              // size and weight; the face is FontName

  // A DC that draws onto what the box shows: without AutoRedraw straight
  // into the form's back buffer (presented as drawing happens), with
  // AutoRedraw into the persistent image. The handle stays the same while
  // the box lives and AutoRedraw does not change; moving or resizing the box
  // re-aims it. Its background mode starts transparent.
  HDC hDC();
  void Cls();               // clears to BackColor (the picture stays); print position to 0
  bool AutoRedraw() const { return autoRedraw_; }
  void setAutoRedraw(bool on);
  void Print();             // prints an empty line: the print position moves down one line
  void Print(const std::string& text);  // text at the print position, then a new line
  float CurrentX() const;   // the print position in the scale unit
  float CurrentY() const;
  void SetFocus();
  bool hasFocus() const;
  // The picture: a 24-bit image drawn at the top-left under everything else.
  void setPicture(const gdi::PixelView& bgr24);
  gdi::HBITMAP pictureHandle() const;  // the picture's bitmap (its Handle); 0 when none
  // The persistent image with AutoRedraw (in the format of the form's back
  // buffer), empty otherwise.
  gdi::PixelView image() const;

 protected:
  void paint(HDC dc, int width, int height) override;
  bool hitTestable() const override { return true; }
  bool focusable() const override { return effectivelyVisible(); }
  void placementChanged() override;
  void focusChanged() override {}

 private:
  friend class Form;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int scaleMode_;
  bool autoRedraw_ = false;
};

// ---- forms -----------------------------------------------------------------

class Form : public Container {
 public:
  explicit Form(std::string name);
  ~Form() override;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& name() const { return name_; }

  // Events: override in the program's forms.
  virtual void Form_Load() {}
  virtual void Form_Resize() {}
  virtual void Form_Unload() {}

  // Loads the form if it is not loaded (creates its window, hidden, and runs
  // Form_Load). Every property access below loads the form first. Raises a
  // RuntimeError when no runtime is started or the window cannot be made.
  void Load();
  bool IsLoaded() const { return loaded_; }
  // Shows the window, raised and focused. The first time a loaded form
  // shows (and whenever its size or state has changed unreported) Form_Resize
  // runs; then the form is painted.
  void Show();
  // Runs Form_Unload, then destroys the window and resets every control and
  // property to its design state, so the next Load starts afresh.
  void Unload();

  // Design-state properties (the values the form has when it loads; Unload
  // puts back what they were at the first Load).
  std::string Caption;       // the window title, Windows-1252
  COLORREF BackColor = gdi::RGB(240, 240, 240);
  int ScaleModeValue = 1;  // 1 twips, 3 pixels (ScaleWidth/ScaleHeight unit)
  bool borderless = false;

  // Outer position and size in twips (the window's frame included).
  float Left();
  float Top();
  float Width();   // outer size, frame included
  float Height();
  void setLeft(float twips);
  void setTop(float twips);
  void setWidth(float twips);
  void setHeight(float twips);
  void Move(float left, float top);
  void Move(float left, float top, float width, float height);
  float ScaleWidth();   // client area in the scale unit
  float ScaleHeight();
  int WindowState();
  void setWindowState(int state);
  HWND hWnd();

  // Design-time client size in pixels; used by Load.
  void setDesignClientSize(int widthPixels, int heightPixels);
  // Design-time screen position of the client area in pixels; used by Load.
  void setDesignPosition(int xPixels, int yPixels);

  // The keyboard order of the controls (Tab and shift-Tab). Without one the
  // order of creation holds. Controls that are gone drop out of it.
  void setTabOrder(std::vector<Control*> order);
  Control* focusedControl() const;

  // Container.
  Form* form() override { return this; }
  display::Rect clientPixelRect() const override;
  float unitsToTwips() const override { return ScaleModeValue == 3 ? kTwipsPerPixel : 1.0f; }
  display::Rect visibleClientRect() const override { return clientPixelRect(); }
  bool shows() const override { return true; }

  // The back buffer (Xrgb32, client size) and its window, for snapshots.
  // Empty and null while the form is not loaded.
  gdi::PixelView backBuffer() const;
  display::Window* window() const;

  // Creates the controls in their design state. Load calls it every time the
  // form loads; Unload destroys them (the program's forms own them, e.g. as
  // unique_ptr members reset in destroyControls).
  virtual void createControls() {}
  virtual void destroyControls() {}

  // Repaints what is invalid and presents the back buffer.
  void repaint();
  // Presents the back buffer now.
  void present();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string name_;
  bool loaded_ = false;
  void ensureLoaded();
  void teardown(bool runEvents);
  friend class Control;
  friend class PictureBox;
  friend struct FormsInternals;
};

}  // namespace forms

// The frame a window manager will put around an X11 window that is not yet
// shown. SDL learns a window's frame only after the window is mapped, but the
// forms runtime needs the outer size when a form loads, before it shows.
#pragma once

struct SDL_Window;

namespace display {

struct FrameExtents {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
};

// Asks the window manager for the frame of `window` (_NET_REQUEST_FRAME_EXTENTS)
// and waits up to `timeoutMs` for its answer. False, with no wait, when the
// window is not an X11 window or no window manager that answers runs.
bool requestFrameExtents(SDL_Window* window, int timeoutMs, FrameExtents* out);

// Makes X protocol errors non-fatal for the program: each is named on
// standard error and the program goes on. Xlib's own handler ends the
// process, and a request about a window that the window manager or the
// user has just destroyed (a close at the wrong moment) must not end a
// benchmark. Installed before SDL starts, so SDL's handler passes errors on
// to it and restores it when SDL quits.
void reportXErrorsWithoutExiting();

}  // namespace display

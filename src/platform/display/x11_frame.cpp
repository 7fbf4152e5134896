#include "platform/display/x11_frame.h"

#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#endif

namespace display {

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

// Reads the four cardinals of an atom-named property, false when absent.
bool readExtents(::Display* d, ::Window w, Atom property, FrameExtents* out) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  const int rc = XGetWindowProperty(d, w, property, 0, 4, False, XA_CARDINAL, &type, &format, &count,
                                    &remaining, &data);
  const bool ok = rc == Success && data != nullptr && format == 32 && count == 4;
  if (ok) {
    // Format-32 properties arrive as longs, whatever their width.
    const long* v = reinterpret_cast<const long*>(data);
    out->left = static_cast<int>(v[0]);
    out->right = static_cast<int>(v[1]);
    out->top = static_cast<int>(v[2]);
    out->bottom = static_cast<int>(v[3]);
  }
  if (data != nullptr) XFree(data);
  return ok;
}

// Whether the running window manager says it answers frame requests. A bare
// X server has no _NET_SUPPORTED list at all, and then nothing answers.
bool managerAnswers(::Display* d, Atom request) {
  const Atom supported = XInternAtom(d, "_NET_SUPPORTED", True);
  if (supported == 0) return false;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  const int rc = XGetWindowProperty(d, DefaultRootWindow(d), supported, 0, 4096, False, XA_ATOM, &type, &format,
                                    &count, &remaining, &data);
  bool found = false;
  if (rc == Success && data != nullptr && format == 32) {
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count && !found; ++i) found = atoms[i] == request;
  }
  if (data != nullptr) XFree(data);
  return found;
}

extern "C" int reportXError(::Display*, XErrorEvent* e) {
  std::fprintf(stderr, "%s: X protocol error %d on request %d.%d for resource 0x%lx (ignored)\n",
               program_invocation_short_name, static_cast<int>(e->error_code), static_cast<int>(e->request_code),
               static_cast<int>(e->minor_code), static_cast<unsigned long>(e->resourceid));
  return 0;
}

}  // namespace

void reportXErrorsWithoutExiting() { XSetErrorHandler(reportXError); }

bool requestFrameExtents(SDL_Window* window, int timeoutMs, FrameExtents* out) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return false;
  ::Display* d = info.info.x11.display;
  const ::Window w = info.info.x11.window;
  const Atom request = XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False);
  const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
  if (!managerAnswers(d, request)) return false;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = request;
  e.xclient.format = 32;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
  XFlush(d);
  // The answer is a property the manager sets on the window; it usually
  // comes within a millisecond or two.
  const Uint64 deadline = SDL_GetTicks64() + static_cast<Uint64>(timeoutMs);
  for (;;) {
    XSync(d, False);
    if (readExtents(d, w, extents, out)) return true;
    if (SDL_GetTicks64() >= deadline) return false;
    SDL_Delay(2);
  }
}

#else

bool requestFrameExtents(SDL_Window*, int, FrameExtents*) { return false; }
void reportXErrorsWithoutExiting() {}

#endif

}  // namespace display

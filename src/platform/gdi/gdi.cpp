// The facade: argument checks, handle resolution and the DC state machine.
// Drawing itself happens in the primitive families (draw.h, text.h).
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/gdi/draw.h"
#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/objects.h"
#include "platform/gdi/text.h"

namespace gdi {

using namespace detail;

namespace {

// The largest pixel buffer CreateDIBSection hands out; far beyond any screen
// and small enough that every size computation stays in range.
constexpr std::uint64_t kMaxDibBytes = std::uint64_t{1} << 34;  // 16 GiB

DcObj* findDc(HDC hdc) {
  Slot* s = engine().table.find(hdc, Kind::Dc);
  return s != nullptr ? s->dc : nullptr;
}

// Device point of a logical point.
DevPoint dev(const Target& t, std::int64_t x, std::int64_t y) {
  return DevPoint{x + t.originX, y + t.originY};
}

Stroke strokeOf(const DcObj& dc) {
  Stroke s;
  Slot* p = engine().table.find(dc.pen, Kind::Pen);
  if (p == nullptr || p->pen.style == PS_NULL) return s;
  s.visible = true;
  s.width = p->pen.width;
  s.px = packColor(p->pen.color);
  return s;
}

Fill fillOf(const DcObj& dc) {
  Fill f;
  Slot* b = engine().table.find(dc.brush, Kind::Brush);
  if (b == nullptr || b->brush.hollow) return f;
  f.visible = true;
  f.px = packColor(b->brush.color);
  return f;
}

void afterDraw(const DcObj& dc) {
  if (dc.hook != nullptr) dc.hook(dc.hookContext);
}

// The realisation of the DC's font; the system font is realised on first use.
const Realization* fontOf(const DcObj& dc, bool* isSystem) {
  Engine& e = engine();
  *isSystem = dc.font == e.stock[SYSTEM_FONT];
  if (*isSystem) return systemFontRealization();
  Slot* f = e.table.find(dc.font, Kind::Font);
  return f != nullptr ? f->font.real : nullptr;
}

void bindBitmapView(DcObj& dc, const BitmapObj& b) { dc.view = b.view; }

// The frame of every drawing call: the call is counted; bad arguments or an
// invalid DC give `failed`; `prepare(dc)` runs on any valid DC (state that
// changes even without pixels to draw on); a DC with nothing drawable gives
// `empty` without drawing; otherwise `draw(dc, target)` runs, its result is
// the call's, and the drawing reaches the display hook.
template <typename R, typename Prepare, typename Draw>
R drawCall(Fn fn, HDC hdc, bool argsOk, R failed, R empty, Prepare&& prepare, Draw&& draw) {
  count(fn);
  DcObj* dc = argsOk ? findDc(hdc) : nullptr;
  if (dc == nullptr) return failed;
  prepare(*dc);
  Target t;
  if (!resolveTarget(*dc, &t)) return empty;
  const R result = draw(*dc, t);
  afterDraw(*dc);
  return result;
}

constexpr auto kNoPreparation = [](DcObj&) {};

template <typename R, typename Draw>
R drawCall(Fn fn, HDC hdc, bool argsOk, R failed, R empty, Draw&& draw) {
  return drawCall(fn, hdc, argsOk, failed, empty, kNoPreparation, std::forward<Draw>(draw));
}

// BitBlt and StretchBlt: the frame of a drawing call around both targets.
// A source operation needs a valid source DC; an empty source writes
// nothing and succeeds. `transfer(dc, target, source)` moves the pixels;
// the source is null for the operations that read none.
template <typename Transfer>
BOOL transferCall(Fn fn, HDC hdc, HDC hdcSrc, DWORD rop, Transfer&& transfer) {
  const RopKind kind = ropKindOf(rop);
  const bool needsSource = readsSource(kind);
  DcObj* src = needsSource ? findDc(hdcSrc) : nullptr;
  const bool argsOk = kind != RopKind::Invalid && (!needsSource || src != nullptr);
  return drawCall(fn, hdc, argsOk, FALSE, TRUE, [&](DcObj& dc, const Target& t) {
    Target s;
    if (needsSource && !resolveTarget(*src, &s)) return TRUE;
    transfer(dc, t, needsSource ? &s : nullptr);
    return TRUE;
  });
}

}  // namespace

// ---- objects ---------------------------------------------------------------

HPEN CreatePen(int iStyle, int cWidth, COLORREF color) {
  count(Fn::CreatePen);
  if (iStyle < 0 || iStyle > 8) return 0;
  HANDLE h = 0;
  Slot* s = engine().table.allocate(Kind::Pen, &h);
  if (s == nullptr) return 0;
  // Width 0 and 1 draw the same one-pixel line; a negative width is taken
  // as its absolute value. Absurd widths are limited so that no wide-line
  // computation can overflow; nothing that large is visible anyway.
  std::int64_t w = cWidth < 0 ? -static_cast<std::int64_t>(cWidth) : cWidth;
  if (w < 1) w = 1;
  if (w > (1 << 20)) w = 1 << 20;
  s->pen = PenData{iStyle == PS_NULL ? PS_NULL : PS_SOLID, static_cast<int>(w), color & 0xFFFFFFu};
  return h;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  count(Fn::CreateSolidBrush);
  HANDLE h = 0;
  Slot* s = engine().table.allocate(Kind::Brush, &h);
  if (s == nullptr) return 0;
  s->brush = BrushData{false, color & 0xFFFFFFu};
  return h;
}

HGDIOBJ GetStockObject(int i) {
  count(Fn::GetStockObject);
  Engine& e = engine();
  if (i < 0 || i >= static_cast<int>(std::size(e.stock))) return 0;
  return e.stock[i];
}

HFONT CreateFontIndirectA(const LOGFONTA* lplf) {
  count(Fn::CreateFontIndirectA);
  if (lplf == nullptr) return 0;
  const Realization* real = realizeFont(*lplf);
  if (real == nullptr) return 0;
  HANDLE h = 0;
  Slot* s = engine().table.allocate(Kind::Font, &h);
  if (s == nullptr) return 0;
  s->font = FontData{*lplf, real};
  return h;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
  count(Fn::SelectObject);
  Engine& e = engine();
  DcObj* dc = findDc(hdc);
  Slot* s = e.table.findAny(h);
  if (dc == nullptr || s == nullptr) return 0;
  // An object whose deletion is pending is on its way out: it cannot be
  // selected anew.
  if ((s->flags & kFlagDeletePending) != 0) return 0;
  HGDIOBJ* field = nullptr;
  switch (s->kind) {
    case Kind::Pen: field = &dc->pen; break;
    case Kind::Brush: field = &dc->brush; break;
    case Kind::Font: field = &dc->font; break;
    case Kind::Bitmap: {
      if (dc->isView) return 0;
      if (dc->bitmap == h) return h;
      // A bitmap is selectable into one memory DC at a time.
      if ((s->flags & kFlagStock) == 0 && s->selectCount > 0) return 0;
      field = &dc->bitmap;
      bindBitmapView(*dc, *s->bitmap);
      break;
    }
    default: return 0;
  }
  const HGDIOBJ previous = *field;
  if (previous == h) return previous;
  *field = h;
  if ((s->flags & kFlagStock) == 0) ++s->selectCount;
  dropSelection(previous);
  return previous;
}

BOOL DeleteObject(HGDIOBJ ho) {
  count(Fn::DeleteObject);
  Slot* s = engine().table.findAny(ho);
  if (s == nullptr || s->kind == Kind::Dc) return FALSE;
  if ((s->flags & kFlagStock) != 0) return TRUE;
  if (s->selectCount > 0) {
    // Still selected somewhere: the DC stays usable, the object goes when it
    // is deselected.
    s->flags |= kFlagDeletePending;
    return TRUE;
  }
  freeObject(ho);
  return TRUE;
}

int GetObjectA(HANDLE h, int c, void* pv) {
  count(Fn::GetObjectA);
  Slot* s = engine().table.findAny(h);
  if (s == nullptr) return 0;
  switch (s->kind) {
    case Kind::Bitmap: {
      const BitmapObj& b = *s->bitmap;
      BITMAP bm{};
      bm.bmType = 0;
      bm.bmWidth = b.width;
      bm.bmHeight = b.height;
      bm.bmWidthBytes = b.widthBytes;
      bm.bmPlanes = 1;
      bm.bmBitsPixel = b.bitsPixel;
      bm.bmBits = b.bits;
      if (pv == nullptr) return static_cast<int>(sizeof(BITMAP));
      // 24 bytes is the record without its pointer, which is what a caller
      // written for 32-bit addresses asks for; it still gets size and depth.
      if (c < 24) return 0;
      const int n = std::min<int>(c, sizeof(BITMAP));
      std::memcpy(pv, &bm, static_cast<std::size_t>(n));
      return n;
    }
    case Kind::Font: {
      if (pv == nullptr) return static_cast<int>(sizeof(LOGFONTA));
      if (c <= 0) return 0;
      const int n = std::min<int>(c, sizeof(LOGFONTA));
      std::memcpy(pv, &s->font.lf, static_cast<std::size_t>(n));
      return n;
    }
    case Kind::Pen: {
      // LOGPEN: style, width as a POINT, colour.
      struct {
        UINT style;
        POINT width;
        COLORREF color;
      } lp{static_cast<UINT>(s->pen.style), {s->pen.width, 0}, s->pen.color};
      if (pv == nullptr) return static_cast<int>(sizeof(lp));
      if (c < static_cast<int>(sizeof(lp))) return 0;
      std::memcpy(pv, &lp, sizeof(lp));
      return static_cast<int>(sizeof(lp));
    }
    case Kind::Brush: {
      // LOGBRUSH: style (0 solid, 1 hollow), colour, hatch.
      struct {
        UINT style;
        COLORREF color;
        std::uint64_t hatch;
      } lb{s->brush.hollow ? 1u : 0u, s->brush.color, 0};
      if (pv == nullptr) return static_cast<int>(sizeof(lb));
      if (c < static_cast<int>(sizeof(lb))) return 0;
      std::memcpy(pv, &lb, sizeof(lb));
      return static_cast<int>(sizeof(lb));
    }
    default: return 0;
  }
}

// ---- device contexts -------------------------------------------------------

namespace {

HDC newDc(DcObj* obj) {
  Engine& e = engine();
  HANDLE h = 0;
  Slot* s = e.table.allocate(Kind::Dc, &h);
  if (s == nullptr) {
    delete obj;
    return 0;
  }
  s->dc = obj;
  obj->pen = e.stock[BLACK_PEN];
  obj->brush = e.stock[WHITE_BRUSH];
  obj->font = e.stock[SYSTEM_FONT];
  return h;
}

bool validView(const PixelView& v) {
  if (v.top == nullptr || v.width <= 0 || v.height <= 0) return false;
  // 32-bit rows are written as whole words.
  if (v.format == PixelFormat::Xrgb32 &&
      ((reinterpret_cast<std::uintptr_t>(v.top) | static_cast<std::uintptr_t>(v.stride)) & 3) != 0)
    return false;
  const std::int64_t rowBytes = static_cast<std::int64_t>(v.width) * bytesPerPixel(v.format);
  const std::int64_t stride = v.stride < 0 ? -v.stride : v.stride;
  return stride >= rowBytes || v.height == 1;
}

}  // namespace

HDC CreateCompatibleDC(HDC hdc) {
  count(Fn::CreateCompatibleDC);
  if (hdc != 0 && findDc(hdc) == nullptr) return 0;
  auto* obj = new DcObj();
  HDC h = newDc(obj);
  if (h != 0) obj->bitmap = engine().stockBitmap;
  return h;
}

HDC CreateViewDC(const PixelView& view, POINT origin, RECT clip) {
  if (!validView(view)) return 0;
  auto* obj = new DcObj();
  obj->isView = true;
  obj->view = view;
  obj->origin = origin;
  obj->requestedClip = clip;
  return newDc(obj);
}

BOOL SetViewDC(HDC hdc, const PixelView& view, POINT origin, RECT clip) {
  DcObj* dc = findDc(hdc);
  if (dc == nullptr || !dc->isView || !validView(view)) return FALSE;
  dc->view = view;
  dc->origin = origin;
  dc->requestedClip = clip;
  return TRUE;
}

BOOL SetDrawHook(HDC hdc, DrawHook hook, void* context) {
  DcObj* dc = findDc(hdc);
  if (dc == nullptr) return FALSE;
  dc->hook = hook;
  dc->hookContext = context;
  return TRUE;
}

bool GetDCPixels(HDC hdc, PixelView* out) {
  DcObj* dc = findDc(hdc);
  if (dc == nullptr || dc->view.top == nullptr || out == nullptr) return false;
  *out = dc->view;
  return true;
}

BOOL DeleteDC(HDC hdc) {
  count(Fn::DeleteDC);
  Engine& e = engine();
  DcObj* dc = findDc(hdc);
  if (dc == nullptr) return FALSE;
  deselectAll(*dc);
  delete dc;
  e.table.release(hdc);
  return TRUE;
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits,
                         HANDLE hSection, DWORD offset) {
  count(Fn::CreateDIBSection);
  if (ppvBits != nullptr) *ppvBits = nullptr;
  if (pbmi == nullptr || usage != DIB_RGB_COLORS || hSection != 0 || offset != 0) return 0;
  if (hdc != 0 && findDc(hdc) == nullptr) return 0;
  const BITMAPINFOHEADER& bi = pbmi->bmiHeader;
  if (bi.biSize < sizeof(BITMAPINFOHEADER) || bi.biPlanes != 1 || bi.biCompression != BI_RGB)
    return 0;
  if (bi.biBitCount != 24 && bi.biBitCount != 32) return 0;
  if (bi.biWidth <= 0 || bi.biHeight == 0 || bi.biHeight == std::numeric_limits<LONG>::min())
    return 0;
  const PixelFormat format = bi.biBitCount == 24 ? PixelFormat::Bgr24 : PixelFormat::Xrgb32;
  const std::uint64_t width = static_cast<std::uint64_t>(bi.biWidth);
  const std::uint64_t height =
      static_cast<std::uint64_t>(bi.biHeight < 0 ? -static_cast<std::int64_t>(bi.biHeight)
                                                 : bi.biHeight);
  // Every factor is below 2^31, so these products cannot overflow 64 bits.
  const std::uint64_t stride = ((width * bi.biBitCount + 31) / 32) * 4;
  const std::uint64_t bytes = stride * height;
  if (stride > static_cast<std::uint64_t>(std::numeric_limits<LONG>::max()) || bytes > kMaxDibBytes)
    return 0;

  // The pixels end flush against an inaccessible page (and start after one),
  // so a stray write past either end faults at once instead of corrupting.
  const std::uint64_t page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  const std::uint64_t dataPages = (bytes + page - 1) / page;
  const std::uint64_t mapSize = (dataPages + 2) * page;
  void* base = mmap(nullptr, mapSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return 0;
  auto* bytesBase = static_cast<std::uint8_t*>(base);
  if (mprotect(bytesBase + page, dataPages * page, PROT_READ | PROT_WRITE) != 0) {
    munmap(base, mapSize);
    return 0;
  }
  std::uint8_t* bits = bytesBase + page + (dataPages * page - bytes);

  auto* b = new BitmapObj();
  b->width = bi.biWidth;
  b->height = static_cast<LONG>(height);
  b->widthBytes = static_cast<LONG>(stride);
  b->bitsPixel = bi.biBitCount;
  b->bits = bits;
  b->mapBase = base;
  b->mapSize = mapSize;
  b->view.format = format;
  b->view.width = bi.biWidth;
  b->view.height = static_cast<std::int32_t>(height);
  if (bi.biHeight > 0) {
    // Bottom-up: the first row in memory is the bottom row.
    b->view.top = bits + (height - 1) * stride;
    b->view.stride = -static_cast<std::ptrdiff_t>(stride);
  } else {
    b->view.top = bits;
    b->view.stride = static_cast<std::ptrdiff_t>(stride);
  }
  HANDLE h = 0;
  Slot* s = engine().table.allocate(Kind::Bitmap, &h);
  if (s == nullptr) {
    munmap(base, mapSize);
    delete b;
    return 0;
  }
  s->bitmap = b;
  if (ppvBits != nullptr) *ppvBits = bits;
  return h;
}

// ---- drawing ---------------------------------------------------------------

BOOL MoveToEx(HDC hdc, int x, int y, POINT* lppt) {
  count(Fn::MoveToEx);
  DcObj* dc = findDc(hdc);
  if (dc == nullptr) return FALSE;
  if (lppt != nullptr) *lppt = dc->current;
  dc->current = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  POINT from{0, 0};
  // The current position moves even when there is nothing to draw on.
  const auto move = [&](DcObj& dc) {
    from = dc.current;
    dc.current = POINT{x, y};
  };
  return drawCall(Fn::LineTo, hdc, true, FALSE, TRUE, move, [&](DcObj& dc, const Target& t) {
    drawLine(t, strokeOf(dc), dev(t, from.x, from.y), dev(t, x, y));
    return TRUE;
  });
}

BOOL PolyBezier(HDC hdc, const POINT* apt, DWORD cpt) {
  const bool argsOk = apt != nullptr && cpt >= 4 && (cpt - 1) % 3 == 0;
  return drawCall(Fn::PolyBezier, hdc, argsOk, FALSE, TRUE, [&](DcObj& dc, const Target& t) {
    const Stroke s = strokeOf(dc);
    if (s.visible) {
      // Curves are independent apart from sharing end points; convert one
      // curve (4 points) at a time.
      for (DWORD i = 0; i + 3 < cpt; i += 3) {
        DevPoint c[4];
        for (int k = 0; k < 4; ++k) c[k] = dev(t, apt[i + k].x, apt[i + k].y);
        // Once a huge pen has covered the whole clip, later curves change nothing.
        if (drawBeziers(t, s, c, 4)) break;
      }
    }
    return TRUE;
  });
}

BOOL Polygon(HDC hdc, const POINT* apt, int cpt) {
  return drawCall(Fn::Polygon, hdc, apt != nullptr && cpt >= 2, FALSE, TRUE, [&](DcObj& dc, const Target& t) {
    drawPolygon(t, strokeOf(dc), fillOf(dc), apt, static_cast<std::size_t>(cpt));
    return TRUE;
  });
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  return drawCall(Fn::Rectangle, hdc, true, FALSE, TRUE, [&](DcObj& dc, const Target& t) {
    drawRectangle(t, strokeOf(dc), fillOf(dc), dev(t, left, top), dev(t, right, bottom));
    return TRUE;
  });
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  return drawCall(Fn::Ellipse, hdc, true, FALSE, TRUE, [&](DcObj& dc, const Target& t) {
    drawEllipse(t, strokeOf(dc), fillOf(dc), dev(t, left, top), dev(t, right, bottom));
    return TRUE;
  });
}

BOOL Arc(HDC hdc, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  return drawCall(Fn::Arc, hdc, true, FALSE, TRUE, [&](DcObj& dc, const Target& t) {
    drawArc(t, strokeOf(dc), dev(t, x1, y1), dev(t, x2, y2), dev(t, x3, y3), dev(t, x4, y4));
    return TRUE;
  });
}

int FillRect(HDC hdc, const RECT* lprc, HBRUSH hbr) {
  Slot* b = engine().table.find(hbr, Kind::Brush);
  return drawCall(Fn::FillRect, hdc, lprc != nullptr && b != nullptr, 0, 1, [&](DcObj&, const Target& t) {
    if (!b->brush.hollow) {
      // FillRect does not normalise: an unordered rectangle fills nothing.
      const SpanPainter painter(t, packColor(b->brush.color));
      const DevPoint a = dev(t, lprc->left, lprc->top);
      const DevPoint c = dev(t, lprc->right, lprc->bottom);
      fillBox(painter, a.x, a.y, c.x, c.y);
    }
    return 1;
  });
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  return drawCall(Fn::SetPixel, hdc, true, CLR_INVALID, CLR_INVALID, [&](DcObj&, const Target& t) {
    const DevPoint p = dev(t, x, y);
    if (!t.clip.contains(p.x, p.y)) return CLR_INVALID;
    t.kernels->storePixel(t.row(static_cast<std::int32_t>(p.y)) + p.x * t.kernels->bpp, packColor(color));
    return color & 0xFFFFFFu;
  });
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  count(Fn::GetPixel);
  DcObj* dc = findDc(hdc);
  if (dc == nullptr) return CLR_INVALID;
  Target t;
  if (!resolveTarget(*dc, &t)) return CLR_INVALID;
  const DevPoint p = dev(t, x, y);
  if (!t.clip.contains(p.x, p.y)) return CLR_INVALID;
  const std::uint8_t* q = t.row(static_cast<std::int32_t>(p.y)) + p.x * t.bpp();
  const std::uint32_t px = t.kernels->loadPixel(q) & 0xFFFFFFu;
  return unpackColor(px);
}

// ---- text ------------------------------------------------------------------

BOOL TextOutA(HDC hdc, int x, int y, const char* lpString, int c) {
  const bool argsOk = c >= 0 && (c == 0 || lpString != nullptr);
  return drawCall(Fn::TextOutA, hdc, argsOk, FALSE, TRUE, [&](DcObj& dc, const Target& t) {
    if (c == 0) return TRUE;
    bool isSystem = false;
    const Realization* real = fontOf(dc, &isSystem);
    const DevPoint p = dev(t, x, y);
    drawText(t, real, isSystem, p.x, p.y, lpString, c, packColor(dc.textColor), dc.bkMode == OPAQUE,
             packColor(dc.bkColor));
    return TRUE;
  });
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  count(Fn::SetTextColor);
  DcObj* dc = findDc(hdc);
  if (dc == nullptr) return CLR_INVALID;
  const COLORREF previous = dc->textColor;
  dc->textColor = color & 0xFFFFFFu;
  return previous;
}

int SetBkMode(HDC hdc, int mode) {
  count(Fn::SetBkMode);
  DcObj* dc = findDc(hdc);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int previous = dc->bkMode;
  dc->bkMode = mode;
  return previous;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  count(Fn::SetBkColor);
  DcObj* dc = findDc(hdc);
  if (dc == nullptr) return CLR_INVALID;
  const COLORREF previous = dc->bkColor;
  dc->bkColor = color & 0xFFFFFFu;
  return previous;
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* lptm) {
  count(Fn::GetTextMetricsA);
  DcObj* dc = findDc(hdc);
  if (dc == nullptr || lptm == nullptr) return FALSE;
  bool isSystem = false;
  const Realization* real = fontOf(*dc, &isSystem);
  if (real == nullptr && !isSystem) return FALSE;
  fillTextMetrics(real, isSystem, lptm);
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC hdc, const char* lpString, int c, SIZE* psizl) {
  count(Fn::GetTextExtentPoint32A);
  DcObj* dc = findDc(hdc);
  if (dc == nullptr || psizl == nullptr || c < 0 || (c > 0 && lpString == nullptr)) return FALSE;
  bool isSystem = false;
  const Realization* real = fontOf(*dc, &isSystem);
  *psizl = textExtent(real, isSystem, lpString, c);
  return TRUE;
}

// ---- block transfers -------------------------------------------------------

BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
  return transferCall(Fn::BitBlt, hdc, hdcSrc, rop, [&](DcObj&, const Target& t, const Target* s) {
    const DevPoint d = dev(t, x, y);
    const DevPoint from = s != nullptr ? dev(*s, x1, y1) : DevPoint{0, 0};
    bitBlt(t, BlitRect{d.x, d.y, cx, cy}, s, from.x, from.y, rop);
  });
}

BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                int ySrc, int wSrc, int hSrc, DWORD rop) {
  return transferCall(Fn::StretchBlt, hdcDest, hdcSrc, rop, [&](DcObj& dc, const Target& t, const Target* s) {
    const DevPoint d = dev(t, xDest, yDest);
    const DevPoint from = s != nullptr ? dev(*s, xSrc, ySrc) : DevPoint{xSrc, ySrc};
    stretchBlt(t, BlitRect{d.x, d.y, wDest, hDest}, s, BlitRect{from.x, from.y, wSrc, hSrc}, rop, dc.stretchMode);
  });
}

int SetStretchBltMode(HDC hdc, int mode) {
  count(Fn::SetStretchBltMode);
  DcObj* dc = findDc(hdc);
  if (dc == nullptr || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  const int previous = dc->stretchMode;
  dc->stretchMode = mode;
  return previous;
}

// ---- engine-level ----------------------------------------------------------

const CallCounts& callCounts() { return engine().calls; }

std::string_view fnName(Fn f) {
  static constexpr std::string_view kNames[] = {
#define VEX2D_FN_NAME(name) #name,
      VEX2D_FACADE_FUNCTIONS(VEX2D_FN_NAME)
#undef VEX2D_FN_NAME
  };
  static_assert(std::size(kNames) == kFnCount);
  const auto i = static_cast<std::size_t>(f);
  return i < kFnCount ? kNames[i] : std::string_view{};
}

std::size_t liveHandleCount() {
  // Stock objects are allocated once at start and never freed.
  Engine& e = engine();
  std::size_t stock = 1;  // the stock bitmap
  for (HGDIOBJ h : e.stock)
    if (h != 0) ++stock;
  return e.table.liveCount() - stock;
}

}  // namespace gdi

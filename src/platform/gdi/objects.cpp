#include "platform/gdi/objects.h"

#include <sys/mman.h>

#include "platform/gdi/text.h"

namespace gdi::detail {

HandleTable::HandleTable() {
  // Slot 0 is never used, so a zero handle can never match. Every slot is
  // reserved now, so the table never reallocates on a hot path.
  slots_.reserve(std::size_t{kIndexMask} + 1);
  slots_.emplace_back();
}

Slot* HandleTable::allocate(Kind kind, HANDLE* handle) {
  std::uint32_t index;
  if (freeHead_ != 0) {
    index = freeHead_;
    freeHead_ = slots_[index].nextFree;
    if (freeHead_ == 0) freeTail_ = 0;
  } else {
    if (slots_.size() > kIndexMask) {
      *handle = 0;
      return nullptr;
    }
    index = static_cast<std::uint32_t>(slots_.size());
    slots_.emplace_back();
  }
  Slot& s = slots_[index];
  s.kind = kind;
  s.flags = 0;
  s.selectCount = 0;
  s.nextFree = 0;
  ++live_;
  *handle = (static_cast<std::uint32_t>(s.generation) << kIndexBits) | index;
  return &s;
}

void HandleTable::release(HANDLE h) {
  Slot* s = findAny(h);
  if (s == nullptr) return;
  const std::uint32_t index = h & kIndexMask;
  s->kind = Kind::Free;
  s->flags = 0;
  s->selectCount = 0;
  s->generation = (s->generation + 1) & kGenerationMask;
  // To the back of the queue: the slot is taken again after every slot
  // freed before it.
  s->nextFree = 0;
  if (freeTail_ != 0)
    slots_[freeTail_].nextFree = index;
  else
    freeHead_ = index;
  freeTail_ = index;
  --live_;
}

namespace {

HGDIOBJ makeStock(Engine& e, Kind kind) {
  HANDLE h = 0;
  Slot* s = e.table.allocate(kind, &h);
  s->flags = kFlagStock;
  return h;
}

void initStock(Engine& e) {
  const struct {
    int id;
    COLORREF color;
    bool hollow;
  } brushes[] = {{WHITE_BRUSH, RGB(255, 255, 255), false}, {LTGRAY_BRUSH, RGB(192, 192, 192), false},
                 {GRAY_BRUSH, RGB(128, 128, 128), false},  {DKGRAY_BRUSH, RGB(64, 64, 64), false},
                 {BLACK_BRUSH, RGB(0, 0, 0), false},       {NULL_BRUSH, RGB(0, 0, 0), true}};
  for (const auto& b : brushes) {
    HGDIOBJ h = makeStock(e, Kind::Brush);
    e.table.findAny(h)->brush = BrushData{b.hollow, b.color};
    e.stock[b.id] = h;
  }
  const struct {
    int id;
    int style;
    COLORREF color;
  } pens[] = {{WHITE_PEN, PS_SOLID, RGB(255, 255, 255)},
              {BLACK_PEN, PS_SOLID, RGB(0, 0, 0)},
              {NULL_PEN, PS_NULL, RGB(0, 0, 0)}};
  for (const auto& p : pens) {
    HGDIOBJ h = makeStock(e, Kind::Pen);
    e.table.findAny(h)->pen = PenData{p.style, 1, p.color};
    e.stock[p.id] = h;
  }
  {
    HGDIOBJ h = makeStock(e, Kind::Font);
    Slot* s = e.table.findAny(h);
    s->font = FontData{};
    s->font.lf.lfHeight = 16;
    s->font.lf.lfWeight = FW_BOLD;
    s->font.real = nullptr;  // realised on first use: fontconfig is slow to start
    e.stock[SYSTEM_FONT] = h;
  }
  {
    e.stockBitmapObj.width = 1;
    e.stockBitmapObj.height = 1;
    e.stockBitmapObj.widthBytes = 2;
    e.stockBitmapObj.bitsPixel = 1;
    HGDIOBJ h = makeStock(e, Kind::Bitmap);
    e.table.findAny(h)->bitmap = &e.stockBitmapObj;
    e.stockBitmap = h;
  }
}

}  // namespace

Engine& engine() {
  static Engine* e = [] {
    auto* created = new Engine();  // lives for the whole process
    initStock(*created);
    return created;
  }();
  return *e;
}

bool resolveTarget(const DcObj& dc, Target* out) {
  const PixelView& v = dc.view;
  if (v.top == nullptr || v.width <= 0 || v.height <= 0) return false;
  ClipRect c{0, 0, v.width, v.height};
  if (dc.isView) {
    c.left = std::max(c.left, dc.requestedClip.left);
    c.top = std::max(c.top, dc.requestedClip.top);
    c.right = std::min(c.right, dc.requestedClip.right);
    c.bottom = std::min(c.bottom, dc.requestedClip.bottom);
  }
  if (c.empty()) return false;
  out->top = v.top;
  out->stride = v.stride;
  out->format = v.format;
  out->kernels = &pixelKernels(v.format, activeSimdLevel());
  out->clip = c;
  out->originX = dc.origin.x;
  out->originY = dc.origin.y;
  return true;
}

void freeObject(HGDIOBJ h) {
  Engine& e = engine();
  Slot* s = e.table.findAny(h);
  if (s == nullptr || (s->flags & kFlagStock) != 0) return;
  if (s->kind == Kind::Bitmap) {
    BitmapObj* b = s->bitmap;
    if (b->mapBase != nullptr) munmap(b->mapBase, b->mapSize);
    delete b;
  }
  e.table.release(h);
}

void dropSelection(HGDIOBJ h) {
  Slot* s = engine().table.findAny(h);
  if (s == nullptr || (s->flags & kFlagStock) != 0) return;
  if (s->selectCount > 0) --s->selectCount;
  if (s->selectCount == 0 && (s->flags & kFlagDeletePending) != 0) freeObject(h);
}

void deselectAll(DcObj& dc) {
  dropSelection(dc.pen);
  dropSelection(dc.brush);
  dropSelection(dc.font);
  if (dc.bitmap != 0) dropSelection(dc.bitmap);
  dc.pen = dc.brush = dc.font = dc.bitmap = 0;
}

}  // namespace gdi::detail

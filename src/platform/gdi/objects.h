// GDI objects, device contexts and the handle table behind them.
//
// A handle is (generation << 11) | index. The generation of a slot changes
// every time the slot is freed, so a stale handle no longer matches and fails
// cleanly; with 21 bits it comes back only after 2^21 reuses of its slot, and
// free slots are reused first in, first out, so a slot is reused only after
// every other free one. Index 0 is never used, so no handle is 0. The table
// holds at most 2047 live objects, all of its slots reserved up front. Pens, brushes and fonts live inside their slot: creating and
// deleting them is a free-list operation that allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/engine.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/raster.h"

namespace gdi::detail {

enum class Kind : std::uint8_t { Free, Pen, Brush, Font, Bitmap, Dc };

struct PenData {
  int style;  // PS_SOLID or PS_NULL (other styles draw solid)
  int width;  // >= 1
  COLORREF color;
};

struct BrushData {
  bool hollow;
  COLORREF color;
};

struct Realization;  // a font realised at one size; owned by the font cache (text.cpp)

struct FontData {
  LOGFONTA lf;
  const Realization* real;  // null when no font could be realised
};

struct BitmapObj {
  PixelView view;           // empty for the stock 1x1 monochrome bitmap
  LONG width = 0;           // as GetObjectA reports them
  LONG height = 0;
  LONG widthBytes = 0;
  WORD bitsPixel = 0;
  void* bits = nullptr;     // first byte of the pixels as CreateDIBSection returned it
  void* mapBase = nullptr;  // the whole mapping, guard pages included
  std::size_t mapSize = 0;
};

struct DcObj {
  bool isView = false;
  PixelView view;  // what drawing reaches; for memory DCs the selected bitmap
  POINT origin{0, 0};
  RECT requestedClip{0, 0, 0, 0};  // view DCs: the clip as given
  HPEN pen = 0;
  HBRUSH brush = 0;
  HFONT font = 0;
  HBITMAP bitmap = 0;  // memory DCs only
  POINT current{0, 0};
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  int stretchMode = BLACKONWHITE;
  DrawHook hook = nullptr;
  void* hookContext = nullptr;
};

constexpr std::uint8_t kFlagStock = 1;
constexpr std::uint8_t kFlagDeletePending = 2;

struct Slot {
  std::uint32_t generation = 0;
  Kind kind = Kind::Free;
  std::uint8_t flags = 0;
  std::uint32_t selectCount = 0;  // how many DCs hold this object selected
  std::uint32_t nextFree = 0;
  union {
    PenData pen;
    BrushData brush;
    FontData font;
    BitmapObj* bitmap;
    DcObj* dc;
  };
  Slot() : pen{} {}
};

constexpr int kIndexBits = 11;
constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr std::uint32_t kGenerationMask = (1u << (32 - kIndexBits)) - 1;

class HandleTable {
 public:
  HandleTable();

  // A fresh slot of the given kind, or null (with *handle 0) when full.
  Slot* allocate(Kind kind, HANDLE* handle);
  // The slot of a live handle of the given kind, or null.
  Slot* find(HANDLE h, Kind kind) {
    Slot* s = findAny(h);
    return (s != nullptr && s->kind == kind) ? s : nullptr;
  }
  Slot* findAny(HANDLE h) {
    const std::uint32_t index = h & kIndexMask;
    if (index == 0 || index >= slots_.size()) return nullptr;
    Slot& s = slots_[index];
    if (s.kind == Kind::Free || s.generation != (h >> kIndexBits)) return nullptr;
    return &s;
  }
  void release(HANDLE h);
  std::size_t liveCount() const { return live_; }

 private:
  std::vector<Slot> slots_;
  std::uint32_t freeHead_ = 0;  // oldest free slot; 0 when none
  std::uint32_t freeTail_ = 0;  // newest free slot
  std::size_t live_ = 0;
};

struct Engine {
  HandleTable table;
  HGDIOBJ stock[20] = {};  // by stock object number; 0 where we have none
  HBITMAP stockBitmap = 0;  // the 1x1 monochrome bitmap of a new memory DC
  CallCounts calls{};
  BitmapObj stockBitmapObj;
};

Engine& engine();

inline void count(Fn f) { ++engine().calls[static_cast<std::size_t>(f)]; }

// Resolves a DC into the target of one drawing call. False when the DC holds
// nothing drawable or its clip is empty.
bool resolveTarget(const DcObj& dc, Target* out);

// Releases the objects selected into a DC that is going away.
void deselectAll(DcObj& dc);

// Frees a pen, brush, font or bitmap now (stock objects are never freed).
void freeObject(HGDIOBJ h);

// Drops one selection of an object; frees it if its deletion was deferred.
void dropSelection(HGDIOBJ h);

}  // namespace gdi::detail

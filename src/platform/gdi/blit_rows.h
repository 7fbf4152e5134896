// The row kernels of the block transfers: one raster operation applied to
// one row of pixels, for every pair of pixel formats, in one version for
// each instruction set we use. blit.cpp picks one per call; the tests run
// every version this processor has against the plain per-pixel rule.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdi/engine.h"
#include "platform/gdi/simd.h"

namespace gdi::detail {

enum class RopKind : std::uint8_t {
  Copy,     // S
  Or,       // S | D
  And,      // S & D
  Xor,      // S ^ D
  NotCopy,  // ~S
  Zero,     // 0
  Ones,     // all bits set
  Invert,   // ~D
  Invalid,
};

constexpr bool readsSource(RopKind k) {
  return k != RopKind::Zero && k != RopKind::Ones && k != RopKind::Invert;
}

using gdi::activeSimdLevel;
using gdi::kSimdLevels;
using gdi::setSimdLevel;
using gdi::SimdLevel;
using gdi::simdLevelSupported;

// d := op(d, s) over n pixels: d in the destination format, s in the source
// format (null for the operations that ignore it). Between 32-bit rows the
// operation covers all four bytes; a 24-bit source gives 32-bit results a
// top byte of 0; 24-bit rows touch exactly 3n bytes, 32-bit rows 4n, on
// both sides. d and s must not share memory: callers copy such a source out
// first.
using RowFn = void (*)(std::uint8_t* d, const std::uint8_t* s, std::size_t n);
RowFn rowKernel(SimdLevel level, RopKind kind, PixelFormat dst, PixelFormat src);

// The horizontal pass of a stretch that enlarges (or keeps) the width, one
// source pixel per destination pixel, in blocks of 16 destination pixels.
// Such a block takes at most 16 consecutive source pixels, so one 64-byte
// load from `base` holds them all and one byte permute puts them in place.
// The plan is made once per call and used for every row.
struct PickPlan {
  static constexpr int kBlock = 16;
  const std::ptrdiff_t* base;    // byte offset of each block's load in the line
  const std::uint64_t* load;     // which of the 64 bytes are inside the line
  const std::uint8_t* index;     // 64 bytes per block, 64-byte aligned: source byte of each output byte
  std::size_t blocks;
  PixelFormat out;
  std::uint64_t keep;            // the output bytes of a block that are kept; the rest become 0
};

// Runs the plan over one line (AVX-512 only). Each block stores a whole 64
// bytes at 16 pixels of the output format from the block before: the
// output buffer needs 64 bytes of slack after the last pixel.
void pickPlanned(std::uint8_t* out, const std::uint8_t* line, const PickPlan& plan);

}  // namespace gdi::detail

// What a pixel of each format is in memory: its size, and how one is loaded
// and stored as a value 0x??RRGGBB (blue in the first byte). Every kernel
// and primitive family reads and writes single pixels through these.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/gdi/engine.h"

namespace gdi::detail {

template <PixelFormat F>
struct PixelTraits;

// Three bytes, as one 2-byte and one 1-byte access: never past the pixel
// (the last pixel of a DIB ends at a guard page).
template <>
struct PixelTraits<PixelFormat::Bgr24> {
  static constexpr int kBytes = 3;
  static std::uint32_t load(const std::uint8_t* p) {
    std::uint16_t lo;
    std::memcpy(&lo, p, 2);
    return lo | (static_cast<std::uint32_t>(p[2]) << 16);
  }
  static void store(std::uint8_t* p, std::uint32_t px) {
    const auto lo = static_cast<std::uint16_t>(px);
    std::memcpy(p, &lo, 2);
    p[2] = static_cast<std::uint8_t>(px >> 16);
  }
};

// Four bytes; the top byte is stored as given.
template <>
struct PixelTraits<PixelFormat::Xrgb32> {
  static constexpr int kBytes = 4;
  static std::uint32_t load(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  static void store(std::uint8_t* p, std::uint32_t px) { std::memcpy(p, &px, 4); }
};

using Px24 = PixelTraits<PixelFormat::Bgr24>;
using Px32 = PixelTraits<PixelFormat::Xrgb32>;

static_assert(Px24::kBytes == bytesPerPixel(PixelFormat::Bgr24));
static_assert(Px32::kBytes == bytesPerPixel(PixelFormat::Xrgb32));

}  // namespace gdi::detail

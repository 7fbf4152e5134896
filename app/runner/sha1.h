// SHA-1 of a byte stream, so that two machines can show they drew the same
// picture by comparing 40 hex digits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/gdi/engine.h"

namespace runner {

class Sha1 {
 public:
  void update(const void* data, std::size_t size);
  // The digest as 40 lower-case hex digits; the object is spent afterwards.
  std::string hexDigest();

 private:
  void block(const std::uint8_t* p);
  std::array<std::uint32_t, 5> h_{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes
};

// The SHA-1 of a surface's pixel rows, top to bottom, width times the bytes
// per pixel of each row: the padding at a row's end is left out.
std::string surfaceSha1(const gdi::PixelView& view);

}  // namespace runner

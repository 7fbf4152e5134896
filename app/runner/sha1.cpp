#include "runner/sha1.h"

#include <algorithm>
#include <cstring>

namespace runner {

namespace {
constexpr std::uint32_t rotl(std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
}  // namespace

void Sha1::block(const std::uint8_t* p) {
  std::uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = std::uint32_t{p[4 * i]} << 24 | std::uint32_t{p[4 * i + 1]} << 16 | std::uint32_t{p[4 * i + 2]} << 8 |
           std::uint32_t{p[4 * i + 3]};
  for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
  for (int i = 0; i < 80; ++i) {
    std::uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999u;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1u;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDCu;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6u;
    }
    const std::uint32_t t = rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = rotl(b, 30);
    b = a;
    a = t;
  }
  h_[0] += a;
  h_[1] += b;
  h_[2] += c;
  h_[3] += d;
  h_[4] += e;
}

void Sha1::update(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  length_ += size;
  while (size > 0) {
    if (buffered_ == 0 && size >= 64) {
      block(p);
      p += 64;
      size -= 64;
      continue;
    }
    const std::size_t n = std::min(size, 64 - buffered_);
    std::memcpy(buffer_.data() + buffered_, p, n);
    buffered_ += n;
    p += n;
    size -= n;
    if (buffered_ == 64) {
      block(buffer_.data());
      buffered_ = 0;
    }
  }
}

std::string Sha1::hexDigest() {
  const std::uint64_t bits = length_ * 8;
  const std::uint8_t one = 0x80;
  update(&one, 1);
  const std::uint8_t zero = 0;
  while (buffered_ != 56) update(&zero, 1);
  std::uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  update(tail, 8);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::uint32_t v : h_)
    for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(v >> shift) & 0xF];
  return out;
}

std::string surfaceSha1(const gdi::PixelView& view) {
  Sha1 sha;
  if (view.top != nullptr && view.width > 0) {
    const std::size_t rowBytes = static_cast<std::size_t>(view.width) * gdi::bytesPerPixel(view.format);
    for (std::int32_t y = 0; y < view.height; ++y) sha.update(view.top + static_cast<std::ptrdiff_t>(y) * view.stride, rowBytes);
  }
  return sha.hexDigest();
}

}  // namespace runner

#include "runner/sha1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace runner {
namespace {

std::string sha1Of(const std::string& s) {
  Sha1 h;
  h.update(s.data(), s.size());
  return h.hexDigest();
}

TEST(Sha1, KnownDigests) {
  EXPECT_EQ(sha1Of(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(sha1Of("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  // 56 bytes: the length no longer fits the first block's padding.
  EXPECT_EQ(sha1Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(sha1Of(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha1, PiecesGiveTheDigestOfTheWhole) {
  const std::string text = "The quick brown fox jumps over the lazy dog, again and again and again and again.";
  for (std::size_t cut : {0u, 1u, 55u, 63u, 64u, 65u}) {
    Sha1 h;
    h.update(text.data(), cut);
    h.update(text.data() + cut, text.size() - cut);
    EXPECT_EQ(h.hexDigest(), sha1Of(text)) << cut;
  }
}

// A 16x12 24-bit bottom-up surface: rows of 48 bytes padded to 48 (no
// padding) would hide the fault, so take 15 pixels (45 bytes, padded to 48).
TEST(Sha1, SurfaceHashCoversThePixelRowsOnlyTopToBottom) {
  constexpr int kW = 15, kH = 12, kStride = 48;
  std::vector<std::uint8_t> pixels(kStride * kH);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7);
  // Bottom-up: the top row is the last in memory, the stride negative.
  gdi::PixelView view{pixels.data() + (kH - 1) * kStride, -kStride, kW, kH, gdi::PixelFormat::Bgr24};

  Sha1 expected;
  for (int y = 0; y < kH; ++y) expected.update(pixels.data() + (kH - 1 - y) * kStride, kW * 3);
  const std::string hash = surfaceSha1(view);
  EXPECT_EQ(hash, expected.hexDigest());

  // The padding is not part of the picture.
  for (int y = 0; y < kH; ++y) pixels[y * kStride + 45] ^= 0xFF;
  EXPECT_EQ(surfaceSha1(view), hash);
  // A pixel is.
  pixels[5 * kStride + 44] ^= 1;
  EXPECT_NE(surfaceSha1(view), hash);
}

}  // namespace
}  // namespace runner

// Row kernels of the block transfers, one per raster operation, format pair
// and instruction set (see blit_rows.h).
//
// Every kernel touches exactly the bytes of its n pixels on both sides, so
// none can read past the end of a bitmap or write into row padding. The
// wide loops keep to that in one of three ways: a last block that overlaps
// the one before it (worked out from the original bytes before anything is
// stored, so it writes the same values twice), masked loads and stores
// (AVX-512), or a plain per-pixel loop for what is left.
#include "platform/gdi/blit_rows.h"

#include <immintrin.h>

#include <cstring>

#include "platform/gdi/raster.h"
#include "platform/gdi/vec.h"

namespace gdi::detail {

namespace {

using enum PixelFormat;

constexpr bool readsDestination(RopKind k) {
  return k == RopKind::Or || k == RopKind::And || k == RopKind::Xor || k == RopKind::Invert;
}

// Between 32-bit rows an operation with a source covers all four bytes; the
// ones without a source (all ones, inverting the destination) write colours
// and leave 0 in the top byte, as fills do.
template <RopKind K, PixelFormat F>
constexpr bool sourcelessOn32() {
  return F == PixelFormat::Xrgb32 && (K == RopKind::Ones || K == RopKind::Invert);
}

// The operation on any integer or vector value; vectors are passed by
// reference so that no function without the wide instruction set takes a
// wide register by value.
template <RopKind K, typename V>
[[gnu::always_inline]] inline void combineInto(V& d, const V& s) {
  if constexpr (K == RopKind::Copy) d = s;
  if constexpr (K == RopKind::Or) d = d | s;
  if constexpr (K == RopKind::And) d = d & s;
  if constexpr (K == RopKind::Xor) d = d ^ s;
  if constexpr (K == RopKind::NotCopy) d = ~s;
  if constexpr (K == RopKind::Zero) d = V{};
  if constexpr (K == RopKind::Ones) d = ~V{};
  if constexpr (K == RopKind::Invert) d = ~d;
}

template <RopKind K>
inline std::uint32_t combined(std::uint32_t d, std::uint32_t s) {
  combineInto<K>(d, s);
  return d;
}

// ---- per-pixel loops: the tails of every version ---------------------------

template <RopKind K, PixelFormat F>
void sameScalar(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  if constexpr (F == Bgr24) {
    for (std::size_t i = 0; i < 3 * n; ++i) {
      const std::uint32_t sv = readsSource(K) ? s[i] : 0u;
      d[i] = static_cast<std::uint8_t>(combined<K>(d[i], sv));
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t sv = readsSource(K) ? Px32::load(s + 4 * i) : 0u;
      const std::uint32_t v = combined<K>(Px32::load(d + 4 * i), sv);
      Px32::store(d + 4 * i, sourcelessOn32<K, F>() ? v & 0xFFFFFFu : v);
    }
  }
}

template <RopKind K>
void expandScalar(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    Px32::store(d + 4 * i,
                 combined<K>(Px32::load(d + 4 * i), Px24::load(s + 3 * i)) & 0xFFFFFFu);
}

template <RopKind K>
void packScalar(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    Px24::store(d + 3 * i, combined<K>(Px24::load(d + 3 * i), Px32::load(s + 4 * i)));
}

// ---- SSE2 -------------------------------------------------------------------

inline __m128i load16(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store16(std::uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// The C library's own wide loops, where the operation is a plain copy or
// fill of the row's bytes. 32-bit copies stay on the vector loop they ran
// when it still cleared the top byte, so their speed is unchanged.
template <RopKind K, PixelFormat F>
constexpr bool libraryRow() {
  return (K == RopKind::Copy && F == Bgr24) || K == RopKind::Zero || (K == RopKind::Ones && F == Bgr24);
}

template <RopKind K, PixelFormat F>
void libraryRowOf(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  const std::size_t bytes = n * bytesPerPixel(F);
  if constexpr (K == RopKind::Copy) std::memcpy(d, s, bytes);
  if constexpr (K == RopKind::Zero) std::memset(d, 0, bytes);
  if constexpr (K == RopKind::Ones) std::memset(d, 0xFF, bytes);
}

namespace sse2 {
#define VEX2D_KERNEL VEX2D_TARGET_SSE2
using Vec = Sse2Vec;
template <RopKind K, PixelFormat F>
inline void narrowerSameRow(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  sameScalar<K, F>(d, s, n);
}
#include "platform/gdi/same_rows.inl"
#undef VEX2D_KERNEL
}  // namespace sse2

// A same-format row kernel: the library's loop where that is one, else the
// vector row of a level.
template <RopKind K, PixelFormat F, void (*VectorRow)(std::uint8_t*, const std::uint8_t*, std::size_t)>
void sameVia(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  if constexpr (libraryRow<K, F>())
    libraryRowOf<K, F>(d, s, n);
  else
    VectorRow(d, s, n);
}

template <RopKind K, PixelFormat F>
constexpr RowFn kSameSse2 = sameVia<K, F, sse2::sameRow<K, F>>;

// Four expanded pixels combined with the destination and stored, the top
// bytes 0 (the 24-to-32-bit rule).
template <RopKind K>
inline void expandStore4(std::uint8_t* d, __m128i px) {
  __m128i a = _mm_setzero_si128();
  if constexpr (readsDestination(K)) a = load16(d);
  combineInto<K>(a, px);
  store16(d, _mm_and_si128(a, _mm_set1_epi32(0xFFFFFF)));
}

// Four packed pixels (12 bytes) combined with the destination and stored
// with one 16-byte store that writes back the 4 bytes after them unchanged.
template <RopKind K>
inline void packStore4(std::uint8_t* d, __m128i px) {
  const __m128i keep = _mm_setr_epi32(0, 0, 0, -1);  // the four bytes past the pixels
  const __m128i old = load16(d);
  __m128i a = old;
  combineInto<K>(a, px);
  store16(d, _mm_or_si128(_mm_andnot_si128(keep, a), _mm_and_si128(keep, old)));
}

// 24 to 32 bits, four pixels a step: byte shifts move pixel k from byte 3k
// to byte 4k. The 16-byte load reaches into the next two pixels, hence
// i + 6 <= n.
template <RopKind K>
void expandSse2(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  const __m128i m0 = _mm_setr_epi32(0xFFFFFF, 0, 0, 0);
  const __m128i m1 = _mm_setr_epi32(0, 0xFFFFFF, 0, 0);
  const __m128i m2 = _mm_setr_epi32(0, 0, 0xFFFFFF, 0);
  const __m128i m3 = _mm_setr_epi32(0, 0, 0, 0xFFFFFF);
  std::size_t i = 0;
  for (; i + 6 <= n; i += 4) {
    const __m128i v = load16(s + 3 * i);
    const __m128i px =
        _mm_or_si128(_mm_or_si128(_mm_and_si128(v, m0), _mm_and_si128(_mm_slli_si128(v, 1), m1)),
                     _mm_or_si128(_mm_and_si128(_mm_slli_si128(v, 2), m2),
                                  _mm_and_si128(_mm_slli_si128(v, 3), m3)));
    expandStore4<K>(d + 4 * i, px);
  }
  expandScalar<K>(d + 4 * i, s + 3 * i, n - i);
}

// 32 to 24 bits, four pixels a step. The 16-byte store reaches four bytes
// into the next pixels; it writes back what it read there, and those bytes
// are done properly by the next step, hence i + 6 <= n.
template <RopKind K>
void packSse2(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  const __m128i m0 = _mm_setr_epi32(0xFFFFFF, 0, 0, 0);
  const __m128i m1 = _mm_setr_epi32(0, 0xFFFFFF, 0, 0);
  const __m128i m2 = _mm_setr_epi32(0, 0, 0xFFFFFF, 0);
  const __m128i m3 = _mm_setr_epi32(0, 0, 0, 0xFFFFFF);
  std::size_t i = 0;
  for (; i + 6 <= n; i += 4) {
    const __m128i v = load16(s + 4 * i);
    const __m128i px =
        _mm_or_si128(_mm_or_si128(_mm_and_si128(v, m0), _mm_srli_si128(_mm_and_si128(v, m1), 1)),
                     _mm_or_si128(_mm_srli_si128(_mm_and_si128(v, m2), 2),
                                  _mm_srli_si128(_mm_and_si128(v, m3), 3)));
    packStore4<K>(d + 3 * i, px);
  }
  packScalar<K>(d + 3 * i, s + 4 * i, n - i);
}

// ---- SSSE3 and AVX2 ---------------------------------------------------------

#define VEX2D_AVX2 VEX2D_TARGET_AVX2

VEX2D_AVX2 inline __m256i load32(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
VEX2D_AVX2 inline void store32(std::uint8_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

namespace avx2 {
#define VEX2D_KERNEL VEX2D_TARGET_AVX2
using Vec = Avx2Vec;
template <RopKind K, PixelFormat F>
inline void narrowerSameRow(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  sse2::sameRow<K, F>(d, s, n);
}
#include "platform/gdi/same_rows.inl"
#undef VEX2D_KERNEL
}  // namespace avx2

template <RopKind K, PixelFormat F>
constexpr RowFn kSameAvx2 = sameVia<K, F, avx2::sameRow<K, F>>;

// 24 to 32 bits with byte shuffles: eight pixels a step from two 16-byte
// loads 12 bytes apart (the second reads 4 bytes into the pixels after the
// eight, hence i + 10 <= n), then four a step from one load (i + 6 <= n).
template <RopKind K>
VEX2D_AVX2 void expandAvx2(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  const __m128i spread =
      _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i spread2 = _mm256_broadcastsi128_si256(spread);
  std::size_t i = 0;
  for (; i + 10 <= n; i += 8) {
    const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(load16(s + 3 * i)),
                                              load16(s + 3 * i + 12), 1);
    const __m256i px = _mm256_shuffle_epi8(v, spread2);
    __m256i a = _mm256_setzero_si256();
    if constexpr (readsDestination(K)) a = load32(d + 4 * i);
    combineInto<K>(a, px);
    store32(d + 4 * i, _mm256_and_si256(a, _mm256_set1_epi32(0xFFFFFF)));
  }
  for (; i + 6 <= n; i += 4) {
    expandStore4<K>(d + 4 * i, _mm_shuffle_epi8(load16(s + 3 * i), spread));
  }
  expandScalar<K>(d + 4 * i, s + 3 * i, n - i);
}

// 32 to 24 bits with byte shuffles: eight pixels a step, each 128-bit lane
// packed to 12 bytes and the lanes joined by a dword permute; the 24 bytes
// are read and written as 16 + 8. Then four pixels a step as in packSse2.
template <RopKind K>
VEX2D_AVX2 void packAvx2(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  const __m128i squeeze =
      _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i squeeze2 = _mm256_broadcastsi128_si256(squeeze);
  const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i px = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(load32(s + 4 * i), squeeze2), join);
    std::uint8_t* q = d + 3 * i;
    __m128i lo = _mm256_castsi256_si128(px), hi = _mm256_extracti128_si256(px, 1);
    __m128i a = _mm_setzero_si128(), b = _mm_setzero_si128();
    if constexpr (readsDestination(K)) {
      a = load16(q);
      b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + 16));
    }
    combineInto<K>(a, lo);
    combineInto<K>(b, hi);
    store16(q, a);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(q + 16), b);
  }
  for (; i + 6 <= n; i += 4) packStore4<K>(d + 3 * i, _mm_shuffle_epi8(load16(s + 4 * i), squeeze));
  packScalar<K>(d + 3 * i, s + 4 * i, n - i);
}

// ---- AVX-512 ----------------------------------------------------------------

#define VEX2D_AVX512 VEX2D_TARGET_AVX512

// The first `bytes` bytes of a register (bytes < 64).
VEX2D_AVX512 inline __mmask64 firstBytes(std::size_t bytes) {
  return (std::uint64_t{1} << bytes) - 1;
}

VEX2D_AVX512 inline __m512i load64(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
VEX2D_AVX512 inline void store64(std::uint8_t* p, __m512i v) { _mm512_storeu_si512(p, v); }

// One masked block: the first `bytes` bytes (fewer than 64) from the
// original data, ready to be stored under the same mask.
template <RopKind K, PixelFormat F>
VEX2D_AVX512 inline __m512i partial64(const std::uint8_t* d, const std::uint8_t* s, __mmask64 m) {
  __m512i a = _mm512_setzero_si512(), b = _mm512_setzero_si512();
  if constexpr (readsDestination(K)) a = _mm512_maskz_loadu_epi8(m, d);
  if constexpr (readsSource(K)) b = _mm512_maskz_loadu_epi8(m, s);
  combineInto<K>(a, b);
  if constexpr (sourcelessOn32<K, F>()) a = _mm512_and_si512(a, _mm512_set1_epi32(0xFFFFFF));
  return a;
}

template <RopKind K, PixelFormat F>
VEX2D_AVX512 inline __m512i block64(const std::uint8_t* d, const std::uint8_t* s) {
  __m512i a = _mm512_setzero_si512(), b = _mm512_setzero_si512();
  if constexpr (readsDestination(K)) a = _mm512_load_si512(d);
  if constexpr (readsSource(K)) b = load64(s);
  combineInto<K>(a, b);
  if constexpr (sourcelessOn32<K, F>()) a = _mm512_and_si512(a, _mm512_set1_epi32(0xFFFFFF));
  return a;
}

// The destination is written in whole aligned 64-byte blocks (a store that
// straddles two cache lines costs two), with a masked block at each end.
// Both end blocks are worked out from the original bytes and stored after
// the middle: a masked store holds up a later load of the same 64 bytes
// until it retires, even where the bytes themselves do not overlap.
template <RopKind K, PixelFormat F>
VEX2D_AVX512 void sameAvx512(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  const std::size_t bytes = n * bytesPerPixel(F);
  if constexpr (libraryRow<K, F>()) {
    libraryRowOf<K, F>(d, s, n);
  } else {
    const std::size_t head = (64 - (reinterpret_cast<std::uintptr_t>(d) & 63)) & 63;
    // 32-bit rows off a pixel boundary (never a bitmap of ours) would put
    // the colour mask of the sourceless operations out of phase in the
    // aligned blocks.
    const bool aligned = !sourcelessOn32<K, F>() || (head & 3) == 0;
    if (bytes < head + 64 || !aligned) {
      std::size_t i = 0;
      for (; i + 64 <= bytes; i += 64) {
        __m512i a = _mm512_setzero_si512(), b = _mm512_setzero_si512();
        if constexpr (readsDestination(K)) a = load64(d + i);
        if constexpr (readsSource(K)) b = load64(s + i);
        combineInto<K>(a, b);
        if constexpr (sourcelessOn32<K, F>()) a = _mm512_and_si512(a, _mm512_set1_epi32(0xFFFFFF));
        store64(d + i, a);
      }
      if (i < bytes) {
        const __mmask64 m = firstBytes(bytes - i);
        _mm512_mask_storeu_epi8(d + i, m, partial64<K, F>(d + i, s + i, m));
      }
      return;
    }
    const std::size_t end = head + ((bytes - head) & ~std::size_t{63});
    const __mmask64 hm = firstBytes(head), tm = firstBytes(bytes - end);
    const __m512i first = partial64<K, F>(d, s, hm);
    const __m512i last = partial64<K, F>(d + end, s + end, tm);
    std::size_t i = head;
    for (; i + 256 <= end; i += 256) {
      const __m512i r0 = block64<K, F>(d + i, s + i);
      const __m512i r1 = block64<K, F>(d + i + 64, s + i + 64);
      const __m512i r2 = block64<K, F>(d + i + 128, s + i + 128);
      const __m512i r3 = block64<K, F>(d + i + 192, s + i + 192);
      _mm512_store_si512(d + i, r0);
      _mm512_store_si512(d + i + 64, r1);
      _mm512_store_si512(d + i + 128, r2);
      _mm512_store_si512(d + i + 192, r3);
    }
    for (; i < end; i += 64) _mm512_store_si512(d + i, block64<K, F>(d + i, s + i));
    _mm512_mask_storeu_epi8(d, hm, first);
    _mm512_mask_storeu_epi8(d + end, tm, last);
  }
}

// The byte tables of the 24/32-bit conversions. kSpread takes 16 pixels
// (48 bytes) to 64 bytes, for the bytes of two registers (indices 64 and
// up name the second); kSqueeze packs 64 pixels of four 32-bit registers
// into three 24-bit ones.
struct ConvertTables {
  alignas(64) std::uint8_t spread[4][64];   // output register k of a 64-pixel step
  alignas(64) std::uint8_t squeeze[3][64];  // output register k of a 64-pixel step
};

constexpr ConvertTables makeConvertTables() {
  ConvertTables t{};
  // 24 to 32: output register k holds pixels 16k .. 16k + 15, whose bytes
  // start at 48k in the three source registers; each is read from source
  // registers (48k / 64) and the one after it.
  for (int k = 0; k < 4; ++k) {
    const int base = (48 * k / 64) * 64;
    for (int j = 0; j < 64; ++j) {
      const int px = 16 * k + j / 4;
      t.spread[k][j] = j % 4 == 3 ? 0 : static_cast<std::uint8_t>(3 * px + j % 4 - base);
    }
  }
  // 32 to 24: output register k holds packed bytes 64k .. 64k + 63, taken
  // from source registers k and k + 1.
  for (int k = 0; k < 3; ++k) {
    for (int j = 0; j < 64; ++j) {
      const int b = 64 * k + j;
      t.squeeze[k][j] = static_cast<std::uint8_t>(4 * (b / 3) + b % 3 - 64 * k);
    }
  }
  return t;
}
alignas(64) constexpr ConvertTables kConvert = makeConvertTables();

// 24 to 32 bits: 64 pixels a step, three source registers spread into four
// with two-register byte permutes; then 16 pixels a step under masks. The
// top byte of each pixel comes out 0.
template <RopKind K>
VEX2D_AVX512 void expandAvx512(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  constexpr __mmask64 kColour = 0x7777777777777777ull;  // all but every fourth byte
  const __m512i t0 = _mm512_load_si512(kConvert.spread[0]);
  const __m512i t1 = _mm512_load_si512(kConvert.spread[1]);
  const __m512i t2 = _mm512_load_si512(kConvert.spread[2]);
  const __m512i t3 = _mm512_load_si512(kConvert.spread[3]);
  auto finish = [](std::uint8_t* q, __m512i px) VEX2D_AVX512 {
    __m512i a = _mm512_setzero_si512();
    if constexpr (readsDestination(K)) a = load64(q);
    combineInto<K>(a, px);
    store64(q, _mm512_maskz_mov_epi8(kColour, a));
  };
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const std::uint8_t* p = s + 3 * i;
    const __m512i v0 = load64(p), v1 = load64(p + 64), v2 = load64(p + 128);
    std::uint8_t* q = d + 4 * i;
    finish(q, _mm512_maskz_permutex2var_epi8(kColour, v0, t0, v1));
    finish(q + 64, _mm512_maskz_permutex2var_epi8(kColour, v0, t1, v1));
    finish(q + 128, _mm512_maskz_permutex2var_epi8(kColour, v1, t2, v2));
    finish(q + 192, _mm512_maskz_permutex2var_epi8(kColour, v2, t3, v2));
  }
  for (; i < n; i += 16) {
    const std::size_t px = n - i < 16 ? n - i : 16;
    const __mmask64 dm = px == 16 ? ~__mmask64{0} : firstBytes(4 * px);
    const __m512i v = _mm512_maskz_permutexvar_epi8(
        kColour, t0, _mm512_maskz_loadu_epi8(firstBytes(3 * px), s + 3 * i));
    __m512i a = _mm512_setzero_si512();
    if constexpr (readsDestination(K)) a = _mm512_maskz_loadu_epi8(dm, d + 4 * i);
    combineInto<K>(a, v);
    _mm512_mask_storeu_epi8(d + 4 * i, dm, _mm512_maskz_mov_epi8(kColour, a));
  }
}

// 32 to 24 bits: 64 pixels a step, four source registers squeezed into
// three whole destination registers with two-register byte permutes; the
// rest 16 pixels a step under masks.
template <RopKind K>
VEX2D_AVX512 void packAvx512(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  const __m512i t0 = _mm512_load_si512(kConvert.squeeze[0]);
  const __m512i t1 = _mm512_load_si512(kConvert.squeeze[1]);
  const __m512i t2 = _mm512_load_si512(kConvert.squeeze[2]);
  auto finish = [](std::uint8_t* q, __m512i px) VEX2D_AVX512 {
    __m512i a = _mm512_setzero_si512();
    if constexpr (readsDestination(K)) a = load64(q);
    combineInto<K>(a, px);
    store64(q, a);
  };
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const std::uint8_t* p = s + 4 * i;
    const __m512i v0 = load64(p), v1 = load64(p + 64), v2 = load64(p + 128), v3 = load64(p + 192);
    std::uint8_t* q = d + 3 * i;
    finish(q, _mm512_permutex2var_epi8(v0, t0, v1));
    finish(q + 64, _mm512_permutex2var_epi8(v1, t1, v2));
    finish(q + 128, _mm512_permutex2var_epi8(v2, t2, v3));
  }
  // The first table's first 48 bytes pack 16 pixels of one register.
  const __mmask64 whole = firstBytes(48);
  for (; i < n; i += 16) {
    const std::size_t px = n - i < 16 ? n - i : 16;
    const __mmask64 dm = px == 16 ? whole : firstBytes(3 * px);
    const __m512i v = _mm512_maskz_permutexvar_epi8(
        dm, t0, _mm512_maskz_loadu_epi8(px == 16 ? ~__mmask64{0} : firstBytes(4 * px), s + 4 * i));
    __m512i a = _mm512_setzero_si512();
    if constexpr (readsDestination(K)) a = _mm512_maskz_loadu_epi8(dm, d + 3 * i);
    combineInto<K>(a, v);
    _mm512_mask_storeu_epi8(d + 3 * i, dm, a);
  }
}

VEX2D_AVX512 void pickPlannedAvx512(std::uint8_t* out, const std::uint8_t* line, const PickPlan& p) {
  const __mmask64 keep = p.keep;
  const std::size_t step = PickPlan::kBlock * static_cast<std::size_t>(bytesPerPixel(p.out));
  for (std::size_t b = 0; b < p.blocks; ++b, out += step) {
    const __m512i v = _mm512_maskz_loadu_epi8(p.load[b], line + p.base[b]);
    const __m512i idx = _mm512_load_si512(p.index + 64 * b);
    store64(out, _mm512_maskz_permutexvar_epi8(keep, idx, v));
  }
}

// ---- the tables ---------------------------------------------------------------

template <RopKind K>
RowFn kernelOf(SimdLevel level, PixelFormat dst, PixelFormat src) {
  if (!readsSource(K) || dst == src) {
    switch (level) {
      case SimdLevel::Avx512: return dst == Bgr24 ? sameAvx512<K, Bgr24> : sameAvx512<K, Xrgb32>;
      case SimdLevel::Avx2: return dst == Bgr24 ? kSameAvx2<K, Bgr24> : kSameAvx2<K, Xrgb32>;
      case SimdLevel::Sse2: return dst == Bgr24 ? kSameSse2<K, Bgr24> : kSameSse2<K, Xrgb32>;
      default: return dst == Bgr24 ? sameScalar<K, Bgr24> : sameScalar<K, Xrgb32>;
    }
  }
  if (dst == Xrgb32) {
    switch (level) {
      case SimdLevel::Avx512: return expandAvx512<K>;
      case SimdLevel::Avx2: return expandAvx2<K>;
      case SimdLevel::Sse2: return expandSse2<K>;
      default: return expandScalar<K>;
    }
  }
  switch (level) {
    case SimdLevel::Avx512: return packAvx512<K>;
    case SimdLevel::Avx2: return packAvx2<K>;
    case SimdLevel::Sse2: return packSse2<K>;
    default: return packScalar<K>;
  }
}

}  // namespace

void pickPlanned(std::uint8_t* out, const std::uint8_t* line, const PickPlan& plan) {
  pickPlannedAvx512(out, line, plan);
}

RowFn rowKernel(SimdLevel level, RopKind kind, PixelFormat dst, PixelFormat src) {
  if (!simdLevelSupported(level)) level = SimdLevel::Scalar;
  switch (kind) {
    case RopKind::Copy: return kernelOf<RopKind::Copy>(level, dst, src);
    case RopKind::Or: return kernelOf<RopKind::Or>(level, dst, src);
    case RopKind::And: return kernelOf<RopKind::And>(level, dst, src);
    case RopKind::Xor: return kernelOf<RopKind::Xor>(level, dst, src);
    case RopKind::NotCopy: return kernelOf<RopKind::NotCopy>(level, dst, src);
    case RopKind::Zero: return kernelOf<RopKind::Zero>(level, dst, src);
    case RopKind::Ones: return kernelOf<RopKind::Ones>(level, dst, src);
    case RopKind::Invert: return kernelOf<RopKind::Invert>(level, dst, src);
    default: return nullptr;
  }
}

}  // namespace gdi::detail

// The registers of the instruction-set levels, as the kernels written once
// over a vector width use them (fill_rows.inl, same_rows.inl): the width in
// bytes and the few operations those kernels need. Each operation carries
// the target of its level, so that it can be called from a function of that
// level without the whole file being compiled for it.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#define VEX2D_TARGET_SSE2
#define VEX2D_TARGET_AVX2 __attribute__((target("avx2")))
#define VEX2D_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

namespace gdi::detail {

struct Sse2Vec {
  using Reg = __m128i;
  static constexpr std::ptrdiff_t kBytes = 16;
  static Reg zero() { return _mm_setzero_si128(); }
  static Reg loadu(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const Reg*>(p)); }
  static void storeu(std::uint8_t* p, Reg v) { _mm_storeu_si128(reinterpret_cast<Reg*>(p), v); }
  static void store(std::uint8_t* p, Reg v) { _mm_store_si128(reinterpret_cast<Reg*>(p), v); }
  static Reg bitAnd(Reg a, Reg b) { return _mm_and_si128(a, b); }
  static Reg splat32(std::uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
};

struct Avx2Vec {
  using Reg = __m256i;
  static constexpr std::ptrdiff_t kBytes = 32;
  VEX2D_TARGET_AVX2 static Reg zero() { return _mm256_setzero_si256(); }
  VEX2D_TARGET_AVX2 static Reg loadu(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const Reg*>(p));
  }
  VEX2D_TARGET_AVX2 static void storeu(std::uint8_t* p, Reg v) {
    _mm256_storeu_si256(reinterpret_cast<Reg*>(p), v);
  }
  VEX2D_TARGET_AVX2 static void store(std::uint8_t* p, Reg v) {
    _mm256_store_si256(reinterpret_cast<Reg*>(p), v);
  }
  VEX2D_TARGET_AVX2 static Reg bitAnd(Reg a, Reg b) { return _mm256_and_si256(a, b); }
  VEX2D_TARGET_AVX2 static Reg splat32(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
};

}  // namespace gdi::detail

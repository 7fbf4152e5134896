// The one place that decides which instruction set the pixel kernels use.
//
// The level is detected when the program starts: the best this processor
// has. The environment variable VEX2D_SIMD (scalar, sse2, avx2 or avx512)
// chooses a lower one; a level the processor lacks, or a name we do not
// know, is refused with a message on standard error and the detected level
// stays. Tests switch levels with setSimdLevel. Every drawing call reads the
// level once, when it resolves its target.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gdi {

// Each level is a superset of the one before: the plain scalar kernels
// (the reference every other level is checked against), SSE2 (every
// x86-64), AVX2, and AVX-512 with byte permutes (F, BW, VL and VBMI).
enum class SimdLevel : std::uint8_t { Scalar, Sse2, Avx2, Avx512 };
constexpr int kSimdLevels = 4;
constexpr SimdLevel kAllSimdLevels[kSimdLevels] = {SimdLevel::Scalar, SimdLevel::Sse2,
                                                   SimdLevel::Avx2, SimdLevel::Avx512};

// True when this processor can run the kernels of `level`.
bool simdLevelSupported(SimdLevel level);

// The level the kernels use now.
SimdLevel activeSimdLevel();

// Makes `level` the active one if the processor has it; returns the level
// that was active before.
SimdLevel setSimdLevel(SimdLevel level);

// The name VEX2D_SIMD uses for a level ("scalar", "sse2", "avx2",
// "avx512"), and back.
std::string_view simdLevelName(SimdLevel level);
std::optional<SimdLevel> simdLevelFromName(std::string_view name);

// The level VEX2D_SIMD=`value` asks for (null or empty: the best supported
// one). A name we do not know or a level the processor lacks gives the best
// supported level and a message saying so; otherwise `message` is empty.
SimdLevel simdLevelFromEnvironment(const char* value, const bool (&supported)[kSimdLevels],
                                   std::string* message);

// The name of the active level, for reports.
std::string_view activeSimdLevelName();

}  // namespace gdi

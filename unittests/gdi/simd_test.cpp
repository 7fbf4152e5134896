// The one decision point of the instruction set: what VEX2D_SIMD asks for,
// what setSimdLevel takes, and the names the reports use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/gdi/simd.h"

namespace {

using namespace gdi;

TEST(SimdLevel, EnvironmentChoosesASupportedLevelAndRefusesTheRest) {
  constexpr bool kUpToAvx2[kSimdLevels] = {true, true, true, false};
  constexpr bool kScalarOnly[kSimdLevels] = {true, false, false, false};
  struct Case {
    const char* value;
    const bool (&supported)[kSimdLevels];
    SimdLevel want;
    const char* message;  // empty: none
  };
  const Case cases[] = {
      {nullptr, kUpToAvx2, SimdLevel::Avx2, ""},
      {"", kUpToAvx2, SimdLevel::Avx2, ""},
      {"scalar", kUpToAvx2, SimdLevel::Scalar, ""},
      {"sse2", kUpToAvx2, SimdLevel::Sse2, ""},
      {"avx2", kUpToAvx2, SimdLevel::Avx2, ""},
      {"avx512", kUpToAvx2, SimdLevel::Avx2, "VEX2D_SIMD=avx512 refused: this processor lacks it; using avx2"},
      {"AVX2", kUpToAvx2, SimdLevel::Avx2,
       "VEX2D_SIMD=AVX2 refused: not one of scalar, sse2, avx2, avx512; using avx2"},
      {"sse2", kScalarOnly, SimdLevel::Scalar, "VEX2D_SIMD=sse2 refused: this processor lacks it; using scalar"},
  };
  for (const Case& c : cases) {
    std::string message = "stale";
    EXPECT_EQ(simdLevelFromEnvironment(c.value, c.supported, &message), c.want) << (c.value ? c.value : "(unset)");
    EXPECT_EQ(message, c.message) << (c.value ? c.value : "(unset)");
  }
}

TEST(SimdLevel, SetTakesOnlyLevelsTheProcessorHasAndReturnsThePrevious) {
  const SimdLevel start = activeSimdLevel();
  ASSERT_TRUE(simdLevelSupported(SimdLevel::Scalar));
  EXPECT_EQ(setSimdLevel(SimdLevel::Scalar), start);
  EXPECT_EQ(activeSimdLevel(), SimdLevel::Scalar);
  EXPECT_EQ(activeSimdLevelName(), "scalar");
  for (const SimdLevel level : kAllSimdLevels) {
    const SimdLevel before = setSimdLevel(level);
    EXPECT_EQ(activeSimdLevel(), simdLevelSupported(level) ? level : before) << simdLevelName(level);
  }
  setSimdLevel(start);
  EXPECT_EQ(activeSimdLevel(), start);
}

TEST(SimdLevel, NamesRoundTrip) {
  for (const SimdLevel level : kAllSimdLevels) EXPECT_EQ(simdLevelFromName(simdLevelName(level)), level);
  EXPECT_FALSE(simdLevelFromName("avx"));
}

// When the whole suite runs under VEX2D_SIMD (the per-level runs of ctest),
// the level it names is the one in force.
TEST(SimdLevel, TheEnvironmentsLevelIsActiveAtStart) {
  const char* env = std::getenv("VEX2D_SIMD");
  if (env == nullptr) GTEST_SKIP() << "VEX2D_SIMD is not set";
  const auto wanted = simdLevelFromName(env);
  if (!wanted || !simdLevelSupported(*wanted)) GTEST_SKIP() << "this processor lacks " << env;
  EXPECT_EQ(activeSimdLevel(), *wanted);
}

}  // namespace

#include "platform/gdi/simd.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace gdi {

namespace {

bool probe(SimdLevel level) {
  // This runs during static initialisation, possibly before the C runtime
  // has filled in the processor model.
  __builtin_cpu_init();
  switch (level) {
    case SimdLevel::Avx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
    case SimdLevel::Avx2: return __builtin_cpu_supports("avx2");
    default: return true;
  }
}

struct Levels {
  bool supported[kSimdLevels];
  SimdLevel active;
};

Levels decide() {
  Levels l{};
  for (const SimdLevel level : kAllSimdLevels) l.supported[static_cast<int>(level)] = probe(level);
  std::string message;
  l.active = simdLevelFromEnvironment(std::getenv("VEX2D_SIMD"), l.supported, &message);
  if (!message.empty()) std::fprintf(stderr, "%s\n", message.c_str());
  return l;
}

Levels& levels() {
  static Levels l = decide();
  return l;
}

// Decided before main, so that the message (if any) comes first and every
// thread sees one level.
[[maybe_unused]] const Levels& gDecided = levels();

}  // namespace

SimdLevel simdLevelFromEnvironment(const char* value, const bool (&supported)[kSimdLevels],
                                   std::string* message) {
  SimdLevel best = SimdLevel::Scalar;
  for (const SimdLevel level : kAllSimdLevels)
    if (supported[static_cast<int>(level)]) best = level;
  message->clear();
  if (value == nullptr || *value == '\0') return best;
  const std::optional<SimdLevel> wanted = simdLevelFromName(value);
  const std::string prefix = std::string("VEX2D_SIMD=") + value + " refused: ";
  const std::string suffix = std::string("; using ") + std::string(simdLevelName(best));
  if (!wanted) {
    *message = prefix + "not one of scalar, sse2, avx2, avx512" + suffix;
    return best;
  }
  if (!supported[static_cast<int>(*wanted)]) {
    *message = prefix + "this processor lacks it" + suffix;
    return best;
  }
  return *wanted;
}

bool simdLevelSupported(SimdLevel level) { return levels().supported[static_cast<int>(level)]; }

SimdLevel activeSimdLevel() { return levels().active; }

SimdLevel setSimdLevel(SimdLevel level) {
  Levels& l = levels();
  const SimdLevel previous = l.active;
  if (l.supported[static_cast<int>(level)]) l.active = level;
  return previous;
}

std::string_view simdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::Scalar: return "scalar";
    case SimdLevel::Sse2: return "sse2";
    case SimdLevel::Avx2: return "avx2";
    case SimdLevel::Avx512: return "avx512";
  }
  return "scalar";
}

std::optional<SimdLevel> simdLevelFromName(std::string_view name) {
  for (const SimdLevel level : kAllSimdLevels)
    if (simdLevelName(level) == name) return level;
  return std::nullopt;
}

std::string_view activeSimdLevelName() { return simdLevelName(activeSimdLevel()); }

}  // namespace gdi

// Run-time services that need no window: clocks, the shared generator,
// number and date formatting, rounding, text encoding and text files.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/forms/forms.h"
#include "platform/forms/internal.h"

namespace forms {

// ---- clocks ----------------------------------------------------------------

double RealClock::now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void RealClock::sleep(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::time_t RealClock::wallTime() { return std::time(nullptr); }

// ---- the shared generator ----------------------------------------------------

namespace {

// A PCG32 generator (64-bit linear congruential state, permuted 32-bit
// output): a multiply, an add and a few shifts per value, so the kernels'
// hundreds of thousands of draws cost next to nothing, and statistically far
// better than the kernels need.
struct Pcg32 {
  std::uint64_t state = 0;
  static constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;
  static constexpr std::uint64_t kIncrement = 1442695040888963407ULL;

  constexpr void seed(int s) {
    // The seed is spread over the whole state first, so that nearby seeds
    // (-5 and -4, say) start far apart in the sequence.
    std::uint64_t z = static_cast<std::uint64_t>(static_cast<std::int64_t>(s)) + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    state = z ^ (z >> 31);
  }

  std::uint32_t next() {
    const std::uint64_t old = state;
    state = old * kMultiplier + kIncrement;
    const auto xorshifted = static_cast<std::uint32_t>(((old >> 18) ^ old) >> 27);
    const auto rot = static_cast<std::uint32_t>(old >> 59);
    return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
  }
};

constexpr Pcg32 makeStartGenerator() {
  Pcg32 g;
  g.seed(0);
  return g;
}

// Constant-initialised, so that code running before main() draws the same
// sequence as everyone else.
constinit Pcg32 g_generator = makeStartGenerator();
std::uint64_t g_draws = 0;

}  // namespace

float Rnd() {
  ++g_draws;
  // 24 bits fill the float's mantissa exactly, so every value is a multiple
  // of 2^-24 below 1: the largest is 1 - 2^-24, never 1 itself.
  return static_cast<float>(g_generator.next() >> 8) * (1.0f / 16777216.0f);
}

void Randomize(int seed) { g_generator.seed(seed); }

std::uint64_t rndDrawCount() { return g_draws; }

// ---- numbers -----------------------------------------------------------------

std::int32_t roundToInt(double v) {
  // nearbyint rounds in the current rounding mode, which this program never
  // changes from round-to-nearest-even.
  const double r = std::nearbyint(v);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw RuntimeError("Overflow");
  return static_cast<std::int32_t>(r);
}

std::string Format(double value, const std::string& pattern) {
  if (pattern.empty() || pattern.find_first_not_of('0') != std::string::npos)
    throw RuntimeError("Format: unsupported pattern \"" + pattern + "\"");
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  double r = std::nearbyint(value);
  // A value that rounds to zero prints as "0": a sign on a zero digit tells
  // the reader nothing.
  if (r == 0) r = 0;
  // The largest double has 309 digits; %.0f of an integral value prints it
  // exactly, without grouping or exponent.
  char digits[400];
  std::snprintf(digits, sizeof digits, "%.0f", std::fabs(r));
  std::string out;
  if (r < 0) out.push_back('-');
  const std::size_t n = std::strlen(digits);
  if (n < pattern.size()) out.append(pattern.size() - n, '0');
  out.append(digits, n);
  return out;
}

std::string FormatDate(std::time_t t, const std::string& pattern) {
  std::tm tm{};
  localtime_r(&t, &tm);
  struct Token {
    const char* text;
    int value;
    int width;
  };
  const Token tokens[] = {
      {"yyyy", tm.tm_year + 1900, 4}, {"yy", (tm.tm_year + 1900) % 100, 2},
      {"mm", tm.tm_mon + 1, 2},       {"m", tm.tm_mon + 1, 1},
      {"dd", tm.tm_mday, 2},          {"d", tm.tm_mday, 1},
      {"hh", tm.tm_hour, 2},          {"h", tm.tm_hour, 1},
      {"nn", tm.tm_min, 2},           {"n", tm.tm_min, 1},
      {"ss", tm.tm_sec, 2},           {"s", tm.tm_sec, 1},
  };
  std::string out;
  std::size_t i = 0;
  while (i < pattern.size()) {
    bool matched = false;
    // The tokens are listed longest first within each letter, so the first
    // match is the longest one.
    for (const Token& tok : tokens) {
      const std::size_t len = std::strlen(tok.text);
      if (pattern.size() - i < len) continue;
      bool same = true;
      for (std::size_t k = 0; k < len && same; ++k) {
        const char c = pattern[i + k];
        same = (c | 0x20) == tok.text[k];
      }
      if (!same) continue;
      char buf[16];
      std::snprintf(buf, sizeof buf, "%0*d", tok.width, tok.value);
      out += buf;
      i += len;
      matched = true;
      break;
    }
    if (!matched) out.push_back(pattern[i++]);
  }
  return out;
}

std::time_t Now() { return currentClock().wallTime(); }

double Timer() { return currentClock().now(); }

void Sleep(int milliseconds) {
  if (programEnding()) return;
  currentClock().sleep(milliseconds);
}

int detail::unitsToPixels(double units, float unitsToTwips) {
  return roundToInt(units * unitsToTwips / kTwipsPerPixel);
}

// ---- text ------------------------------------------------------------------

std::string windows1252ToUtf8(const std::string& text) {
  // 0x80..0x9F differ from Latin-1; the five codes Windows-1252 leaves
  // unassigned keep their C1 control value, as the font engine does.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    const std::uint32_t u = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : b;
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

// ---- text files ----------------------------------------------------------------

bool TextFile::openForOutput(const std::string& path) {
  if (f_ != nullptr) close();
  ok_ = true;
  // Binary mode: the line ends are written exactly as CR LF.
  f_ = std::fopen(path.c_str(), "wb");
  return f_ != nullptr;
}

bool TextFile::print(const std::string& line) {
  if (f_ == nullptr) return false;
  const bool ok = std::fwrite(line.data(), 1, line.size(), f_) == line.size() &&
                  std::fwrite("\r\n", 1, 2, f_) == 2;
  if (!ok) ok_ = false;
  return ok;
}

bool TextFile::close() {
  if (f_ == nullptr) return false;
  const bool closed = std::fclose(f_) == 0;
  f_ = nullptr;
  const bool ok = ok_ && closed;
  ok_ = true;
  return ok;
}

TextFile::~TextFile() {
  if (f_ != nullptr) std::fclose(f_);
}

}  // namespace forms

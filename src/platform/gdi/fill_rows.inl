// The row writers of solid fills, written once over a vector width. The file
// is included once per instruction set, inside that set's namespace, after
// the includer has defined:
//   VEX2D_KERNEL  the function attributes of the set (its target),
//   Vec           the register type and its operations: kBytes, loadu,
//                 storeu, store (aligned) and splat32.
//
// The writers store whole registers at aligned addresses: one store at the
// unaligned start, aligned stores through the middle, and one store ending
// exactly at the end of the span (the stores overlap, and write the same
// bytes twice where they do). An unaligned store that straddles two cache
// lines costs two, which is what kept fills well below memset speed.
//
// For 24-bit rows the colour's three bytes repeat with period 3, so a store
// at byte offset k from the span's start takes the pattern from offset
// k mod 3; three registers hold the pattern of a whole round.

VEX2D_KERNEL inline typename Vec::Reg patternAt(const FillPattern& pat, std::size_t phase) {
  return Vec::loadu(pat.bytes + phase);
}

VEX2D_KERNEL void fillRow24(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& pat) {
  constexpr std::ptrdiff_t kW = Vec::kBytes;
  static_assert(3 * kW + 2 <= sizeof(pat.bytes), "the pattern holds a round of three registers");
  std::uint8_t* const p = row + static_cast<std::ptrdiff_t>(x0) * 3;
  const std::int32_t n = x1 - x0;
  if (n <= kShortSpan<3>) {
    fillShortSpan<3>(p, n, pat);
    return;
  }
  std::uint8_t* const end = p + static_cast<std::ptrdiff_t>(n) * 3;
  Vec::storeu(p, patternAt(pat, 0));
  std::uint8_t* q = alignUp(p + 1, kW);
  if (q + 3 * kW <= end) {
    const std::size_t ph = phaseOf(q - p);
    const auto a = patternAt(pat, ph), b = patternAt(pat, ph + kW), c = patternAt(pat, ph + 2 * kW);
    for (; q + 3 * kW <= end; q += 3 * kW) {
      Vec::store(q, a);
      Vec::store(q + kW, b);
      Vec::store(q + 2 * kW, c);
    }
  }
  for (; q + kW <= end; q += kW) Vec::store(q, patternAt(pat, phaseOf(q - p)));
  Vec::storeu(end - kW, patternAt(pat, phaseOfEnd(kW)));
}

VEX2D_KERNEL void fillRow32(std::uint8_t* row, std::int32_t x0, std::int32_t x1, const FillPattern& pat) {
  constexpr std::ptrdiff_t kW = Vec::kBytes;
  std::uint8_t* const p = row + static_cast<std::ptrdiff_t>(x0) * 4;
  const std::int32_t n = x1 - x0;
  if (n <= kShortSpan<4>) {
    fillShortSpan<4>(p, n, pat);
    return;
  }
  std::uint8_t* const end = p + static_cast<std::ptrdiff_t>(n) * 4;
  const auto v = Vec::splat32(pat.px);
  Vec::storeu(p, v);
  std::uint8_t* q = alignUp(p + 1, kW);
  for (; q + 4 * kW <= end; q += 4 * kW) {
    Vec::store(q, v);
    Vec::store(q + kW, v);
    Vec::store(q + 2 * kW, v);
    Vec::store(q + 3 * kW, v);
  }
  for (; q + kW <= end; q += kW) Vec::store(q, v);
  Vec::storeu(end - kW, v);
}

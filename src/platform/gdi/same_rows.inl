// d := op(d, s) between rows of one format, written once over a vector
// width: the operation works on the stored bytes, so a row is just its
// bytes. Included once per instruction set inside that set's namespace,
// after the includer has defined VEX2D_KERNEL (the set's target), Vec (its
// register, see vec.h) and narrowerSameRow<K, F> (what runs rows shorter
// than one register).
//
// The last register of a row is worked out from the original bytes before
// anything is stored, and stored last, overlapping the one before it: it
// writes the same values twice where they overlap, and never a byte outside
// the row.

template <RopKind K, PixelFormat F>
VEX2D_KERNEL inline typename Vec::Reg sameBlock(const std::uint8_t* d, const std::uint8_t* s) {
  typename Vec::Reg a = Vec::zero(), b = Vec::zero();
  if constexpr (readsDestination(K)) a = Vec::loadu(d);
  if constexpr (readsSource(K)) b = Vec::loadu(s);
  combineInto<K>(a, b);
  if constexpr (sourcelessOn32<K, F>()) a = Vec::bitAnd(a, Vec::splat32(0xFFFFFF));
  return a;
}

template <RopKind K, PixelFormat F>
VEX2D_KERNEL void sameRow(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  constexpr auto kW = static_cast<std::size_t>(Vec::kBytes);
  const std::size_t bytes = n * bytesPerPixel(F);
  if (bytes < kW) {
    narrowerSameRow<K, F>(d, s, n);
    return;
  }
  const std::size_t last = bytes - kW;
  const auto tail = sameBlock<K, F>(d + last, s + last);
  std::size_t i = 0;
  for (; i + 4 * kW <= bytes; i += 4 * kW) {
    const auto r0 = sameBlock<K, F>(d + i, s + i);
    const auto r1 = sameBlock<K, F>(d + i + kW, s + i + kW);
    const auto r2 = sameBlock<K, F>(d + i + 2 * kW, s + i + 2 * kW);
    const auto r3 = sameBlock<K, F>(d + i + 3 * kW, s + i + 3 * kW);
    Vec::storeu(d + i, r0);
    Vec::storeu(d + i + kW, r1);
    Vec::storeu(d + i + 2 * kW, r2);
    Vec::storeu(d + i + 3 * kW, r3);
  }
  for (; i + kW <= bytes; i += kW) Vec::storeu(d + i, sameBlock<K, F>(d + i, s + i));
  if (i < bytes) Vec::storeu(d + last, tail);
}

// The high 64 bits of a 64 x 64-bit product, on every target: one instruction where
// the compiler has a 128-bit integer (64-bit targets), four 32-bit products where it
// has none (32-bit ARM, x86). Both give the same result for every input.
#pragma once

#include <cstdint>

inline uint64_t mul_high_u64_portable(uint64_t a, uint64_t b) {
  const uint64_t a_lo = a & 0xffffffffu, a_hi = a >> 32;
  const uint64_t b_lo = b & 0xffffffffu, b_hi = b >> 32;
  const uint64_t lo_lo = a_lo * b_lo, hi_lo = a_hi * b_lo, lo_hi = a_lo * b_hi, hi_hi = a_hi * b_hi;
  // The middle column: no sum here can overflow 64 bits.
  const uint64_t middle = (lo_lo >> 32) + (hi_lo & 0xffffffffu) + lo_hi;
  return hi_hi + (hi_lo >> 32) + (middle >> 32);
}

inline uint64_t mul_high_u64(uint64_t a, uint64_t b) {
#ifdef __SIZEOF_INT128__
  return static_cast<uint64_t>((static_cast<unsigned __int128>(a) * b) >> 64);
#else
  return mul_high_u64_portable(a, b);
#endif
}

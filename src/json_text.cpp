// JSON text written directly: numbers and strings in exactly yyjson's output form.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "documents.h"

namespace {

constexpr double k_exact_integer_limit = 9007199254740992.0;  // 2^53

// The escapes yyjson writes for the bytes below 0x20; 0 for "\u00XX".
constexpr char k_short_escape[32] = {0, 0, 0, 0, 0, 0, 0, 0, 'b', 't', 'n', 0, 'f', 'r', 0, 0,
                                     0, 0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0, 0,   0,   0, 0};
constexpr char k_hex_upper[] = "0123456789ABCDEF";

char *put_digits(char *out, uint64_t value) {
  char digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) *out++ = digits[--n];
  return out;
}

// Durations are mostly a few decimals long (215.5, 183.493): such a value is written
// from the fewest decimals d whose number k / 10^d reads back as `value`. While
// value * 10^d stays below 2^52 at most one number with d decimals lies within the
// doubles' spacing, so the first d that reads back gives the shortest digits, the ones
// a shortest-round-trip writer prints. The test k / 10^d == value is exact: k and
// 10^d are exact doubles and IEEE division rounds as a reader does. Null when no d up
// to 9 fits; the general path then writes it.
char *put_short_decimal(char *out, double value) {
  constexpr double k_power[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  constexpr double k_unique_limit = 4503599627370496.0;  // 2^52
  if (value < 1e-6) return nullptr;
  for (int d = 1; d <= 9; d++) {
    double scaled = value * k_power[d];
    if (scaled >= k_unique_limit) return nullptr;
    double k = std::nearbyint(scaled);
    if (k / k_power[d] != value) continue;
    auto digits = static_cast<uint64_t>(k);
    auto unit = static_cast<uint64_t>(k_power[d]);
    out = put_digits(out, digits / unit);
    *out++ = '.';
    uint64_t fraction = digits % unit;
    // The fraction's d digits, leading zeros included.
    for (int i = d - 1; i >= 0; i--) {
      out[i] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    return out + d;
  }
  return nullptr;
}

}  // namespace

char *put_uint(char *out, uint64_t value) { return put_digits(out, value); }

char *put_int(char *out, int64_t value) {
  if (value >= 0) return put_digits(out, static_cast<uint64_t>(value));
  *out++ = '-';
  // The magnitude taken in unsigned arithmetic, so INT64_MIN has one.
  return put_digits(out, 0 - static_cast<uint64_t>(value));
}

char *put_real(char *out, double value) {
  // The library never holds a NaN or an infinity where it writes a real.
  assert(std::isfinite(value));
  if (std::signbit(value)) {
    *out++ = '-';
    value = -value;
  }
  if (value < k_exact_integer_limit && value == std::floor(value)) {
    // Whole numbers below 2^53 print exactly as their integer, with ".0" kept.
    out = put_digits(out, static_cast<uint64_t>(value));
    return put_literal(out, ".0");
  }
  if (char *end = put_short_decimal(out, value)) return end;
  // The shortest digits that read back as the same double, laid out as yyjson lays
  // them out: positional from 1e-6 up to 1e21, exponent notation outside.
  char sci[32];
  std::to_chars_result r = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific);
  // The scientific form always carries its exponent: "d.ddde+XX".
  const char *at = static_cast<const char *>(memchr(sci, 'e', static_cast<size_t>(r.ptr - sci)));
  assert(at != nullptr);
  char digits[20];
  int count = 0;
  for (const char *c = sci; c < at; c++) {
    if (*c != '.') digits[count++] = *c;
  }
  int exponent = 0;
  std::from_chars(at + 1 + (at[1] == '+' ? 1 : 0), r.ptr, exponent);

  if (value >= 1e-6 && value < 1e21) {
    int before_point = exponent + 1;
    if (before_point <= 0) {
      out = put_literal(out, "0.");
      for (int i = before_point; i < 0; i++) *out++ = '0';
      memcpy(out, digits, static_cast<size_t>(count));
      return out + count;
    }
    if (before_point >= count) {
      memcpy(out, digits, static_cast<size_t>(count));
      out += count;
      for (int i = count; i < before_point; i++) *out++ = '0';
      return put_literal(out, ".0");
    }
    memcpy(out, digits, static_cast<size_t>(before_point));
    out += before_point;
    *out++ = '.';
    memcpy(out, digits + before_point, static_cast<size_t>(count - before_point));
    return out + (count - before_point);
  }
  *out++ = digits[0];
  if (count > 1) {
    *out++ = '.';
    memcpy(out, digits + 1, static_cast<size_t>(count - 1));
    out += count - 1;
  }
  *out++ = 'e';
  return put_int(out, exponent);
}

char *put_string(char *out, const char *s, size_t length, bool plain) {
  *out++ = '"';
  if (plain) {
    memcpy(out, s, length);
    out += length;
  } else {
    for (size_t i = 0; i < length; i++) {
      auto c = static_cast<unsigned char>(s[i]);
      if (c >= 0x20 && c != '"' && c != '\\') {
        *out++ = static_cast<char>(c);
      } else if (c == '"' || c == '\\') {
        *out++ = '\\';
        *out++ = static_cast<char>(c);
      } else if (k_short_escape[c] != 0) {
        *out++ = '\\';
        *out++ = k_short_escape[c];
      } else {
        out = put_literal(out, "\\u00");
        *out++ = k_hex_upper[c >> 4];
        *out++ = k_hex_upper[c & 0xF];
      }
    }
  }
  *out++ = '"';
  return out;
}

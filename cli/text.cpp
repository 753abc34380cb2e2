#include "text.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>

namespace cli {

namespace {

template <class T>
std::optional<T> parse_integer(std::string_view token) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  T value{};
  const char *end = token.data() + token.size();
  auto [ptr, ec] = std::from_chars(token.data(), end, value);
  if (token.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// a * b + c within int64_t, or nothing.
std::optional<int64_t> checked_mul_add(int64_t a, int64_t b, int64_t c) {
  int64_t product, sum;
  if (__builtin_mul_overflow(a, b, &product) || __builtin_add_overflow(product, c, &sum)) {
    return std::nullopt;
  }
  return sum;
}

}  // namespace

std::optional<int32_t> parse_int32(std::string_view token) { return parse_integer<int32_t>(token); }

std::optional<uint64_t> parse_uint64(std::string_view token) {
  if (!token.empty() && token.front() == '-') return std::nullopt;
  return parse_integer<uint64_t>(token);
}

std::optional<double> parse_double(std::string_view token) {
  std::string text(token);  // strtod needs a terminated text
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
  char *end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return std::nullopt;
  return value;  // NaN, infinities and overflow pass on: the library has rules for them
}

std::optional<float> parse_float(std::string_view token) {
  std::string text(token);
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
  char *end = nullptr;
  float value = std::strtof(text.c_str(), &end);  // out of range gives an infinity, never UB
  if (end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

std::optional<int64_t> parse_duration(std::string_view token) {
  size_t colon = token.find(':');
  if (colon != std::string_view::npos) {
    std::optional<int64_t> minutes = parse_integer<int64_t>(token.substr(0, colon));
    std::string_view secs = token.substr(colon + 1);
    std::optional<int64_t> seconds = parse_integer<int64_t>(secs);
    if (!minutes || !seconds || *minutes < 0 || *seconds < 0 || *seconds > 59 || secs.size() != 2) {
      return std::nullopt;
    }
    return checked_mul_add(*minutes, 60, *seconds);
  }
  int64_t unit = 1;
  if (!token.empty()) {
    switch (token.back()) {
      case 's': unit = 1; break;
      case 'm': unit = 60; break;
      case 'h': unit = 3600; break;
      default: unit = 0; break;
    }
    if (unit != 0) token.remove_suffix(1);
    else unit = 1;
  }
  std::optional<int64_t> count = parse_integer<int64_t>(token);
  if (!count || *count < 0) return std::nullopt;
  return checked_mul_add(*count, unit, 0);
}

std::string clock_text(double seconds) {
  if (!(seconds > 0.0) || !std::isfinite(seconds)) return "-:--";
  if (seconds >= 9.2e18) return "forever";  // keeps the cast to int64_t defined
  return clock_text(static_cast<int64_t>(std::floor(seconds)));
}

std::string clock_text(int64_t whole) {
  if (whole <= 0) return "-:--";
  char buffer[48];
  if (whole >= 3600) {
    std::snprintf(buffer, sizeof buffer, "%lld:%02d:%02d", static_cast<long long>(whole / 3600),
                  static_cast<int>(whole / 60 % 60), static_cast<int>(whole % 60));
  } else {
    std::snprintf(buffer, sizeof buffer, "%d:%02d", static_cast<int>(whole / 60), static_cast<int>(whole % 60));
  }
  return buffer;
}

std::vector<std::string_view> split_words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) i++;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') i++;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

std::string_view trim(std::string_view text) {
  const char *blanks = " \t\r\n\v\f";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); i++) {
    auto byte = static_cast<unsigned char>(text[i]);
    unsigned control = 0x100;  // none
    if (byte < 0x20 || byte == 0x7f) {
      control = byte;
    } else if (byte == 0xc2 && i + 1 < text.size()) {
      auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9f) {  // U+0080..U+009F, the C1 controls
        control = next;
        i++;
      }
    }
    if (control == 0x100) {
      out += static_cast<char>(byte);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", control);
      out += escaped;
    }
  }
  return out;
}

std::optional<std::string> read_file(const std::string &path, std::string *error) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::string bytes;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  bool failed = std::ferror(file) != 0;  // a directory, for one, fails here
  int saved = errno;
  std::fclose(file);
  if (failed) {
    *error = "cannot read " + path + ": " + std::strerror(saved);
    return std::nullopt;
  }
  return bytes;
}

bool write_file(const std::string &path, std::string_view text, std::string *error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace cli

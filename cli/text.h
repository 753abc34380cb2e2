// Small text helpers of the command-line host: strict number parsing, durations,
// files and the m:ss form of a track's length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The whole token as a number of the type, or nothing (junk, empty, out of range).
std::optional<int32_t> parse_int32(std::string_view token);
std::optional<uint64_t> parse_uint64(std::string_view token);
std::optional<double> parse_double(std::string_view token);
std::optional<float> parse_float(std::string_view token);

// A non-negative duration in seconds: "90", "90s", "30m", "2h" or "m:ss".
std::optional<int64_t> parse_duration(std::string_view token);

// "3:35" for 215.5 seconds (whole seconds, rounded down), "1:02:03" from an hour
// on, "-:--" when unknown (0).
std::string clock_text(double seconds);
std::string clock_text(int64_t whole_seconds);

// The words of a line, split at blanks.
std::vector<std::string_view> split_words(std::string_view line);

std::string_view trim(std::string_view text);

// `text` safe to send to a terminal: the C0 controls, DEL and the C1 controls (as
// UTF-8) become \u00XX, so a title cannot move the cursor or recolour the screen.
// A JSON text keeps its meaning, as these are JSON's own escapes.
std::string printable(std::string_view text);

// The bytes of a file; nothing with `error` set when it cannot be read.
std::optional<std::string> read_file(const std::string &path, std::string *error);
bool write_file(const std::string &path, std::string_view text, std::string *error);

}  // namespace cli

// The text side of a listener's sources: natural name order and M3U playlists.
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "sources.h"
#include "text.h"

namespace player {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// -1, 0 or 1 as one name sorts before, with or after the other.
int compare_names(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (is_digit(a[i]) && is_digit(b[j])) {
      size_t i_end = i, j_end = j;
      while (i_end < a.size() && is_digit(a[i_end])) i_end++;
      while (j_end < b.size() && is_digit(b[j_end])) j_end++;
      std::string_view x = a.substr(i, i_end - i), y = b.substr(j, j_end - j);
      // Leading zeros count for nothing ("01" and "1" are the same number).
      while (x.size() > 1 && x.front() == '0') x.remove_prefix(1);
      while (y.size() > 1 && y.front() == '0') y.remove_prefix(1);
      if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
      if (int c = x.compare(y); c != 0) return c < 0 ? -1 : 1;
      i = i_end;
      j = j_end;
      continue;
    }
    auto ca = static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(a[i])));
    auto cb = static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(b[j])));
    if (ca != cb) return ca < cb ? -1 : 1;
    i++;
    j++;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;  // equal but for case or zeros: still one order
}

}  // namespace

bool natural_less(std::string_view a, std::string_view b) {
  // Folder by folder, so that "a/2" comes before "a/10" and a folder's files stay together.
  while (true) {
    size_t sa = a.find('/'), sb = b.find('/');
    int c = compare_names(a.substr(0, sa), b.substr(0, sb));
    if (c != 0) return c < 0;
    if (sa == std::string_view::npos || sb == std::string_view::npos) return sa == std::string_view::npos && sb != std::string_view::npos;
    a.remove_prefix(sa + 1);
    b.remove_prefix(sb + 1);
  }
}

std::vector<playlist_entry> parse_m3u(std::string_view text) {
  std::vector<playlist_entry> entries;
  playlist_entry pending;
  int line_number = 0;
  // A byte-order mark opens some M3U8 files.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = cli::trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    line_number++;
    if (line.empty()) continue;
    if (line.front() == '#') {
      // #EXTINF:SECONDS,TITLE (SECONDS -1 when unknown; attributes may follow it).
      if (line.substr(0, 8) == "#EXTINF:") {
        std::string_view info = line.substr(8);
        size_t comma = info.find(',');
        std::string_view length = info.substr(0, comma);
        length = length.substr(0, length.find_first_of(" \t"));
        // Only a finite length: 1e999 reads as an infinity, which no track can carry.
        std::optional<double> seconds = cli::parse_double(length);
        pending.duration = seconds && std::isfinite(*seconds) && *seconds > 0 ? *seconds : 0.0;
        pending.title = comma == std::string_view::npos ? std::string() : std::string(cli::trim(info.substr(comma + 1)));
      }
      continue;
    }
    pending.address = std::string(line);
    pending.line = line_number;
    entries.push_back(std::move(pending));
    pending = playlist_entry{};
  }
  return entries;
}

}  // namespace player

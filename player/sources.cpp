// Folders, playlists and audio files made into the items of a track list: every
// entry becomes a file URI (any file name survives the trip through JSON), with
// the playlist's own title and duration, or its tags read later by the scan.
#include <gst/gst.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "media.h"
#include "sources.h"
#include "text.h"
#include "track_json.h"

namespace player {

// The endings of audio files: a folder's other files (covers, notes) are passed by.
// They are the endings of the audio types the desktop entry (pbq-play.desktop) claims.
bool has_audio_ending(const std::string &name) {
  static const char *endings[] = {".mp3", ".mpga", ".mp2", ".flac", ".ogg", ".oga", ".opus", ".spx",
                                  ".wav", ".m4a",  ".f4a", ".m4b",  ".aac", ".adts", ".aif", ".aiff",
                                  ".aifc", ".ape", ".wv",  ".wvp",  ".mka", ".wma",  ".mpc"};
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const char *ending : endings) {
    size_t n = std::strlen(ending);
    if (lower.size() > n && lower.compare(lower.size() - n, n, ending) == 0) return true;
  }
  return false;
}

namespace {

// Whether a file named on its own with no audio ending holds a JSON track list: its
// first byte past white space and a byte-order mark opens an array or an object (no
// audio format starts so). Only the start is read, so that an audio file of any size is
// never read whole. A file that is empty, all white space or unreadable counts as a
// list: reading it then says what is wrong with it.
bool holds_json(const std::string &path) {
  FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return true;
  unsigned char start[4096];
  size_t n = std::fread(start, 1, sizeof start, file);
  std::fclose(file);
  size_t i = n >= 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF ? 3 : 0;
  while (i < n && std::isspace(start[i])) i++;
  return i == n || start[i] == '[' || start[i] == '{';
}

bool is_playlist(const std::string &path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  auto ends = [&](const char *e) { return lower.size() > std::strlen(e) && lower.ends_with(e); };
  return ends(".m3u") || ends(".m3u8");
}

// A title as UTF-8: an M3U (not M3U8) playlist is often in Latin-1.
std::string as_utf8(const std::string &text) {
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
  gchar *converted = g_convert(text.data(), static_cast<gssize>(text.size()), "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
  std::string out = converted != nullptr ? converted : std::string();
  g_free(converted);
  return out;
}

// A playlist's entries as items: streams and titled entries as they are, local
// files without a title to have their tags read.
void add_playlist(const std::string &path, const std::string &text, std::vector<source_item> *items) {
  std::string base = folder_of(path);
  for (const playlist_entry &e : parse_m3u(text)) {
    source_item item;
    item.shown = path + ":" + std::to_string(e.line) + " " + e.address;
    std::string address = e.address;
    if (gst_uri_is_valid(address.c_str()) && !gst_uri_has_protocol(address.c_str(), "file")) {
      // A stream: the engine says if it cannot be played.
      item.url = address;
    } else {
      media m = locate(address, base);
      if (!m.problem.empty()) {
        item.why = m.problem;
        items->push_back(std::move(item));
        continue;
      }
      if (e.title.empty()) {
        gchar *local = g_filename_from_uri(m.uri.c_str(), nullptr, nullptr);
        item.what = source_item::kind::file;
        item.path = local != nullptr ? local : address;
        g_free(local);
        items->push_back(std::move(item));
        continue;
      }
      item.url = m.uri;
    }
    item.track = track_json(item.url, as_utf8(e.title), "", e.duration);
    if (item.track.empty()) item.why = "cannot be written as a track";
    else item.what = source_item::kind::track;
    items->push_back(std::move(item));
  }
}

}  // namespace

bool read_sources(const std::vector<std::string> &paths, track_list *list, std::string *error) {
  std::vector<source_item> items;
  for (const std::string &path : paths) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
      *error = "cannot open " + path + ": " + std::strerror(errno);
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      source_item folder;
      folder.what = source_item::kind::folder;
      folder.path = path.size() > 1 && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
      folder.shown = path;
      items.push_back(std::move(folder));
      continue;
    }
    if (!is_playlist(path) && (has_audio_ending(path) || !holds_json(path))) {
      source_item file;
      file.what = source_item::kind::file;
      file.path = path;
      file.shown = path;
      items.push_back(std::move(file));
      continue;
    }
    std::optional<std::string> text = cli::read_file(path, error);
    if (!text) return false;
    if (is_playlist(path)) {
      add_playlist(path, *text, &items);
    } else {
      // A JSON track list, taken as it is: its relative addresses count from its folder.
      if (paths.size() != 1) {
        *error = path + " is a JSON track list: name it alone";
        return false;
      }
      list->is_json = true;
      list->json = std::move(*text);
      list->base_dir = folder_of(path);
      return true;
    }
  }
  list->to_scan = std::move(items);
  return true;
}

}  // namespace player

// Folders, playlists and audio files made into a track list: every entry becomes a
// file URI (any file name survives the trip through JSON), with its tags read by
// GStreamer's discoverer, or the playlist's own title and duration.
#include <dirent.h>
#include <gst/pbutils/pbutils.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <utility>

#include "media.h"
#include "sources.h"
#include "text.h"
#include "track_json.h"

namespace player {

namespace {

constexpr GstClockTime k_discover_timeout = 5 * GST_SECOND;

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

std::string display_name(const std::string &path) {
  gchar *name = g_filename_display_basename(path.c_str());
  std::string out = name;
  g_free(name);
  return out;
}

std::string tag_text(const GstTagList *tags, const char *tag) {
  gchar *value = nullptr;
  if (tags == nullptr || !gst_tag_list_get_string(tags, tag, &value)) return std::string();
  std::string out = value;
  g_free(value);
  return out;
}

class builder {
 public:
  builder() { discoverer_ = gst_discoverer_new(k_discover_timeout, nullptr); }
  ~builder() {
    if (discoverer_ != nullptr) g_object_unref(discoverer_);
  }
  builder(const builder &) = delete;
  builder &operator=(const builder &) = delete;

  track_list list;
  size_t count = 0;

  void add(const std::string &uri, const std::string &title, const std::string &artist, double duration,
           const std::string &shown) {
    std::string track = track_json(uri, title, artist, duration);
    if (track.empty()) return skip(shown, "cannot be written as a track");
    list.json += count++ == 0 ? "[" : ",";
    list.json += track;
  }

  void skip(const std::string &shown, const std::string &why) {
    list.skipped.push_back("skipped " + cli::printable(shown) + ": " + why);
  }

  // A local audio file, its title, artist and length from its tags; the file name
  // when it has no title.
  void add_file(const std::string &path, const std::string &shown) {
    gchar *uri = gst_filename_to_uri(path.c_str(), nullptr);
    if (uri == nullptr) return skip(shown, "not a usable file name");
    std::string address = uri;
    g_free(uri);
    if (discoverer_ == nullptr) return add(address, display_name(path), "", 0.0, shown);
    GError *err = nullptr;
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer_, address.c_str(), &err);
    GstDiscovererResult result = info != nullptr ? gst_discoverer_info_get_result(info) : GST_DISCOVERER_ERROR;
    GList *audio = info != nullptr ? gst_discoverer_info_get_audio_streams(info) : nullptr;
    if (result != GST_DISCOVERER_OK || audio == nullptr) {
      std::string why = result == GST_DISCOVERER_MISSING_PLUGINS ? "GStreamer lacks what it needs to play it"
                        : err != nullptr                         ? err->message
                                                                 : "no sound in it";
      skip(shown, "not playable audio (" + why + ")");
    } else {
      const GstTagList *tags = gst_discoverer_info_get_tags(info);
      std::string title = tag_text(tags, GST_TAG_TITLE);
      GstClockTime length = gst_discoverer_info_get_duration(info);
      double seconds = GST_CLOCK_TIME_IS_VALID(length) ? static_cast<double>(length) / GST_SECOND : 0.0;
      add(address, title.empty() ? display_name(path) : title, tag_text(tags, GST_TAG_ARTIST), seconds, shown);
    }
    gst_discoverer_stream_info_list_free(audio);
    if (info != nullptr) gst_discoverer_info_unref(info);
    g_clear_error(&err);
  }

  // Every audio file under `dir`, in natural order of their paths below it.
  void add_folder(const std::string &dir) {
    std::vector<std::string> found;
    std::set<std::pair<dev_t, ino_t>> seen;  // a link back up the tree is walked once
    collect(dir, "", &found, &seen);
    std::sort(found.begin(), found.end(), natural_less);
    for (const std::string &relative : found) add_file(dir + "/" + relative, dir + "/" + relative);
  }

  void add_playlist(const std::string &path, const std::string &text) {
    std::string base = folder_of(path);
    for (const playlist_entry &e : parse_m3u(text)) {
      std::string shown = path + ":" + std::to_string(e.line) + " " + e.address;
      std::string address = e.address;
      if (gst_uri_is_valid(address.c_str()) && !gst_uri_has_protocol(address.c_str(), "file")) {
        // A stream: the engine says if it cannot be played.
        add(address, as_utf8(e.title), "", e.duration, shown);
        continue;
      }
      media m = locate(address, base);
      if (!m.problem.empty()) {
        skip(shown, m.problem);
        continue;
      }
      if (e.title.empty()) {
        gchar *local = g_filename_from_uri(m.uri.c_str(), nullptr, nullptr);
        std::string file = local != nullptr ? local : address;
        g_free(local);
        add_file(file, shown);
        continue;
      }
      add(m.uri, as_utf8(e.title), "", e.duration, shown);
    }
  }

 private:
  void collect(const std::string &dir, const std::string &relative, std::vector<std::string> *found,
               std::set<std::pair<dev_t, ino_t>> *seen) {
    std::string here = relative.empty() ? dir : dir + "/" + relative;
    struct stat info;
    if (stat(here.c_str(), &info) != 0 || !seen->insert({info.st_dev, info.st_ino}).second) return;
    DIR *d = opendir(here.c_str());
    if (d == nullptr) return skip(here, std::strerror(errno));
    while (dirent *entry = readdir(d)) {
      std::string name = entry->d_name;
      if (name.empty() || name[0] == '.') continue;  // hidden, and . and ..
      std::string path = relative.empty() ? name : relative + "/" + name;
      if (stat((dir + "/" + path).c_str(), &info) != 0) continue;
      if (S_ISDIR(info.st_mode)) collect(dir, path, found, seen);
      else if (S_ISREG(info.st_mode) && has_audio_ending(name)) found->push_back(path);
    }
    closedir(d);
  }

  GstDiscoverer *discoverer_ = nullptr;
};

}  // namespace

bool read_sources(const std::vector<std::string> &paths, track_list *list, std::string *error) {
  builder b;
  for (const std::string &path : paths) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
      *error = "cannot open " + path + ": " + std::strerror(errno);
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      std::string dir = path.size() > 1 && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
      b.add_folder(dir);
      continue;
    }
    if (!is_playlist(path) && (has_audio_ending(path) || !holds_json(path))) {
      b.add_file(path, path);
      continue;
    }
    std::optional<std::string> text = cli::read_file(path, error);
    if (!text) return false;
    if (is_playlist(path)) {
      b.add_playlist(path, *text);
    } else {
      // A JSON track list, taken as it is: its relative addresses count from its folder.
      if (paths.size() != 1) {
        *error = path + " is a JSON track list: name it alone";
        return false;
      }
      list->json = std::move(*text);
      list->base_dir = folder_of(path);
      return true;
    }
  }
  *list = std::move(b.list);
  list->json += b.count == 0 ? "[]" : "]";
  return true;
}

}  // namespace player

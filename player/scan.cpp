// The walk of the folders and the pool of discoverers behind it.
#include "scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <gst/pbutils/pbutils.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "text.h"
#include "track_json.h"

namespace player {

namespace {

constexpr GstClockTime k_discover_timeout = 5 * GST_SECOND;

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

std::string skip_line(const std::string &shown, const std::string &why) {
  return "skipped " + cli::printable(shown) + ": " + why;
}

scanned as_track(const std::string &url, const std::string &title, const std::string &artist, double duration,
                 const std::string &shown) {
  scanned s;
  s.track = track_json(url, title, artist, duration);
  if (s.track.empty()) s.skipped = skip_line(shown, "cannot be written as a track");
  else s.url = url;
  return s;
}

// A local audio file, its title, artist and length from its tags; the file name
// when it has no title.
scanned read_tags(GstDiscoverer *discoverer, const std::string &path, const std::string &shown) {
  gchar *uri = gst_filename_to_uri(path.c_str(), nullptr);
  if (uri == nullptr) return scanned{"", "", skip_line(shown, "not a usable file name")};
  std::string address = uri;
  g_free(uri);
  if (discoverer == nullptr) return as_track(address, display_name(path), "", 0.0, shown);
  GError *err = nullptr;
  GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, address.c_str(), &err);
  GstDiscovererResult result = info != nullptr ? gst_discoverer_info_get_result(info) : GST_DISCOVERER_ERROR;
  GList *audio = info != nullptr ? gst_discoverer_info_get_audio_streams(info) : nullptr;
  scanned out;
  if (result != GST_DISCOVERER_OK || audio == nullptr) {
    std::string why = result == GST_DISCOVERER_MISSING_PLUGINS ? "GStreamer lacks what it needs to play it"
                      : err != nullptr                         ? err->message
                                                               : "no sound in it";
    out.skipped = skip_line(shown, "not playable audio (" + why + ")");
  } else {
    const GstTagList *tags = gst_discoverer_info_get_tags(info);
    std::string title = tag_text(tags, GST_TAG_TITLE);
    GstClockTime length = gst_discoverer_info_get_duration(info);
    double seconds = GST_CLOCK_TIME_IS_VALID(length) ? static_cast<double>(length) / GST_SECOND : 0.0;
    out = as_track(address, title.empty() ? display_name(path) : title, tag_text(tags, GST_TAG_ARTIST), seconds, shown);
  }
  gst_discoverer_stream_info_list_free(audio);
  if (info != nullptr) gst_discoverer_info_unref(info);
  g_clear_error(&err);
  return out;
}

std::pair<dev_t, ino_t> identity(const struct stat &info) { return {info.st_dev, info.st_ino}; }

}  // namespace

scan::scan(std::vector<source_item> items, std::function<void()> ready, bool read_tags)
    : items_(std::move(items)), ready_(std::move(ready)), read_tags_(read_tags) {
  threads_.emplace_back([this] { walk(); });
  for (size_t i = 0; i < k_discoverers; i++) threads_.emplace_back([this] { discover_files(); });
}

scan::~scan() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  work_.notify_all();
  for (std::thread &t : threads_) t.join();
}

bool scan::stopping() {
  std::lock_guard<std::mutex> guard(lock_);
  return stopping_;
}

std::vector<scanned> scan::take() {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<scanned> out;
  while (handed_over_ < entries_.size() && entries_[handed_over_].ready) {
    entry &e = entries_[handed_over_];
    out.push_back(std::move(e.result));
    // Its texts are in the queue now. It stays ready: a discoverer that has not
    // passed it yet must not take it for a file still to read.
    e.result = scanned{};
    e.path = std::string();
    e.shown = std::string();
    handed_over_++;
  }
  return out;
}

bool scan::finished() {
  std::lock_guard<std::mutex> guard(lock_);
  return listed_ && handed_over_ == entries_.size();
}

scan_progress scan::progress() {
  std::lock_guard<std::mutex> guard(lock_);
  return scan_progress{entries_.size(), ready_count_, listed_};
}

void scan::push(entry e) {
  bool front_ready;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (e.ready) ready_count_++;
    entries_.push_back(std::move(e));
    front_ready = entries_[handed_over_].ready;
  }
  work_.notify_one();
  if (front_ready) ready_();
}

void scan::skip(const std::string &shown, const std::string &why) {
  entry e;
  e.result.skipped = skip_line(shown, why);
  e.ready = true;
  push(std::move(e));
}

void scan::walk() {
  for (source_item &item : items_) {
    if (stopping()) break;
    switch (item.what) {
      case source_item::kind::folder: walk_folder(item.path); break;
      case source_item::kind::file: push(entry{{}, item.path, item.shown, false}); break;
      case source_item::kind::track: {
        entry e;
        e.result.track = std::move(item.track);
        e.result.url = std::move(item.url);
        e.ready = true;
        push(std::move(e));
        break;
      }
      case source_item::kind::skip: skip(item.shown, item.why); break;
    }
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    listed_ = true;
  }
  work_.notify_all();
  ready_();
}

// Every audio file under `dir`, in natural order of their paths below it. The
// folders above it are marked first: a link to one of them (to the root, say)
// would lead the walk over the whole file system.
void scan::walk_folder(const std::string &dir) {
  struct stat info;
  if (stat(dir.c_str(), &info) != 0) return skip(dir, std::strerror(errno));
  above_.clear();
  std::string up = dir;
  for (int level = 0; level < 4096; level++) {
    up += "/..";
    struct stat parent;
    if (stat(up.c_str(), &parent) != 0 || !above_.insert(identity(parent)).second) break;
  }
  above_.erase(identity(info));
  seen_ = {identity(info)};
  walk_below(dir, "");
}

void scan::walk_below(const std::string &dir, const std::string &relative) {
  std::string here = relative.empty() ? dir : dir + "/" + relative;
  DIR *d = opendir(here.c_str());
  if (d == nullptr) return skip(here, std::strerror(errno));
  struct child {
    std::string name;
    bool folder;
  };
  std::vector<child> children;
  int fd = dirfd(d);
  while (dirent *e = readdir(d)) {
    std::string name = e->d_name;
    if (name.empty() || name[0] == '.') continue;  // hidden, and . and ..
    unsigned char type = e->d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
      // Where a link leads (or what the file system did not say).
      struct stat info;
      if (fstatat(fd, name.c_str(), &info, 0) != 0) continue;
      type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR) children.push_back({name, true});
    else if (type == DT_REG && has_audio_ending(name)) children.push_back({name, false});
  }
  // The folder's names in natural order: files and subfolders together, as a
  // sort of the whole paths would put them.
  std::sort(children.begin(), children.end(), [](const child &a, const child &b) { return natural_less(a.name, b.name); });
  for (const child &c : children) {
    if (stopping()) break;
    std::string path = relative.empty() ? c.name : relative + "/" + c.name;
    if (!c.folder) {
      push(entry{{}, dir + "/" + path, dir + "/" + path, false});
      continue;
    }
    // Each directory once, by device and inode, whatever leads to it: a link
    // back into the tree is walked no more than the tree itself.
    struct stat info;
    if (fstatat(fd, c.name.c_str(), &info, 0) != 0) continue;
    if (above_.count(identity(info)) != 0) {
      skip(dir + "/" + path, "a link to a folder that holds this one");
    } else if (!seen_.insert(identity(info)).second) {
      skip(dir + "/" + path, "a folder already played from another path");
    } else {
      walk_below(dir, path);
    }
  }
  closedir(d);
}

void scan::discover_files() {
  GstDiscoverer *discoverer = read_tags_ ? gst_discoverer_new(k_discover_timeout, nullptr) : nullptr;
  std::unique_lock<std::mutex> guard(lock_);
  while (true) {
    while (next_to_read_ < entries_.size() && entries_[next_to_read_].ready) next_to_read_++;
    if (stopping_ || (listed_ && next_to_read_ == entries_.size())) break;
    if (next_to_read_ == entries_.size()) {
      work_.wait(guard);
      continue;
    }
    size_t index = next_to_read_++;
    std::string path = entries_[index].path, shown = entries_[index].shown;
    guard.unlock();
    scanned result = read_tags(discoverer, path, shown);
    guard.lock();
    entries_[index].result = std::move(result);
    entries_[index].ready = true;
    ready_count_++;
    if (handed_over_ < entries_.size() && entries_[handed_over_].ready) {
      guard.unlock();
      ready_();
      guard.lock();
    }
  }
  guard.unlock();
  if (discoverer != nullptr) g_object_unref(discoverer);
}

}  // namespace player

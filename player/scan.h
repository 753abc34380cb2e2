// The background reading of a listener's folders, playlists and audio files: one
// thread walks the folders (each directory once, by device and inode) and a few
// discoverers read the files' tags at the same time. Entries come out in listing
// order, whatever order their tags arrive in: the ready ones at the front are
// handed over together, so a queue fills in order from the first file on.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sources.h"

namespace player {

// How many files have their tags read at once: enough to hide each discovery's
// waits, few enough not to crowd a small machine.
constexpr size_t k_discoverers = 4;

// One entry of the listing, in order: a track to queue, or why something was left out.
struct scanned {
  std::string track;    // a track object (JSON); empty when skipped
  std::string url;      // its "streamURL"
  std::string skipped;  // "skipped NAME: why", or empty
};

struct scan_progress {
  size_t found = 0;      // entries listed so far
  size_t read = 0;       // of which ready (tags read, or nothing to read)
  bool listed = false;   // the walk is over: `found` is final
};

class scan {
 public:
  // Starts walking and reading `items` (from read_sources) at once. `ready` is
  // called from the scan's threads whenever entries at the front became ready; it
  // must only wake the caller's loop (take() is called there). Without
  // `read_tags`, files are named after their file names and GStreamer is not asked
  // (the threads' own work alone, as a thread checker sees it).
  scan(std::vector<source_item> items, std::function<void()> ready, bool read_tags = true);
  ~scan();  // stops the walk and the discoverers, and waits for them
  scan(const scan &) = delete;
  scan &operator=(const scan &) = delete;

  // The entries ready at the front since the last call, in listing order.
  std::vector<scanned> take();
  // Every entry has been handed over by take().
  bool finished();
  scan_progress progress();

 private:
  struct entry {
    scanned result;
    std::string path, shown;  // a file whose tags are to be read
    bool ready = false;
  };

  void walk();
  void walk_folder(const std::string &dir);
  void walk_below(const std::string &dir, const std::string &relative);
  void discover_files();
  void push(entry e);
  void skip(const std::string &shown, const std::string &why);
  bool stopping();

  std::vector<source_item> items_;
  std::function<void()> ready_;
  bool read_tags_;

  std::mutex lock_;  // guards the members below it
  std::condition_variable work_;
  std::vector<entry> entries_;
  size_t next_to_read_ = 0;   // the first entry no discoverer took yet
  size_t handed_over_ = 0;    // the first entry take() did not hand over yet
  size_t ready_count_ = 0;
  bool listed_ = false;
  bool stopping_ = false;

  // The walk's own (its thread only): the directories of the folder being walked
  // seen so far, and those above it, which a link must not lead back into.
  std::set<std::pair<dev_t, ino_t>> seen_, above_;

  std::vector<std::thread> threads_;
};

}  // namespace player

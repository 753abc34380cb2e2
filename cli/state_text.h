// The state document read light: its scalars and current track at once, and the
// entries of its queue one at a time, found by index without building the others.
// A host reads the document once after each change and takes from it only what it
// shows, so that showing a window of a long queue costs little more than the
// library's own writing of the document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pbq.h"

namespace cli {

struct track_info {
  std::string url, title, artist, artwork;
  double duration = 0.0;
};

// Every member of the document before "queue" (the order is fixed: the scalars,
// then "currentTrack", then "queue").
struct queue_head {
  int64_t current = -1;
  uint64_t count = 0;  // "queueCount"
  uint64_t up_next = 0;
  int64_t repeat = 0;
  bool shuffled = false;
  double rate = 1.0;
  int64_t sleep = 0;
  bool has_next = false, has_previous = false;
  std::optional<track_info> current_track;
};

class state_text {
 public:
  // The document of `q` as pbq_state_json writes it; not ok() when the library
  // gives none (out of memory).
  static state_text of(const pbq_queue *q);
  // A document given as text (copied), for tests and documents read elsewhere.
  static state_text parse(std::string_view json);

  state_text() = default;

  // Whether a document was read, and its root is an object.
  bool ok() const { return ok_; }
  const queue_head &head() const { return head_; }

  // The entry at `index` of "queue", read from its own text alone; nothing when the
  // queue holds no such entry. Entries met in increasing order cost one pass over
  // the text in all; going back starts from the last checkpoint passed before it.
  std::optional<track_info> entry(int64_t index);
  // The exact JSON text of that entry.
  std::optional<std::string_view> entry_text(int64_t index);

  // The whole document.
  std::string_view text() const;

 private:
  void read_head();

  struct release {
    void operator()(char *p) const { pbq_free(p); }
  };
  std::unique_ptr<char, release> owned_;  // from pbq_state_json
  std::unique_ptr<char[]> copied_;         // from parse()
  const char *text_ = nullptr;             // NUL-terminated, one of the two above
  bool ok_ = false;
  queue_head head_;
  const char *queue_ = nullptr;  // just inside the queue's '[', or null without one
  // Where the last entry asked for starts, so that a window is found in one pass,
  // and where every k_checkpoint_every-th entry starts, of those passed so far.
  static constexpr int64_t k_checkpoint_every = 1024;
  int64_t cursor_index_ = 0;
  const char *cursor_ = nullptr;
  std::vector<const char *> checkpoints_;
};

// A track object of the documents; empty texts for members that are missing.
track_info read_track_text(std::string_view json);

}  // namespace cli

// pbq-play's side of the scan: what the scan found is appended to the queue in
// listing order, through the same add call a listener's `add` uses, and playing
// starts with the first entry ready.
//
// While entries are still arriving:
// - resume: the saved settings apply at once; the saved track starts, at its
//   place, as soon as the scan reaches it (and the first entry if it never does);
// - shuffle: each arriving entry takes a random place among those still to play,
//   so that a shuffled queue stays shuffled as it grows; `shuffle off` puts what
//   has arrived in listing order, and the rest is appended in order;
// - the end of what has arrived is not the end of the queue: playing goes on with
//   the next entry when it comes.
#include <glib.h>
#include <unistd.h>
#include <yyjson.h>

#include <cstdio>

#include "player.h"
#include "text.h"

namespace player {

namespace {

// Appends while something plays come in batches at most this often: each batch
// costs a look at the queue, whatever its size.
constexpr int64_t k_batch_every_ms = 100;
constexpr int64_t k_progress_every_ms = 250;

std::string saved_track_url(const std::string &resume) {
  yyjson_doc *doc = yyjson_read(resume.data(), resume.size(), 0);
  yyjson_val *url = yyjson_obj_get(yyjson_doc_get_root(doc), "lastTrackURL");
  std::string out = yyjson_is_str(url) ? std::string(yyjson_get_str(url), yyjson_get_len(url)) : std::string();
  yyjson_doc_free(doc);
  return out;
}

}  // namespace

void player::start_scan(const options &opt) {
  awaiting_first_start_ = true;
  start_index_ = opt.start;
  say("reading " + cli::printable(opt.tracks_path) + ": playing starts with the first file ready");
  if (opt.fresh || resume_path_.empty() || access(resume_path_.c_str(), F_OK) != 0) return;
  std::string error;
  std::optional<std::string> stored = cli::read_file(resume_path_, &error);
  if (!stored) return;
  // The settings now; the track once the scan has found it.
  pbq::result<pbq::resumed> r = session_.queue().restore_resume_json(*stored, "[]");
  if (!r) return say("the saved resume document cannot be used (" + r.error() + "): starting afresh");
  saved_url_ = saved_track_url(*stored);
  if (!saved_url_.empty()) saved_resume_ = std::move(*stored);
}

gboolean player::on_scan_ready(gpointer self) {
  auto *p = static_cast<player *>(self);
  p->scan_timer_ = 0;  // this call is the timer's, if one was set: no wake-up comes while it waits
  if (!p->scan_ || p->quitting_) {
    p->scan_wake_ = false;
    return FALSE;
  }
  int64_t at = p->now();
  int64_t wait = k_batch_every_ms - (at - p->last_batch_ms_);
  if (!p->awaiting_first_start_ && !p->waiting_for_scan_ && wait > 0) {
    p->scan_timer_ = g_timeout_add(static_cast<guint>(wait), on_scan_ready, self);
    return FALSE;
  }
  p->scan_wake_ = false;  // before taking: what becomes ready from now on wakes the loop again
  p->last_batch_ms_ = at;
  p->take_scanned();
  return FALSE;
}

void player::take_scanned() {
  std::vector<scanned> batch = scan_->take();
  std::optional<cli::queue_head> head;  // as the batch found the queue
  int64_t current = -1;
  uint64_t count = 0;
  size_t appended = 0;
  bool saved_found = false;
  for (scanned &s : batch) {
    if (!s.skipped.empty()) {
      say(s.skipped);
      scan_skipped_++;
      continue;
    }
    if (!head) {
      head = session_.read().head();
      current = head->current;
      count = head->count;
    }
    pbq::result<pbq::added> added = session_.queue().add_to_queue(s.track);
    if (!added) {
      say("skipped " + cli::printable(s.url) + ": " + added.error());
      scan_skipped_++;
      continue;
    }
    count++;
    appended++;
    scan_entries_++;
    if (added.value() == pbq::added::started) current = 0;
    if (head->shuffled && current >= 0 && added.value() == pbq::added::queued) {
      auto up_next = static_cast<int32_t>(count - static_cast<uint64_t>(current) - 1);
      if (up_next > 1) session_.queue().move_up_next(up_next - 1, g_random_int_range(0, up_next));
    }
    scanned_json_ += scanned_json_.empty() ? "[" : ",";
    scanned_json_ += s.track;
    if (saved_resume_ && s.url == saved_url_) saved_found = true;
  }

  if (saved_found && awaiting_first_start_) {
    pbq::queue relaunched;
    pbq::result<pbq::resumed> r = relaunched.restore_resume_json(*saved_resume_, scanned_json_ + "]");
    saved_resume_.reset();
    if (r && r.value().found) {
      session_.queue() = std::move(relaunched);
      double at = r.value().position;
      session_.report_state(session_.playing("resume") + " at " + cli::clock_text(at) + " (" + seconds_text(at) + " s)");
      act(pbq::action::play, at);
      perform_pending();
      after_change();
    }
  }
  bool finished = scan_->finished();
  if (appended > 0 || finished) {
    if (awaiting_first_start_) {
      first_start();
    } else if (waiting_for_scan_ && appended > 0) {
      waiting_for_scan_ = false;
      if (session_.queue().next() == pbq::action::play) {
        session_.report_state(session_.playing("play"));
        start_current(0.0);
      }
      after_change();
    } else if (appended > 0 && head && head->current + 1 >= static_cast<int64_t>(head->count)) {
      after_change();  // what follows the current entry came with this batch
    } else if (appended > 0) {
      bus_.refresh();
    }
  }
  if (finished) scan_finished();
  out_ << std::flush;
}

// The first entry found (or the one --start names, once the scan has reached it)
// plays; false while it has not arrived yet.
bool player::first_start() {
  if (saved_resume_ && !scan_->finished()) return false;  // the saved track may still come
  saved_resume_.reset();
  std::optional<cli::queue_head> head = session_.read().head();
  if (head->count == 0) return false;
  if (start_index_ > 0 && head->count <= static_cast<uint64_t>(start_index_) && !scan_->finished()) return false;
  awaiting_first_start_ = false;
  if (start_index_ > 0 && !head->shuffled) {
    int32_t last = static_cast<int32_t>(head->count - 1);
    (void)session_.queue().jump(start_index_ < last ? start_index_ : last);
  }
  session_.report_state(session_.playing("play"));
  act(pbq::action::play, 0.0);
  perform_pending();
  after_change();
  return true;
}

// At most a few times a second, on the terminal's status line.
void player::show_progress() {
  if (status_line_ == nullptr || !scan_) return;
  int64_t at = now();
  if (at - last_progress_ms_ < k_progress_every_ms) return;
  last_progress_ms_ = at;
  scan_progress p = scan_->progress();
  status_line_->show("reading: " + std::to_string(p.read) + " of " + std::to_string(p.found) +
                     (p.listed ? "" : " found so far") + " ready");
}

void player::scan_finished() {
  if (status_line_ != nullptr) status_line_->take_down();
  char took[32];
  std::snprintf(took, sizeof took, "%.2f", static_cast<double>(now() - scan_began_ms_) / 1000.0);
  say("read " + std::to_string(scan_entries_) + " entries in " + took + " s" +
      (scan_skipped_ > 0 ? " (" + std::to_string(scan_skipped_) + " left out)" : ""));
  scan_.reset();
  if (scan_entries_ == 0) {
    std::fprintf(stderr, "pbq-play: %s holds nothing to play\n", tracks_path_.c_str());
    awaiting_first_start_ = false;
    return quit(k_exit_tracks);
  }
  if (waiting_for_scan_) {
    // What was found has all played: now the queue really is over.
    waiting_for_scan_ = false;
    stop(true);
  }
  tick();
}

}  // namespace player

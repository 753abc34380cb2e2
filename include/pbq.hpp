/** \file pbq.hpp
 * pbq.hpp: a header-only C++17/20 face for pbq.h.
 *
 *   pbq::queue q;                                   // owns a handle (RAII, move-only)
 *   if (auto s = q.set_tracks(album_json, 0); !s)   // status carries the error text
 *     std::cerr << s.error() << '\n';
 *   if (q.track_ended() == pbq::action::play) ...   // enum classes for the codes
 *   std::string state = q.state_json().value();     // documents as std::string
 *
 * Error model: nothing here throws, so the header works with -fno-exceptions.
 * - The calls whose C counterpart writes an error text (set_tracks, jump,
 *   play_next, add_to_queue, set_shuffle) return pbq::status or pbq::result<T>;
 *   on failure error() holds the library's text, read right after the call, so it
 *   is never an older message.
 * - The documents (state_json, export_resume_json) and restore_resume_json return a
 *   result too; as the library writes no text for them, the failure texts are this
 *   header's own: "out of memory", "null handle" and "resume refused".
 * - Calls that refuse without a text (remove_up_next, move_up_next, set_repeat,
 *   set_sleep_timer) return bool; the rest return the library's answer as it is.
 * A queue whose handle could not be allocated (valid() false) or that was moved
 * from still accepts every call: it passes a null handle, which the library turns
 * down harmlessly with the answer pbq.h gives for it.
 *
 * Cost: each method is one inline C call; the forwarding ones are deliberately not
 * noexcept (the C functions are not declared so), which lets them compile to a plain
 * jump into the library. None of them throws. The only extra work is what C++ types
 * need: a document is copied into a std::string (then released with pbq_free),
 * and a std::string_view argument is copied once to add the NUL the C call needs;
 * pass a std::string or a C string to avoid that copy.
 *
 * Threads, ownership and units are those of pbq.h: one thread at a time per queue.
 */
#ifndef PBQ_HPP
#define PBQ_HPP

#if !defined(__cplusplus)
#error "pbq.hpp is C++ (C++17 or later); C hosts include pbq.h"
#elif defined(_MSVC_LANG)
#if _MSVC_LANG < 201703L
#error "pbq.hpp needs C++17 or later (/std:c++17); older C++ hosts include pbq.h"
#endif
#elif __cplusplus < 201703L
#error "pbq.hpp needs C++17 or later (-std=c++17); older C++ hosts include pbq.h"
#endif

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "pbq.h"

namespace pbq {

/** Repeat mode, as pbq_set_repeat and the state document's "repeatMode" number it. */
enum class repeat_mode : int32_t { off = PBQ_REPEAT_OFF, all = PBQ_REPEAT_ALL, one = PBQ_REPEAT_ONE };

/** Sleep mode, as pbq_set_sleep_timer and the state document's "sleepMode" number it. */
enum class sleep_mode : int32_t {
  off = PBQ_SLEEP_OFF,
  timer = PBQ_SLEEP_TIMER,
  end_of_track = PBQ_SLEEP_END_OF_TRACK,
};

/** What the host does after next(), previous() or track_ended(). */
enum class action : int32_t {
  play = PBQ_ACTION_PLAY,        /**< moved: play the new current entry */
  none = PBQ_ACTION_NONE,        /**< did not move; after track_ended(): stop, the queue is over */
  restart = PBQ_ACTION_RESTART,  /**< play the current entry again from its start (previous, repeat one) */
  sleep = PBQ_ACTION_SLEEP,      /**< track_ended() only: the end-of-track sleep was due; stop */
};

/** What an added track did (play_next, add_to_queue). */
enum class added : int32_t {
  queued = PBQ_ADDED_QUEUED,    /**< put into up next; the current entry plays on */
  started = PBQ_ADDED_STARTED,  /**< the queue had no current entry: the track is now current, play it */
};

/** The outcome of restore_resume_json when it did not fail. */
struct resumed {
  bool found;       /**< the saved track was found and is current: seek to position */
  double position;  /**< seconds; 0.0 when nothing was resumed */
};

/** A value or the text of the failure. Check with ok() or a boolean test first;
 * value() on a failed result gives a value-initialised T. */
template <class T>
class [[nodiscard]] result {
 public:
  /** A successful result holding `value`. */
  result(T value) : value_(std::move(value)) {}
  /** A failed result carrying `text`; its value() is a value-initialised T. */
  static result failure(std::string text) {
    result r{T{}};
    r.failed_ = true;
    r.error_ = std::move(text);
    return r;
  }
  /** True unless the call failed. */
  bool ok() const noexcept { return !failed_; }
  /** The same as ok(). */
  explicit operator bool() const noexcept { return !failed_; }
  /** The value; a value-initialised T after a failure. */
  const T &value() const & noexcept { return value_; }
  /** The value, moved out of a temporary result. */
  T &&value() && noexcept { return std::move(value_); }
  /** The value, or `fallback` after a failure. */
  T value_or(T fallback) const & { return failed_ ? std::move(fallback) : value_; }
  /** The failure's text; "" on success. */
  const std::string &error() const noexcept { return error_; }

 private:
  T value_;
  bool failed_ = false;
  std::string error_;
};

/** Success, or the text of the failure. */
class [[nodiscard]] status {
 public:
  /** Success. */
  status() = default;
  /** A failure carrying `text`. */
  static status failure(std::string text) {
    status s;
    s.failed_ = true;
    s.error_ = std::move(text);
    return s;
  }
  /** True unless the call failed. */
  bool ok() const noexcept { return !failed_; }
  /** The same as ok(). */
  explicit operator bool() const noexcept { return !failed_; }
  /** The failure's text, as the library wrote it right after the call; "" on success. */
  const std::string &error() const noexcept { return error_; }

 private:
  bool failed_ = false;
  std::string error_;
};

/** A text argument for the C calls, which need it NUL-terminated. C strings and
 * std::string pass through as they are; a std::string_view is copied once. Only
 * meant as a parameter type: it may point into the argument it was made from. */
class c_text {
 public:
  /** A C string, passed as it is. */
  c_text(const char *text) noexcept : ptr_(text) {}
  /** A std::string, passed as it is. */
  c_text(const std::string &text) noexcept : ptr_(text.c_str()) {}
  /** A std::string_view, copied once to add the NUL. */
  c_text(std::string_view text) : copy_(text), ptr_(copy_.c_str()) {}
  c_text(const c_text &) = delete;
  c_text &operator=(const c_text &) = delete;
  /** The NUL-terminated text for the C call. */
  const char *get() const noexcept { return ptr_; }

 private:
  std::string copy_;
  const char *ptr_;
};

/** The library's version text, "1.0.0". */
inline std::string_view version() noexcept { return pbq_version(); }

/** The version of the C interface and its meanings, 1. */
inline int32_t abi_version() noexcept { return pbq_abi_version(); }

/** pbq_selftest: PBQ_SELFTEST_PASSED, else the first failing step (PBQ_SELFTEST_*). */
inline int32_t selftest() noexcept { return pbq_selftest(); }

namespace detail {
inline std::string last_error() { return pbq_last_error(); }

/* Takes a document from the library: copies it, frees it. */
inline result<std::string> take_document(const pbq_queue *q, char *doc) {
  if (doc == nullptr) return result<std::string>::failure(q == nullptr ? "null handle" : "out of memory");
  std::string text(doc);
  pbq_free(doc);
  return text;
}
}  // namespace detail

/** One player's queue. Owns its handle and destroys it; movable, not copyable. */
class queue {
 public:
  /** A new, empty queue (pbq_create). When memory runs out valid() is false. */
  queue() noexcept : q_(pbq_create()) {}
  /** Takes ownership of a handle from pbq_create (null allowed). */
  explicit queue(pbq_queue *adopted) noexcept : q_(adopted) {}
  /** Destroys the handle (pbq_destroy). */
  ~queue() { pbq_destroy(q_); }
  /** Takes the other queue's handle; the other is left with none. */
  queue(queue &&other) noexcept : q_(std::exchange(other.q_, nullptr)) {}
  /** Destroys this queue's handle and takes the other's. */
  queue &operator=(queue &&other) noexcept {
    if (this != &other) {
      pbq_destroy(q_);
      q_ = std::exchange(other.q_, nullptr);
    }
    return *this;
  }
  queue(const queue &) = delete;
  queue &operator=(const queue &) = delete;

  /** False when the handle could not be allocated, or after a move or release(). */
  bool valid() const noexcept { return q_ != nullptr; }
  /** The same as valid(). */
  explicit operator bool() const noexcept { return q_ != nullptr; }
  /** The C handle, still owned by this queue. */
  pbq_queue *get() const noexcept { return q_; }
  /** Gives up ownership: the caller destroys the handle with pbq_destroy. */
  pbq_queue *release() noexcept { return std::exchange(q_, nullptr); }

  /* ---- Loading: pbq_set_tracks_json ---- */
  /** Loads a JSON array of tracks (pbq_set_tracks_json); the status carries the library's text. */
  status set_tracks(c_text tracks_json, int32_t start_index = 0, uint64_t seed = 0) {
    if (pbq_set_tracks_json(q_, tracks_json.get(), start_index, seed) == PBQ_OK) return {};
    return status::failure(detail::last_error());
  }

  /* ---- Navigation and repeat ---- */
  /** play, or none when nothing moved. */
  action next() { return static_cast<action>(pbq_next(q_)); }
  /** play, none (stop), restart (repeat one) or sleep. */
  action track_ended() { return static_cast<action>(pbq_on_track_ended(q_)); }
  /** play, restart or none; `position` is the seconds played of the current entry. */
  action previous(double position) { return static_cast<action>(pbq_previous(q_, position)); }
  /** Makes queue entry `index` current (pbq_jump); fails with "jump index out of range". */
  status jump(int32_t index) {
    if (pbq_jump(q_, index) == PBQ_OK) return {};
    return status::failure(detail::last_error());
  }
  /** False only for an invalid queue (or a value outside the enumerators). */
  bool set_repeat(repeat_mode mode) { return pbq_set_repeat(q_, static_cast<int32_t>(mode)) != PBQ_REFUSED; }
  /** The new mode; an invalid queue answers the value -1, which is no enumerator. */
  repeat_mode cycle_repeat() { return static_cast<repeat_mode>(pbq_cycle_repeat(q_)); }

  /* ---- Up next ---- */
  /** Puts one track right after the current entry (pbq_play_next_json). */
  result<added> play_next(c_text track_json) {
    return added_result(pbq_play_next_json(q_, track_json.get()));
  }
  /** Appends one track to the queue (pbq_add_to_queue_json). */
  result<added> add_to_queue(c_text track_json) {
    return added_result(pbq_add_to_queue_json(q_, track_json.get()));
  }
  /** Removes up-next entry `offset` (pbq_remove_up_next); false when refused. */
  bool remove_up_next(int32_t offset) { return pbq_remove_up_next(q_, offset) == PBQ_OK; }
  /** Moves up-next entry `from` to up-next index `to` (pbq_move_up_next); false when refused. */
  bool move_up_next(int32_t from, int32_t to) { return pbq_move_up_next(q_, from, to) == PBQ_OK; }
  /** Removes every up-next entry (pbq_clear_up_next). */
  void clear_up_next() { (void)pbq_clear_up_next(q_); }

  /* ---- Shuffle ---- */
  /** Turns shuffle on with `seed`, or off (pbq_set_shuffle). */
  status set_shuffle(bool enabled, uint64_t seed = 0) {
    if (pbq_set_shuffle(q_, enabled ? 1 : 0, seed) == PBQ_OK) return {};
    // With a handle, the only refusal is the rebuild's "out of memory".
    return status::failure(q_ == nullptr ? "null handle" : detail::last_error());
  }

  /* ---- Rate and sleep timer ---- */
  /** The rate now in force, after clamping to [0.5, 2.0]. */
  float set_rate(float rate) { return pbq_set_rate(q_, rate); }
  /** `duration` and `now` are used by sleep_mode::timer only (host clock units). */
  bool set_sleep_timer(sleep_mode mode, int64_t duration = 0, int64_t now = 0) {
    return pbq_set_sleep_timer(q_, static_cast<int32_t>(mode), duration, now) == PBQ_OK;
  }
  /** Time left (> 0), 0 once when the timer runs out, -1 when no timer is armed. */
  int64_t check_sleep_timer(int64_t now) { return pbq_check_sleep_timer(q_, now); }

  /* ---- Documents ---- */
  /** The state document (pbq_state_json), copied and freed. */
  result<std::string> state_json() const { return detail::take_document(q_, pbq_state_json(q_)); }
  /** The resume document at `position` seconds (pbq_export_resume_json), copied and freed. */
  result<std::string> export_resume_json(double position) const {
    return detail::take_document(q_, pbq_export_resume_json(q_, position));
  }
  /** The library gives no reason for a refused restore, so the error is
   * "resume refused" (or "null handle"): a resume document that is not a JSON
   * object, tracks that are not a JSON array, or memory running out. */
  result<resumed> restore_resume_json(c_text resume_json, c_text tracks_json) {
    double position = 0.0;
    int32_t r = pbq_restore_resume_json(q_, resume_json.get(), tracks_json.get(), &position);
    if (r == PBQ_REFUSED) return result<resumed>::failure(q_ == nullptr ? "null handle" : "resume refused");
    bool found = r == PBQ_RESTORE_RESUMED;
    return resumed{found, found ? position : 0.0};
  }

 private:
  static result<added> added_result(int32_t r) {
    if (r == PBQ_REFUSED) return result<added>::failure(detail::last_error());
    return static_cast<added>(r);
  }

  pbq_queue *q_;
};

static_assert(!std::is_copy_constructible_v<queue> && std::is_nothrow_move_constructible_v<queue>);
static_assert(sizeof(queue) == sizeof(pbq_queue *), "a queue is just its handle");

}  // namespace pbq

#endif /* PBQ_HPP */

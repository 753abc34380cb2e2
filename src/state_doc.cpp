// The state document: everything the host draws, as one compact JSON text written
// directly into one block, walking the play queue once.
#include <cstdlib>

#include "documents.h"
#include "engine.h"

namespace {

// The members before "queue" without the current track: keys, 5 numbers, 3 booleans.
constexpr uint64_t k_head_bound = 160 + 5 * k_max_number_text;

// How far ahead in play order the records, then their strings, are fetched. A long
// shuffled queue is laid out in play order, but a short one, entries added since, or a
// layout that found no memory, send the walk to a random record and a random stretch
// of the text; fetched
// this far ahead, both have arrived by the time the walk gets there (at 16 and 8
// entries ahead the walk still waited on most of them).
constexpr uint64_t k_record_lookahead = 64;
constexpr uint64_t k_string_lookahead = 32;

// The longest stretch from the stream URL to the last string that is fetched line by
// line; strings lying further apart are fetched at their starts only.
constexpr uintptr_t k_compact_strings = 512;

// Fetches a record's strings. A loaded record's strings lie together in the text, in
// member order: every line from the stream URL to the end of the last string is
// fetched, since a string's start alone misses the lines it runs on into.
[[gnu::always_inline]] inline void prefetch_strings(const track_rec &rec) {
  auto first = reinterpret_cast<uintptr_t>(rec.stream_url) & ~(k_cache_line - 1);
  auto last = rec.artwork_url != nullptr ? reinterpret_cast<uintptr_t>(rec.artwork_url) + rec.artwork_url_len
                                         : reinterpret_cast<uintptr_t>(rec.artist) + rec.artist_len;
  if (last > first && last - first <= k_compact_strings) {
    for (uintptr_t line = first; line < last; line += k_cache_line) __builtin_prefetch(reinterpret_cast<const void *>(line));
    return;
  }
  __builtin_prefetch(rec.stream_url);
  __builtin_prefetch(rec.title);
  __builtin_prefetch(rec.artist);
  if (rec.artwork_url != nullptr) __builtin_prefetch(rec.artwork_url);
}

char *put_bool(char *out, bool value) { return value ? put_literal(out, "true") : put_literal(out, "false"); }

// Grows the block [*text, *end) so that `needed` more bytes fit after `at`, and
// returns where `at` now lies, or null when memory ran out (the block is then
// unchanged). The block is sized from the store's bound up front, so this only runs if
// that bound were ever short.
char *grow(char **text, char **end, char *at, uint64_t needed) {
  auto used = static_cast<uint64_t>(at - *text);
  uint64_t size = (used + needed) * 2;
  auto *grown = static_cast<char *>(realloc_array(*text, size, 1));
  if (grown == nullptr) return nullptr;
  *text = grown;
  *end = grown + size;
  return grown + used;
}

}  // namespace

extern "C" char *pbq_state_json(const pbq_queue *q) {
  if (q == nullptr) return nullptr;
  if (q->layout_wanted) {
    // The first document after a shuffle lays a long queue out in play order, paying
    // its random walk over the pool once: every later document, one per change in a
    // host, then reads memory front to back. The handle is the host's own (one thread
    // at a time), never a constant object; what a document shows does not change.
    auto *laid_out = const_cast<pbq_queue *>(q);
    laid_out->layout_wanted = false;
    if (q->queue.count >= k_layout_min_entries) lay_out_in_play_order(laid_out);
  }
  bool current_exists = has_current(q);
  const track_rec *current = current_exists ? &queue_entry(q, static_cast<uint64_t>(q->current)) : nullptr;
  // Every queue entry names a different live record, so the live records' bound
  // covers the queue, one comma each included.
  uint64_t bound = k_head_bound + (current != nullptr ? record_text_bound(*current) : 8) +
                   q->store.live_text_bound + 16;
  if (bound > SIZE_MAX) return nullptr;
  auto *text = static_cast<char *>(malloc(static_cast<size_t>(bound)));
  if (text == nullptr) return nullptr;
  char *end = text + bound;
  char *at = text;

  at = put_literal(at, "{\"currentIndex\":");
  at = put_int(at, q->current);
  at = put_literal(at, ",\"queueCount\":");
  at = put_uint(at, q->queue.count);
  at = put_literal(at, ",\"upNextCount\":");
  at = put_uint(at, up_next_count(q));
  at = put_literal(at, ",\"repeatMode\":");
  at = put_int(at, q->repeat_mode);
  at = put_literal(at, ",\"isShuffled\":");
  at = put_bool(at, q->shuffle != 0);
  at = put_literal(at, ",\"playbackRate\":");
  at = put_real(at, static_cast<double>(q->rate));
  at = put_literal(at, ",\"sleepMode\":");
  at = put_int(at, q->sleep_mode);
  at = put_literal(at, ",\"hasNext\":");
  at = put_bool(at, has_next(q));
  at = put_literal(at, ",\"hasPrevious\":");
  at = put_bool(at, has_previous(q));
  at = put_literal(at, ",\"currentTrack\":");
  at = current != nullptr ? put_track_object(at, *current) : put_literal(at, "null");
  at = put_literal(at, ",\"queue\":[");
  assert(at <= end);

  const play_queue &queue = q->queue;
  const track_rec *recs = q->store.recs;
  uint64_t count = queue.count;
  const uint64_t room_per_entry = q->store.max_text_bound + 4;
  for (uint64_t i = 0; i < count; i++) {
    // A queue out of pool order visits the pool out of order: fetch ahead of the walk.
    if (i + k_record_lookahead < count) __builtin_prefetch(&recs[queue_id(queue, i + k_record_lookahead)]);
    if (i + k_string_lookahead < count) prefetch_strings(recs[queue_id(queue, i + k_string_lookahead)]);
    const track_rec &rec = record_at(q, queue_id(queue, i));
    // Room checked against the largest record, not this one: reading the record's
    // lengths before writing it slowed the walk by a third.
    if (static_cast<uint64_t>(end - at) < room_per_entry && (at = grow(&text, &end, at, room_per_entry)) == nullptr) {
      free(text);
      return nullptr;
    }
    if (i > 0) *at++ = ',';
    at = put_track_object(at, rec);
  }
  at = put_literal(at, "]}");
  // The store's bound covers the whole text; grow only guards it.
  assert(at < end);
  *at = '\0';

  // The bound counts every number at its longest, so there is always slack to give
  // back; shrinking a block in place costs next to nothing.
  auto *fitted = static_cast<char *>(realloc(text, static_cast<size_t>(at - text) + 1));
  return fitted != nullptr ? fitted : text;
}

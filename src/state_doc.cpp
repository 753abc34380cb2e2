// The state document: everything the host draws, as one compact JSON text written
// directly into one block, walking the play queue once.
#include <cstdlib>

#include "documents.h"
#include "engine.h"

namespace {

// The members before "queue" without the current track: keys, 5 numbers, 3 booleans.
constexpr uint64_t k_head_bound = 160 + 5 * k_max_number_text;

// How far ahead in play order the records, then their strings, are fetched.
constexpr uint64_t k_record_lookahead = 16;
constexpr uint64_t k_string_lookahead = 8;

// The four strings of a record; a loaded record's lie together in the text.
void prefetch_strings(const track_rec &rec) {
  __builtin_prefetch(rec.stream_url);
  __builtin_prefetch(rec.title);
  __builtin_prefetch(rec.artist);
  if (rec.artwork_url != nullptr) __builtin_prefetch(rec.artwork_url);
}

char *put_bool(char *out, bool value) { return value ? put_literal(out, "true") : put_literal(out, "false"); }

// Room for `needed` more bytes after `*at` in the block [*text, *end). The block is
// sized from the store's bound up front, so this only grows it if that bound were
// ever short.
bool ensure_room(char **text, char **end, char **at, uint64_t needed) {
  auto used = static_cast<uint64_t>(*at - *text);
  if (static_cast<uint64_t>(*end - *at) >= needed) return true;
  uint64_t size = (used + needed) * 2;
  auto *grown = static_cast<char *>(realloc_array(*text, size, 1));
  if (grown == nullptr) return false;
  *text = grown;
  *at = grown + used;
  *end = grown + size;
  return true;
}

}  // namespace

extern "C" char *pbq_state_json(const pbq_queue *q) {
  if (q == nullptr) return nullptr;
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
  for (uint64_t i = 0; i < count; i++) {
    // A shuffled queue visits the pool out of order: fetch ahead of the walk.
    if (i + k_record_lookahead < count) __builtin_prefetch(&recs[queue_id(queue, i + k_record_lookahead)]);
    if (i + k_string_lookahead < count) prefetch_strings(recs[queue_id(queue, i + k_string_lookahead)]);
    const track_rec &rec = record_at(q, queue_id(queue, i));
    if (!ensure_room(&text, &end, &at, record_text_bound(rec) + 4)) {
      free(text);
      return nullptr;
    }
    if (i > 0) *at++ = ',';
    at = put_track_object(at, rec);
  }
  at = put_literal(at, "]}");
  // The store's bound covers the whole text; ensure_room only guards it.
  assert(at < end);
  *at = '\0';

  // The bound counts every number at its longest; give the slack back.
  auto used = static_cast<size_t>(at - text) + 1;
  if (static_cast<size_t>(end - text) - used > 64) {
    auto *fitted = static_cast<char *>(realloc(text, used));
    if (fitted != nullptr) text = fitted;
  }
  return text;
}

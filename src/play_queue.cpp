// The play order: an id list with a gap where entries are inserted and removed, so
// that play next and removals near the current entry cost the same at any length.
#include <cstdlib>
#include <cstring>

#include "model.h"

namespace {

// Opening a gap moves the entries after it once; below this many, shifting them is as
// cheap and leaves no gap behind.
constexpr uint64_t k_open_gap_cost = 64;

uint64_t tail_room(const play_queue *queue) { return queue->capacity - queue->count - queue->gap_len; }

uint64_t distance(uint64_t a, uint64_t b) { return a > b ? a - b : b - a; }

// Where entry `position` (or the end, for position == count) stands in `ids`.
uint64_t slot_of(const play_queue *queue, uint64_t position) {
  return position < queue->gap_at ? position : position + queue->gap_len;
}

// Moves the gap to `position` (<= count): only the entries between the old and the
// new place move.
void move_gap(play_queue *queue, uint64_t position) {
  assert(position <= queue->count);
  uint32_t *ids = queue->ids;
  if (queue->gap_len == 0) {
    queue->gap_at = position;
    return;
  }
  if (position < queue->gap_at) {
    memmove(ids + position + queue->gap_len, ids + position, bytes_in_block((queue->gap_at - position) * sizeof(uint32_t)));
  } else if (position > queue->gap_at) {
    memmove(ids + queue->gap_at, ids + queue->gap_at + queue->gap_len,
            bytes_in_block((position - queue->gap_at) * sizeof(uint32_t)));
  }
  queue->gap_at = position;
}

}  // namespace

int queue_reserve_one(play_queue *queue) {
  if (tail_room(queue) > 0) return 0;
  if (queue->count >= k_max_list_count) return -1;  // GCOVR_EXCL_LINE unreachable in a test: 2^31 entries
  uint64_t capacity = grown_capacity(queue->capacity, queue->count + queue->gap_len + 1);
  // The gap never holds more than the entries did, so this stays below 2^33 slots.
  auto *ids = static_cast<uint32_t *>(realloc_array(queue->ids, capacity, sizeof(uint32_t)));
  if (ids == nullptr) return -1;
  queue->ids = ids;
  queue->capacity = capacity;
  return 0;
}

void queue_append(play_queue *queue, uint32_t id) {
  assert(tail_room(queue) > 0);
  queue->ids[queue->count + queue->gap_len] = id;
  queue->count++;
}

void queue_insert(play_queue *queue, uint64_t position, uint32_t id) {
  assert(position <= queue->count);
  uint64_t after = queue->count - position;
  bool behind_gap = queue->gap_len == 0 || position >= queue->gap_at;
  // Near the end (an add to queue, or a gapless queue's last entries) the entries after
  // the place shift into the free room; elsewhere the gap comes to the place, and stays
  // for the next play next.
  uint64_t gap_cost = queue->gap_len == 0 ? k_open_gap_cost : distance(position, queue->gap_at);
  if (behind_gap && tail_room(queue) > 0 && after <= gap_cost) {
    uint64_t slot = slot_of(queue, position);
    memmove(queue->ids + slot + 1, queue->ids + slot, bytes_in_block(after * sizeof(uint32_t)));
    queue->ids[slot] = id;
    queue->count++;
    if (queue->gap_len == 0) queue->gap_at = queue->count;
    return;
  }
  if (queue->gap_len == 0) {
    // A new gap at `position`, half the free room: the other half stays for appends.
    uint64_t room = tail_room(queue);
    assert(room > 0);
    uint64_t gap = room > 1 ? room / 2 : 1;
    memmove(queue->ids + position + gap, queue->ids + position, bytes_in_block(after * sizeof(uint32_t)));
    queue->gap_at = position;
    queue->gap_len = gap;
  } else {
    move_gap(queue, position);
  }
  queue->ids[queue->gap_at++] = id;
  queue->gap_len--;
  queue->count++;
}

uint32_t queue_erase(play_queue *queue, uint64_t position) {
  assert(position < queue->count);
  uint64_t after = queue->count - 1 - position;
  bool behind_gap = queue->gap_len == 0 || position >= queue->gap_at;
  uint64_t gap_cost = queue->gap_len == 0 ? 0 : distance(position, queue->gap_at);
  if (behind_gap && after <= gap_cost) {
    // The last entries close up over it: cheaper than bringing the gap here.
    uint64_t slot = slot_of(queue, position);
    uint32_t id = queue->ids[slot];
    memmove(queue->ids + slot, queue->ids + slot + 1, bytes_in_block(after * sizeof(uint32_t)));
    queue->count--;
    if (queue->gap_len == 0) queue->gap_at = queue->count;
    return id;
  }
  move_gap(queue, position);
  uint32_t id = queue->ids[position + queue->gap_len];
  queue->gap_len++;
  queue->count--;
  return id;
}

void queue_truncate(play_queue *queue, uint64_t keep) {
  assert(keep <= queue->count);
  if (keep <= queue->gap_at) {
    // Everything from `keep` on, gap included, becomes free room.
    queue->gap_at = keep;
    queue->gap_len = 0;
  }
  queue->count = keep;
}

void queue_close_gap(play_queue *queue) {
  if (queue->gap_len == 0) return;
  move_gap(queue, queue->count);
  queue->gap_len = 0;
}

int queue_assign(play_queue *queue, const uint32_t *ids, uint64_t count) {
  play_queue fresh{};
  if (count > 0) {
    if (count > k_max_list_count) return -1;  // GCOVR_EXCL_LINE unreachable in a test: 2^31 entries
    uint64_t capacity = grown_capacity(0, count);
    fresh.ids = static_cast<uint32_t *>(malloc_array(capacity, sizeof(uint32_t)));
    if (fresh.ids == nullptr) return -1;
    memcpy(fresh.ids, ids, bytes_in_block(count * sizeof(uint32_t)));
    fresh.count = count;
    fresh.capacity = capacity;
    fresh.gap_at = count;
  }
  queue_free(queue);
  *queue = fresh;
  return 0;
}

void queue_free(play_queue *queue) {
  free(queue->ids);
  *queue = play_queue{};
}

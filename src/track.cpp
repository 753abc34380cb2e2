// Track records and growable track lists: deep copies, growth and release.
#include <cstdlib>
#include <cstring>

#include "model.h"

namespace {

// A private heap copy of `s`; a null `s` gives "".
char *copy_text(const char *s) {
  if (s == nullptr) s = "";
  size_t length = strlen(s);
  auto *copy = static_cast<char *>(malloc(length + 1));
  if (copy != nullptr) memcpy(copy, s, length + 1);
  return copy;
}

}  // namespace

void track_free(track *t) {
  free(t->stream_url);
  free(t->title);
  free(t->artist);
  free(t->artwork_url);
  *t = track{};
}

int track_copy(track *dst, const track *src) {
  track copy{};
  copy.stream_url = copy_text(src->stream_url);
  copy.title = copy_text(src->title);
  copy.artist = copy_text(src->artist);
  // Artwork is the one field that stays null when the source has none.
  copy.artwork_url = src->artwork_url != nullptr ? copy_text(src->artwork_url) : nullptr;
  copy.duration = src->duration;
  bool failed = copy.stream_url == nullptr || copy.title == nullptr || copy.artist == nullptr ||
                (src->artwork_url != nullptr && copy.artwork_url == nullptr);
  if (failed) {
    track_free(&copy);
    *dst = track{};
    return -1;
  }
  *dst = copy;
  return 0;
}

int list_reserve(track_list *list, uint64_t needed) {
  if (needed <= list->capacity) return 0;
  if (needed > k_max_list_count) return -1;
  uint64_t capacity = list->capacity == 0 ? k_first_capacity : list->capacity * 2;
  while (capacity < needed) capacity *= 2;
  // Both bounds keep the byte count far from overflow: capacity < 2^32 here.
  auto *items = static_cast<track *>(realloc(list->items, capacity * sizeof(track)));
  if (items == nullptr) return -1;
  list->items = items;
  list->capacity = capacity;
  return 0;
}

int list_push_copy(track_list *list, const track *t) {
  if (list_reserve(list, list->count + 1) != 0) return -1;
  if (track_copy(&list->items[list->count], t) != 0) return -1;
  list->count++;
  return 0;
}

int list_push_move(track_list *list, track *t) {
  if (list_reserve(list, list->count + 1) != 0) return -1;
  list->items[list->count++] = *t;
  *t = track{};
  return 0;
}

void list_clear(track_list *list) {
  for (uint64_t i = 0; i < list->count; i++) track_free(&list->items[i]);
  free(list->items);
  *list = track_list{};
}

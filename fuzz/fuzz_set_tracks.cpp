// Fuzz target: pbq_set_tracks_json on arbitrary text, once with shuffle off and once
// with shuffle on, on a handle that already holds a list.
#include <algorithm>

#include "fuzz_support.h"

namespace {

constexpr const char *k_loaded =
    R"([{"streamURL":"a.m4a","title":"A"},{"streamURL":"b.m4a"},{"id":"c.m4a","duration":3}])";

// The URLs a track list may legitimately contribute: every string member of every
// element, so that an accepted track never comes from nowhere.
std::vector<std::string> element_strings(yyjson_val *array) {
  std::vector<std::string> out;
  size_t i, max;
  yyjson_val *element;
  yyjson_arr_foreach(array, i, max, element) {
    if (!yyjson_is_obj(element)) continue;
    size_t j, jmax;
    yyjson_val *key, *value;
    yyjson_obj_foreach(element, j, jmax, key, value) {
      if (yyjson_is_str(value)) out.emplace_back(yyjson_get_str(value), yyjson_get_len(value));
    }
  }
  return out;
}

// Loads `text` into a handle holding k_loaded and checks the answer against what
// yyjson itself makes of the text. Returns the handle's state afterwards.
fuzz::state_view load(const std::string &text, bool shuffle, int32_t start, uint64_t seed) {
  pbq_queue *q = pbq_create();
  FUZZ_CHECK(q != nullptr);
  FUZZ_CHECK(pbq_set_shuffle(q, shuffle ? 1 : 0, 0) == 0);
  FUZZ_CHECK(pbq_set_tracks_json(q, k_loaded, 1, 5) == 0);
  fuzz::state_view before = fuzz::check_handle(q);

  int32_t r = pbq_set_tracks_json(q, text.c_str(), start, seed);
  fuzz::state_view after = fuzz::check_handle(q);

  yyjson_doc *doc = yyjson_read(text.c_str(), strlen(text.c_str()), 0);
  yyjson_val *root = yyjson_doc_get_root(doc);
  if (doc == nullptr) {
    FUZZ_CHECK(r == -1 && strcmp(pbq_last_error(), "invalid tracks json") == 0);
  } else if (!yyjson_is_arr(root)) {
    FUZZ_CHECK(r == -1 && strcmp(pbq_last_error(), "tracks json must be array") == 0);
  } else {
    FUZZ_CHECK(r == 0 && strcmp(pbq_last_error(), "") == 0);
    FUZZ_CHECK(after.count <= yyjson_arr_size(root));
    FUZZ_CHECK(q->tracks.count == after.count);
    std::vector<std::string> strings = element_strings(root);
    for (const std::string &url : after.queue) {
      FUZZ_CHECK(std::find(strings.begin(), strings.end(), url) != strings.end());
    }
    if (after.count > 0 && !shuffle) {
      int64_t clamped = std::clamp<int64_t>(start, 0, static_cast<int64_t>(after.count) - 1);
      FUZZ_CHECK(after.current == clamped);
    }
    if (after.count > 0 && shuffle) FUZZ_CHECK(after.current == 0);
  }
  yyjson_doc_free(doc);
  if (r != 0) FUZZ_CHECK(fuzz::same_state(before, after));
  // Settings belong to the handle, not to the list.
  FUZZ_CHECK(after.shuffled == shuffle && after.repeat == 0 && after.rate == 1.0);
  pbq_destroy(q);
  return after;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text = fuzz::as_text(data, size);
  // Start index and seed vary with the input without taking bytes from the text.
  int32_t start = static_cast<int32_t>(size % 7) - 2;
  uint64_t seed = size * 0x9E3779B97F4A7C15ULL;

  fuzz::state_view plain = load(text, false, start, seed);
  fuzz::state_view shuffled = load(text, true, start, seed);
  // Shuffle only reorders: the same entries, the chosen track first.
  FUZZ_CHECK(plain.count == shuffled.count);
  if (plain.count > 0) {
    std::vector<std::string> a = plain.queue, b = shuffled.queue;
    FUZZ_CHECK(b[0] == plain.current_url);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    FUZZ_CHECK(a == b);
  }
  return 0;
}

// The body shared by the play-next and add-to-queue targets: one track object from
// the input, added to an empty handle, a short list or a list at its first capacity.
#pragma once

#include <algorithm>

#include "fuzz_support.h"

namespace fuzz {

// 16 tracks "t0".."t15": the next entry makes both lists grow past their first 16.
inline std::string sixteen_tracks() {
  std::string json = "[";
  for (int i = 0; i < 16; i++) {
    if (i > 0) json += ",";
    json += R"({"streamURL":"t)" + std::to_string(i) + R"(","title":"T"})";
  }
  return json + "]";
}

enum class add_at { after_current, end };

inline void add_track_target(const uint8_t *data, size_t size, add_at where) {
  static const std::string k_sixteen = sixteen_tracks();
  std::string text = as_text(data, size);

  pbq_queue *q = pbq_create();
  FUZZ_CHECK(q != nullptr);
  switch (size % 4) {
    case 0: break;  // empty: nothing is current
    case 1: FUZZ_CHECK(pbq_set_tracks_json(q, R"([{"streamURL":"a"},{"streamURL":"b"},{"streamURL":"c"}])", 1, 0) == 0); break;
    case 2: FUZZ_CHECK(pbq_set_tracks_json(q, k_sixteen.c_str(), 15, 0) == 0); break;
    default:
      FUZZ_CHECK(pbq_set_shuffle(q, 1, 0) == 0);
      FUZZ_CHECK(pbq_set_tracks_json(q, k_sixteen.c_str(), 3, 9) == 0);
      break;
  }
  state_view before = check_handle(q);
  std::vector<std::string> tracks_before = loaded_urls(q);

  int32_t r = where == add_at::after_current ? pbq_play_next_json(q, text.c_str())
                                             : pbq_add_to_queue_json(q, text.c_str());
  state_view after = check_handle(q);

  yyjson_doc *doc = yyjson_read(text.c_str(), strlen(text.c_str()), 0);
  yyjson_val *root = yyjson_doc_get_root(doc);
  if (r < 0) {
    FUZZ_CHECK(r == -1);
    FUZZ_CHECK(same_state(before, after) && q->tracks.count == tracks_before.size());
    if (doc == nullptr) FUZZ_CHECK(strcmp(pbq_last_error(), "invalid track json") == 0);
    else FUZZ_CHECK(strcmp(pbq_last_error(), "missing streamURL") == 0);
  } else {
    FUZZ_CHECK(doc != nullptr && yyjson_is_obj(root));
    FUZZ_CHECK(strcmp(pbq_last_error(), "") == 0);
    FUZZ_CHECK(r == (before.current == -1 ? 1 : 0));
    FUZZ_CHECK(after.count == before.count + 1);
    FUZZ_CHECK(after.current == (before.current == -1 ? 0 : before.current));
    // The new entry sits where the call says, the others keep their order.
    size_t at = before.current == -1 || where == add_at::end
                    ? before.queue.size()
                    : static_cast<size_t>(before.current) + 1;
    std::string added = after.queue[at];
    std::vector<std::string> rest = after.queue;
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(at));
    FUZZ_CHECK(rest == before.queue);
    // The loaded tracks gain it unless a track with that URL was already there.
    bool known = std::find(tracks_before.begin(), tracks_before.end(), added) != tracks_before.end();
    size_t expected_tracks = tracks_before.size() + (known && before.current != -1 ? 0 : 1);
    FUZZ_CHECK(q->tracks.count == expected_tracks);
    FUZZ_CHECK(std::string(tracks_entry(q, q->tracks.count - 1).stream_url) ==
               (expected_tracks > tracks_before.size() ? added : tracks_before.back()));
  }
  yyjson_doc_free(doc);
  pbq_destroy(q);
}

}  // namespace fuzz

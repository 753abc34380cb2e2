// The body shared by the two restore targets: a resume text and a tracks text handed
// to pbq_restore_resume_json on an empty, a loaded or a shuffled handle.
#pragma once

#include "fuzz_support.h"

namespace fuzz {

inline void restore_target(const std::string &resume, const std::string &tracks, unsigned setup) {
  constexpr double k_poison = -12345.25;
  pbq_queue *q = pbq_create();
  FUZZ_CHECK(q != nullptr);
  if (setup % 3 != 0) {
    FUZZ_CHECK(pbq_set_shuffle(q, setup % 3 == 2, 0) == 0);
    FUZZ_CHECK(pbq_set_tracks_json(q, R"([{"streamURL":"x"},{"streamURL":"y"},{"id":"z"}])", 2, 0) == 0);
    FUZZ_CHECK(pbq_set_repeat(q, 2) == 2);
    FUZZ_CHECK(pbq_set_rate(q, 1.25f) == 1.25f);
  }
  FUZZ_CHECK(pbq_set_sleep_timer(q, 2, 0, 0) == 0);
  state_view before = check_handle(q);

  double position = k_poison;
  int32_t r = pbq_restore_resume_json(q, resume.c_str(), tracks.c_str(), &position);
  state_view after = check_handle(q);
  // The sleep timer is never part of a resume.
  FUZZ_CHECK(after.sleep == 2);

  yyjson_doc *doc = yyjson_read(resume.c_str(), strlen(resume.c_str()), 0);
  yyjson_val *root = yyjson_doc_get_root(doc);
  if (!yyjson_is_obj(root)) {
    FUZZ_CHECK(r == -1 && same_state(before, after));
  }
  switch (r) {
    case -1:
      FUZZ_CHECK(position == k_poison);
      FUZZ_CHECK(after.queue_json == before.queue_json && after.current == before.current);
      break;
    case 1:
      FUZZ_CHECK(position == 0.0);
      FUZZ_CHECK(after.queue_json == before.queue_json && after.current == before.current);
      break;
    case 0: {
      FUZZ_CHECK(strcmp(pbq_last_error(), "") == 0);
      yyjson_val *url = first_member(root, "lastTrackURL");
      FUZZ_CHECK(yyjson_is_str(url));
      FUZZ_CHECK(after.current_url == std::string(yyjson_get_str(url), yyjson_get_len(url)));
      if (after.shuffled) FUZZ_CHECK(after.current == 0);
      yyjson_val *time = first_member(root, "lastTrackTime");
      double saved = yyjson_is_num(time) && yyjson_get_num(time) > 0.0 ? yyjson_get_num(time) : 0.0;
      FUZZ_CHECK(position == saved);
      break;
    }
    default:
      FUZZ_CHECK(!"restore answered outside -1..1");
  }
  if (r >= 0) {
    // Settings of the right kind and range are taken as they stand.
    yyjson_val *repeat = first_member(root, "repeatMode");
    if (yyjson_is_int(repeat) && yyjson_get_sint(repeat) >= 0 && yyjson_get_sint(repeat) <= 2) {
      FUZZ_CHECK(after.repeat == yyjson_get_sint(repeat));
    }
    yyjson_val *shuffled = first_member(root, "isShuffled");
    if (yyjson_is_bool(shuffled)) FUZZ_CHECK(after.shuffled == yyjson_get_bool(shuffled));
    yyjson_val *rate = first_member(root, "playbackRate");
    if (yyjson_is_num(rate) && yyjson_get_num(rate) >= 0.5 && yyjson_get_num(rate) <= 2.0) {
      FUZZ_CHECK(after.rate == static_cast<double>(static_cast<float>(yyjson_get_num(rate))));
    }
  }
  yyjson_doc_free(doc);
  pbq_destroy(q);
}

}  // namespace fuzz

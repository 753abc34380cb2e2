// The resume document: what a restart needs to resume listening, and its restore.
#include <cmath>
#include <cstring>
#include <string_view>

#include "documents.h"
#include "engine.h"

namespace {

using std::string_view;

// The seed of the fresh shuffle a restore makes when shuffle is on.
constexpr uint64_t k_restore_seed = 42;

// The first member of each key of the resume document.
struct resume_members {
  yyjson_val *url = nullptr;
  yyjson_val *time = nullptr;
  yyjson_val *repeat = nullptr;
  yyjson_val *shuffled = nullptr;
  yyjson_val *rate = nullptr;
};

resume_members find_resume_members(yyjson_val *obj) {
  resume_members m;
  yyjson_obj_iter iter = yyjson_obj_iter_with(obj);
  yyjson_val *key;
  while ((key = yyjson_obj_iter_next(&iter)) != nullptr) {
    string_view name(yyjson_get_str(key), yyjson_get_len(key));
    yyjson_val *value = yyjson_obj_iter_get_val(key);
    yyjson_val **slot = name == "lastTrackURL"   ? &m.url
                        : name == "lastTrackTime" ? &m.time
                        : name == "repeatMode"    ? &m.repeat
                        : name == "isShuffled"    ? &m.shuffled
                        : name == "playbackRate"  ? &m.rate
                                                  : nullptr;
    if (slot != nullptr && *slot == nullptr) *slot = value;
  }
  return m;
}

// Settings are applied as they are read; a value of the wrong kind changes nothing.
void apply_settings(pbq_queue *q, const resume_members &m) {
  if (yyjson_is_int(m.repeat)) {
    // Only the low 32 bits count, read as a signed mode.
    uint64_t raw = yyjson_is_uint(m.repeat) ? yyjson_get_uint(m.repeat)
                                            : static_cast<uint64_t>(yyjson_get_sint(m.repeat));
    int32_t mode = static_cast<int32_t>(static_cast<uint32_t>(raw));
    if (mode >= k_repeat_off && mode <= k_repeat_one) q->repeat_mode = mode;
  }
  if (yyjson_is_bool(m.shuffled)) q->shuffle = yyjson_get_bool(m.shuffled) ? 1 : 0;
  if (yyjson_is_num(m.rate)) q->rate = clamp_rate_from_double(yyjson_get_num(m.rate));
}

// Index, among the tracks loading would accept, of the first whose stream URL is
// `url`. Found through the reader's own choice of address, so that a track whose
// address came from "id" resumes too and a skipped element shifts nothing.
bool find_saved_track(yyjson_val *array, string_view url, uint64_t *found) {
  uint64_t accepted = 0;
  size_t index, max;
  yyjson_val *element;
  yyjson_arr_foreach(array, index, max, element) {
    const char *address;
    size_t length;
    if (!track_address(element, &address, &length)) continue;
    if (string_view(address, length) == url) {
      *found = accepted;
      return true;
    }
    accepted++;
  }
  return false;
}

void put_position(double *out_position, double position) {
  if (out_position != nullptr) *out_position = position;
}

}  // namespace

extern "C" {

char *pbq_export_resume_json(const pbq_queue *q, double position) {
  if (q == nullptr) return nullptr;
  mut_doc_guard guard;
  yyjson_mut_doc *doc = guard.doc;
  yyjson_mut_val *root = new_root_object(doc);
  if (root == nullptr) return nullptr;
  bool ok;
  if (has_current(q)) {
    const track_rec &playing = queue_entry(q, static_cast<uint64_t>(q->current));
    ok = yyjson_mut_obj_add_strncpy(doc, root, "lastTrackURL", playing.stream_url, playing.stream_url_len);
  } else {
    ok = yyjson_mut_obj_add_null(doc, root, "lastTrackURL");
  }
  // Never negative, and +0.0 for NaN, infinities and either zero.
  double saved = std::isfinite(position) && position > 0.0 ? position : 0.0;
  // GCOVR_EXCL_START unreachable with this yyjson: the first member's values came from a
  // pool chunk that holds the rest, so these adds allocate nothing; checked all the same
  ok = ok && yyjson_mut_obj_add_real(doc, root, "lastTrackTime", saved) &&
       yyjson_mut_obj_add_int(doc, root, "repeatMode", q->repeat_mode) &&
       yyjson_mut_obj_add_bool(doc, root, "isShuffled", q->shuffle != 0) &&
       yyjson_mut_obj_add_real(doc, root, "playbackRate", static_cast<double>(q->rate));
  // GCOVR_EXCL_STOP
  return ok ? write_compact(doc) : nullptr;
}

int32_t pbq_restore_resume_json(pbq_queue *q, const char *resume_json, const char *tracks_json,
                                double *out_position) {
  if (q == nullptr || resume_json == nullptr || tracks_json == nullptr) return -1;
  bool no_memory = false;
  doc_guard resume(read_json(resume_json, &no_memory));
  yyjson_val *root = yyjson_doc_get_root(resume.doc);
  if (!yyjson_is_obj(root)) return -1;
  if (yyjson_obj_size(root) == 0) {
    put_position(out_position, 0.0);
    return PBQ_RESTORE_NOTHING;
  }

  resume_members m = find_resume_members(root);
  apply_settings(q, m);
  double position = yyjson_is_num(m.time) ? yyjson_get_num(m.time) : 0.0;
  if (!(position > 0.0)) position = 0.0;
  if (!yyjson_is_str(m.url) || yyjson_get_len(m.url) == 0) {
    put_position(out_position, 0.0);
    return PBQ_RESTORE_NOTHING;
  }
  // The URL is read in place: the resume document lives until the search is done.
  string_view url(yyjson_get_str(m.url), yyjson_get_len(m.url));

  // The tracks are parsed once: the same parse finds the saved track and is loaded.
  parsed_tracks tracks;
  if (parse_tracks(tracks_json, &tracks) != parse_outcome::ok) return -1;
  uint64_t start = 0;
  if (!find_saved_track(yyjson_doc_get_root(tracks.doc), url, &start)) {
    put_position(out_position, 0.0);
    return PBQ_RESTORE_NOTHING;
  }
  // An index past INT32_MAX cannot be loaded anyway; loading then reports it.
  int32_t start_index = start > k_max_list_count ? INT32_MAX : static_cast<int32_t>(start);  // GCOVR_EXCL_LINE: 2^31 tracks
  if (install_tracks(q, &tracks, start_index, k_restore_seed) != 0) return -1;
  put_position(out_position, position);
  return PBQ_RESTORE_RESUMED;
}

}  // extern "C"

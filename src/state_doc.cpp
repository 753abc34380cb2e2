// The state document: everything the host draws, as one compact JSON text.
#include "documents.h"
#include "engine.h"

namespace {

bool add_track_object(yyjson_mut_doc *doc, yyjson_mut_val *obj, const track *t) {
  return obj != nullptr && add_track_to_json(doc, obj, t);
}

}  // namespace

extern "C" char *pbq_state_json(const pbq_queue *q) {
  if (q == nullptr) return nullptr;
  mut_doc_guard guard;
  yyjson_mut_doc *doc = guard.doc;
  if (doc == nullptr) return nullptr;
  // Eleven values (an object, five keys, five members) for every track object, taken
  // from one pool block instead of a chain of growing ones.
  yyjson_mut_doc_set_val_pool_size(doc, 11 * (q->queue.count + 1) + 32);
  yyjson_mut_val *root = new_root_object(doc);
  if (root == nullptr) return nullptr;

  bool current_exists = has_current(q);
  bool ok = yyjson_mut_obj_add_int(doc, root, "currentIndex", q->current) &&
            yyjson_mut_obj_add_uint(doc, root, "queueCount", q->queue.count) &&
            yyjson_mut_obj_add_uint(doc, root, "upNextCount", up_next_count(q)) &&
            yyjson_mut_obj_add_int(doc, root, "repeatMode", q->repeat_mode) &&
            yyjson_mut_obj_add_bool(doc, root, "isShuffled", q->shuffle != 0) &&
            yyjson_mut_obj_add_real(doc, root, "playbackRate", static_cast<double>(q->rate)) &&
            yyjson_mut_obj_add_int(doc, root, "sleepMode", q->sleep_mode) &&
            yyjson_mut_obj_add_bool(doc, root, "hasNext", has_next(q)) &&
            yyjson_mut_obj_add_bool(doc, root, "hasPrevious", has_previous(q));
  if (!ok) return nullptr;

  if (current_exists) {
    ok = add_track_object(doc, yyjson_mut_obj_add_obj(doc, root, "currentTrack"),
                          &q->queue.items[q->current]);
  } else {
    ok = yyjson_mut_obj_add_null(doc, root, "currentTrack");
  }
  if (!ok) return nullptr;

  yyjson_mut_val *entries = yyjson_mut_obj_add_arr(doc, root, "queue");
  if (entries == nullptr) return nullptr;
  for (uint64_t i = 0; i < q->queue.count; i++) {
    if (!add_track_object(doc, yyjson_mut_arr_add_obj(doc, entries), &q->queue.items[i])) return nullptr;
  }
  return write_compact(doc);
}

// The state document built the slow, plainly right way: yyjson's mutable API over the
// handle's records, written by yyjson itself. The library writes the text directly;
// the tests and the fuzz targets hold it to this, byte for byte.
#pragma once

#include <string>

#include <yyjson.h>

#include "engine.h"
#include "model.h"

namespace oracle {

inline yyjson_mut_val *track_object(yyjson_mut_doc *doc, const track_rec &t) {
  yyjson_mut_val *obj = yyjson_mut_obj(doc);
  yyjson_mut_obj_add_strn(doc, obj, "streamURL", t.stream_url, t.stream_url_len);
  yyjson_mut_obj_add_strn(doc, obj, "title", t.title, t.title_len);
  yyjson_mut_obj_add_strn(doc, obj, "artist", t.artist, t.artist_len);
  if (t.artwork_url != nullptr) yyjson_mut_obj_add_strn(doc, obj, "artworkURL", t.artwork_url, t.artwork_url_len);
  else yyjson_mut_obj_add_null(doc, obj, "artworkURL");
  yyjson_mut_obj_add_real(doc, obj, "duration", t.duration);
  return obj;
}

// "(null)" when yyjson could not write it.
inline std::string write(yyjson_mut_doc *doc) {
  char *text = yyjson_mut_write(doc, 0, nullptr);
  std::string out = text != nullptr ? text : "(null)";
  free(text);
  yyjson_mut_doc_free(doc);
  return out;
}

inline std::string track_text(const track_rec &t) {
  yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
  yyjson_mut_doc_set_root(doc, track_object(doc, t));
  return write(doc);
}

inline std::string state_text(const pbq_queue *q) {
  yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
  yyjson_mut_val *root = yyjson_mut_obj(doc);
  yyjson_mut_doc_set_root(doc, root);
  yyjson_mut_obj_add_int(doc, root, "currentIndex", q->current);
  yyjson_mut_obj_add_uint(doc, root, "queueCount", q->queue.count);
  yyjson_mut_obj_add_uint(doc, root, "upNextCount", up_next_count(q));
  yyjson_mut_obj_add_int(doc, root, "repeatMode", q->repeat_mode);
  yyjson_mut_obj_add_bool(doc, root, "isShuffled", q->shuffle != 0);
  yyjson_mut_obj_add_real(doc, root, "playbackRate", static_cast<double>(q->rate));
  yyjson_mut_obj_add_int(doc, root, "sleepMode", q->sleep_mode);
  yyjson_mut_obj_add_bool(doc, root, "hasNext", has_next(q));
  yyjson_mut_obj_add_bool(doc, root, "hasPrevious", has_previous(q));
  if (has_current(q)) {
    yyjson_mut_obj_add_val(doc, root, "currentTrack",
                           track_object(doc, queue_entry(q, static_cast<uint64_t>(q->current))));
  } else {
    yyjson_mut_obj_add_null(doc, root, "currentTrack");
  }
  yyjson_mut_val *entries = yyjson_mut_obj_add_arr(doc, root, "queue");
  for (uint64_t i = 0; i < q->queue.count; i++) yyjson_mut_arr_append(entries, track_object(doc, queue_entry(q, i)));
  return write(doc);
}

// A real as yyjson writes it.
inline std::string real_text(double value) {
  yyjson_mut_val v;
  yyjson_mut_set_real(&v, value);
  char *text = yyjson_mut_val_write(&v, 0, nullptr);
  std::string out = text != nullptr ? text : "(null)";
  free(text);
  return out;
}

}  // namespace oracle

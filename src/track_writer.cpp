// The track writer: the output form of one track record.
#include "documents.h"

bool add_track_to_json(yyjson_mut_doc *doc, yyjson_mut_val *obj, const track *t) {
  if (doc == nullptr || !yyjson_mut_is_obj(obj)) return false;
  // The list never holds a null stream URL, title or artist; the tests only guard.
  // Strings are referred to, not copied: every document is written to text and freed
  // within the call that builds it, while the handle's records cannot change, and
  // copying a large queue's strings would double the cost of the state document.
  bool ok = true;
  if (t->stream_url != nullptr) ok = ok && yyjson_mut_obj_add_str(doc, obj, "streamURL", t->stream_url);
  if (t->title != nullptr) ok = ok && yyjson_mut_obj_add_str(doc, obj, "title", t->title);
  if (t->artist != nullptr) ok = ok && yyjson_mut_obj_add_str(doc, obj, "artist", t->artist);
  // A track without artwork says so with null, never by leaving the member out.
  if (t->artwork_url != nullptr) ok = ok && yyjson_mut_obj_add_str(doc, obj, "artworkURL", t->artwork_url);
  else ok = ok && yyjson_mut_obj_add_null(doc, obj, "artworkURL");
  // Always a real, so that 100 seconds print as 100.0.
  ok = ok && yyjson_mut_obj_add_real(doc, obj, "duration", t->duration);
  return ok;
}

yyjson_mut_val *new_root_object(yyjson_mut_doc *doc) {
  if (doc == nullptr) return nullptr;
  yyjson_mut_val *root = yyjson_mut_obj(doc);
  if (root != nullptr) yyjson_mut_doc_set_root(doc, root);
  return root;
}

char *write_compact(const yyjson_mut_doc *doc) {
  return yyjson_mut_write_opts(doc, 0, nullptr, nullptr, nullptr);
}

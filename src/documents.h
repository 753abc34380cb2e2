// The JSON documents: the output form of one track, shared by the state document.
// Internal to the library.
#pragma once

#include <yyjson.h>

#include "model.h"

// Appends the members of `t` to the empty object `obj` of `doc`, in the order
// streamURL, title, artist, artworkURL (null when the track has none), duration.
// The strings of `t` are referred to, not copied, so the document must be written
// before `t` changes or is freed. Returns false when `doc` or `obj` is unusable or a
// member could not be allocated; the caller then drops the whole document rather
// than hand out a partial one.
[[nodiscard]] bool add_track_to_json(yyjson_mut_doc *doc, yyjson_mut_val *obj, const track *t);

// Frees a document under construction at the end of its scope, on every path.
struct mut_doc_guard {
  yyjson_mut_doc *doc;
  mut_doc_guard() : doc(yyjson_mut_doc_new(nullptr)) {}
  ~mut_doc_guard() { yyjson_mut_doc_free(doc); }
  mut_doc_guard(const mut_doc_guard &) = delete;
  mut_doc_guard &operator=(const mut_doc_guard &) = delete;
};

// A new empty object made the root of `doc`, or null when it could not be allocated.
yyjson_mut_val *new_root_object(yyjson_mut_doc *doc);

// The compact text of `doc`, allocated with malloc for pbq_free; null when memory ran
// out.
char *write_compact(const yyjson_mut_doc *doc);

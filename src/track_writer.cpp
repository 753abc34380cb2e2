// The track writer: the output form of one track record, and the yyjson helpers of
// the resume document.
#include "documents.h"

char *put_track_object(char *out, const track_rec &rec) {
  out = put_literal(out, "{\"streamURL\":");
  out = put_string(out, rec.stream_url, rec.stream_url_len, (rec.flags & rec_plain_stream_url) != 0);
  out = put_literal(out, ",\"title\":");
  out = put_string(out, rec.title, rec.title_len, (rec.flags & rec_plain_title) != 0);
  out = put_literal(out, ",\"artist\":");
  out = put_string(out, rec.artist, rec.artist_len, (rec.flags & rec_plain_artist) != 0);
  out = put_literal(out, ",\"artworkURL\":");
  // A track without artwork says so with null, never by leaving the member out.
  if (rec.artwork_url != nullptr) {
    out = put_string(out, rec.artwork_url, rec.artwork_url_len, (rec.flags & rec_plain_artwork) != 0);
  } else {
    out = put_literal(out, "null");
  }
  // Always a real, so that 100 seconds print as 100.0.
  out = put_literal(out, ",\"duration\":");
  out = put_real(out, rec.duration);
  *out++ = '}';
  return out;
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

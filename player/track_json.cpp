// Track JSON written through yyjson, so that any title is escaped as JSON needs.
#include "track_json.h"

#include <yyjson.h>

#include <cstdlib>

namespace player {

std::string track_json(std::string_view url, std::string_view title, std::string_view artist, double duration) {
  yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
  if (doc == nullptr) return std::string();
  yyjson_mut_val *track = yyjson_mut_obj(doc);
  yyjson_mut_doc_set_root(doc, track);
  yyjson_mut_obj_add_strn(doc, track, "streamURL", url.data(), url.size());
  if (!title.empty()) yyjson_mut_obj_add_strn(doc, track, "title", title.data(), title.size());
  if (!artist.empty()) yyjson_mut_obj_add_strn(doc, track, "artist", artist.data(), artist.size());
  if (duration > 0.0) yyjson_mut_obj_add_real(doc, track, "duration", duration);
  size_t length = 0;
  char *text = yyjson_mut_write(doc, 0, &length);
  std::string out = text != nullptr ? std::string(text, length) : std::string();
  std::free(text);
  yyjson_mut_doc_free(doc);
  return out;
}

}  // namespace player

// Every member before "queue" is a scalar or the current track, so the text up to
// it, closed, is a document of its own.
#include "queue_head.h"

#include <yyjson.h>

#include <string_view>

namespace player {

namespace {

std::string text_of(yyjson_val *object, const char *key) {
  yyjson_val *v = yyjson_obj_get(object, key);
  return yyjson_is_str(v) ? std::string(yyjson_get_str(v), yyjson_get_len(v)) : std::string();
}

}  // namespace

std::optional<queue_head> read_head(const pbq::queue &q) {
  char *doc_text = pbq_state_json(q.get());
  if (doc_text == nullptr) return std::nullopt;
  std::string_view text(doc_text);
  size_t end = text.find(",\"queue\":");
  std::string head(text.substr(0, end));
  pbq_free(doc_text);
  if (end == std::string_view::npos) return std::nullopt;
  head += '}';
  yyjson_doc *doc = yyjson_read(head.data(), head.size(), 0);
  yyjson_val *root = yyjson_doc_get_root(doc);
  if (!yyjson_is_obj(root)) {
    yyjson_doc_free(doc);
    return std::nullopt;
  }
  queue_head h;
  h.current = yyjson_get_sint(yyjson_obj_get(root, "currentIndex"));
  h.count = yyjson_get_uint(yyjson_obj_get(root, "queueCount"));
  h.shuffled = yyjson_get_bool(yyjson_obj_get(root, "isShuffled"));
  yyjson_val *track = yyjson_obj_get(root, "currentTrack");
  if (yyjson_is_obj(track)) {
    cli::track_info t;
    t.url = text_of(track, "streamURL");
    t.title = text_of(track, "title");
    t.artist = text_of(track, "artist");
    yyjson_val *duration = yyjson_obj_get(track, "duration");
    t.duration = yyjson_is_num(duration) ? yyjson_get_num(duration) : 0.0;
    h.track = std::move(t);
  }
  yyjson_doc_free(doc);
  return h;
}

}  // namespace player

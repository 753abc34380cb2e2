// The light read of the state document. The text is walked only as far as the
// entries asked for, and only to find where values begin and end: strings are
// skipped with their escapes, brackets counted outside them. What is shown is then
// parsed by yyjson from its own piece of text: the part before "queue" (closed as
// a document with an empty queue) and each entry asked for.
#include "state_text.h"

#include <yyjson.h>

#include <algorithm>
#include <cstring>

namespace cli {

namespace {

// Past the string whose opening quote is at `p`; null when the text ends inside
// it. A backslash always escapes exactly the character after it (\" \\ \u...).
const char *after_string(const char *p) {
  for (++p;; ++p) {
    char c = *p;
    if (c == '"') return p + 1;
    if (c == '\\') {
      if (*++p == '\0') return nullptr;
    } else if (c == '\0') {
      return nullptr;
    }
  }
}

// The first bracket at or after `p` outside strings; null when the text ends first.
const char *next_bracket(const char *p) {
  while (true) {
    switch (*p) {
      case '"':
        p = after_string(p);
        if (p == nullptr) return nullptr;
        continue;
      case '{':
      case '[':
      case '}':
      case ']':
        return p;
      case '\0':
        return nullptr;
      default:
        ++p;
    }
  }
}

// Past the JSON value that starts at `p` (no blank before it); null when the
// text ends first.
const char *after_value(const char *p) {
  if (*p == '"') return after_string(p);
  if (*p != '{' && *p != '[') {
    while (*p != '\0' && *p != ',' && *p != ']' && *p != '}') ++p;  // a number, true, false, null
    return *p == '\0' ? nullptr : p;
  }
  int64_t depth = 0;
  for (p = next_bracket(p); p != nullptr; p = next_bracket(p + 1)) {
    if (*p == '{' || *p == '[') depth++;
    else if (--depth == 0) return p + 1;
  }
  return nullptr;
}

const char *skip_blanks(const char *p) {
  while (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t') ++p;
  return p;
}

// Just inside the '[' of the root object's array member (the only one, "queue"),
// or null.
const char *queue_start(const char *p) {
  int64_t depth = 0;
  for (p = next_bracket(p); p != nullptr; p = next_bracket(p + 1)) {
    if (*p == '[' && depth == 1) return p + 1;
    if (*p == '{' || *p == '[') depth++;
    else depth--;
  }
  return nullptr;
}

std::string string_member(yyjson_val *obj, const char *key) {
  yyjson_val *v = yyjson_obj_get(obj, key);
  return yyjson_is_str(v) ? std::string(yyjson_get_str(v), yyjson_get_len(v)) : std::string();
}

track_info read_track(yyjson_val *obj) {
  track_info t;
  t.url = string_member(obj, "streamURL");
  t.title = string_member(obj, "title");
  t.artist = string_member(obj, "artist");
  t.artwork = string_member(obj, "artworkURL");
  t.duration = yyjson_get_num(yyjson_obj_get(obj, "duration"));
  return t;
}

}  // namespace

track_info read_track_text(std::string_view json) {
  yyjson_doc *doc = yyjson_read(json.data(), json.size(), 0);
  track_info t = read_track(yyjson_doc_get_root(doc));
  yyjson_doc_free(doc);
  return t;
}

state_text state_text::of(const pbq_queue *q) {
  state_text s;
  s.owned_.reset(pbq_state_json(q));
  s.text_ = s.owned_.get();
  if (s.text_ != nullptr) s.read_head();
  return s;
}

state_text state_text::parse(std::string_view json) {
  state_text s;
  s.copied_ = std::make_unique<char[]>(json.size() + 1);
  std::memcpy(s.copied_.get(), json.data(), json.size());
  s.copied_[json.size()] = '\0';
  s.text_ = s.copied_.get();
  s.read_head();
  return s;
}

std::string_view state_text::text() const { return text_ != nullptr ? std::string_view(text_) : std::string_view(); }

void state_text::read_head() {
  queue_ = queue_start(text_);
  // The members before the queue, closed as a document whose queue is empty.
  std::string head_text = queue_ != nullptr ? std::string(text_, static_cast<size_t>(queue_ - 1 - text_)) + "[]}"
                                            : std::string(text_);
  yyjson_doc *doc = yyjson_read(head_text.data(), head_text.size(), 0);
  yyjson_val *root = yyjson_doc_get_root(doc);
  ok_ = yyjson_is_obj(root);
  if (!ok_) queue_ = nullptr;
  if (ok_) {
    head_.current = yyjson_get_sint(yyjson_obj_get(root, "currentIndex"));
    head_.count = yyjson_get_uint(yyjson_obj_get(root, "queueCount"));
    head_.up_next = yyjson_get_uint(yyjson_obj_get(root, "upNextCount"));
    head_.repeat = yyjson_get_sint(yyjson_obj_get(root, "repeatMode"));
    head_.shuffled = yyjson_get_bool(yyjson_obj_get(root, "isShuffled"));
    head_.rate = yyjson_get_num(yyjson_obj_get(root, "playbackRate"));
    head_.sleep = yyjson_get_sint(yyjson_obj_get(root, "sleepMode"));
    head_.has_next = yyjson_get_bool(yyjson_obj_get(root, "hasNext"));
    head_.has_previous = yyjson_get_bool(yyjson_obj_get(root, "hasPrevious"));
    yyjson_val *current = yyjson_obj_get(root, "currentTrack");
    if (yyjson_is_obj(current)) head_.current_track = read_track(current);
  }
  yyjson_doc_free(doc);
  cursor_ = nullptr;
}

std::optional<std::string_view> state_text::entry_text(int64_t index) {
  if (queue_ == nullptr || index < 0) return std::nullopt;
  if (cursor_ == nullptr) {
    cursor_ = skip_blanks(queue_);
    cursor_index_ = 0;
    checkpoints_.assign(1, cursor_);
  }
  if (index < cursor_index_) {
    auto checkpoint = std::min(static_cast<size_t>(index / k_checkpoint_every), checkpoints_.size() - 1);
    cursor_ = checkpoints_[checkpoint];
    cursor_index_ = static_cast<int64_t>(checkpoint) * k_checkpoint_every;
  }
  while (cursor_index_ < index) {
    if (*cursor_ == ']' || *cursor_ == '\0') return std::nullopt;
    const char *end = after_value(cursor_);
    if (end == nullptr) return std::nullopt;
    end = skip_blanks(end);
    if (*end == ',') end = skip_blanks(end + 1);
    cursor_ = end;
    cursor_index_++;
    if (cursor_index_ % k_checkpoint_every == 0 &&
        checkpoints_.size() == static_cast<size_t>(cursor_index_ / k_checkpoint_every)) {
      checkpoints_.push_back(cursor_);
    }
  }
  if (*cursor_ == ']' || *cursor_ == '\0') return std::nullopt;
  const char *end = after_value(cursor_);
  if (end == nullptr) return std::nullopt;
  return std::string_view(cursor_, static_cast<size_t>(end - cursor_));
}

std::optional<track_info> state_text::entry(int64_t index) {
  std::optional<std::string_view> text = entry_text(index);
  if (!text) return std::nullopt;
  return read_track_text(*text);
}

}  // namespace cli

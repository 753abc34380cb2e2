// The track reader: one JSON track object into a track record.
#include <cmath>
#include <cstring>
#include <string_view>

#include "model.h"

namespace {

using std::string_view;

constexpr string_view k_stream_url_key = "streamURL";
constexpr string_view k_id_key = "id";
constexpr string_view k_title_key = "title";
constexpr string_view k_artist_key = "artist";
constexpr string_view k_artwork_key = "artworkURL";
constexpr string_view k_duration_key = "duration";

// The first member of each key the reader knows; later duplicates are ignored,
// whatever their type.
struct track_members {
  yyjson_val *stream_url = nullptr;
  yyjson_val *id = nullptr;
  yyjson_val *title = nullptr;
  yyjson_val *artist = nullptr;
  yyjson_val *artwork = nullptr;
  yyjson_val *duration = nullptr;
};

void keep_first(yyjson_val **slot, yyjson_val *value) {
  if (*slot == nullptr) *slot = value;
}

// The slot of the member named `name`, or null for a name the reader ignores. The
// length picks the one key to compare with; names are decoded bytes with their full
// length, so a name with an escaped NUL never matches a shorter key.
yyjson_val **slot_for(track_members *m, const char *name, size_t length) {
  // A constant length lets the compiler compare in a few loads.
  auto is = [name](string_view key) { return memcmp(name, key.data(), key.size()) == 0; };
  switch (length) {
    case k_id_key.size(): return is(k_id_key) ? &m->id : nullptr;
    case k_title_key.size(): return is(k_title_key) ? &m->title : nullptr;
    case k_artist_key.size(): return is(k_artist_key) ? &m->artist : nullptr;
    case k_duration_key.size(): return is(k_duration_key) ? &m->duration : nullptr;
    case k_stream_url_key.size(): return is(k_stream_url_key) ? &m->stream_url : nullptr;
    case k_artwork_key.size(): return is(k_artwork_key) ? &m->artwork : nullptr;
    default: return nullptr;
  }
}

track_members find_members(yyjson_val *obj) {
  track_members m;
  // Keys and values alternate in document order; the object is known to be one.
  size_t count = unsafe_yyjson_get_len(obj);
  yyjson_val *key = unsafe_yyjson_get_first(obj);
  for (size_t i = 0; i < count; i++) {
    yyjson_val *value = key + 1;
    yyjson_val **slot = slot_for(&m, unsafe_yyjson_get_str(key), unsafe_yyjson_get_len(key));
    if (slot != nullptr) keep_first(slot, value);
    key = unsafe_yyjson_get_next(value);
  }
  return m;
}

bool plain(yyjson_val *str) {
  // The reader marks strings written without escape sequences: such a string holds
  // nothing that JSON output must escape, and no NUL.
  return (yyjson_get_tag(str) & YYJSON_SUBTYPE_MASK) == YYJSON_SUBTYPE_NOESC;
}

bool holds_nul(yyjson_val *str) {
  return !plain(str) && memchr(yyjson_get_str(str), '\0', yyjson_get_len(str)) != nullptr;
}

// The address of an object's members: "streamURL", else "id" when "streamURL" is
// missing or not a string. An empty "streamURL" string, or one holding a NUL, does
// not fall back: it makes the track unusable.
yyjson_val *choose_address(const track_members &m) {
  yyjson_val *chosen = yyjson_is_str(m.stream_url) ? m.stream_url : m.id;
  if (!yyjson_is_str(chosen)) return nullptr;
  // A NUL would let a stored, NUL-terminated address differ from the one sent.
  if (yyjson_get_len(chosen) == 0 || holds_nul(chosen)) return nullptr;
  return chosen;
}

// Lengths are kept in 32 bits; a longer string cannot be a track's.
constexpr size_t k_max_string = UINT32_MAX;


// Title and artist: the string up to its first NUL, or "" when not a string.
void read_label(yyjson_val *value, const char **text, uint32_t *length, bool *plain_text) {
  if (!yyjson_is_str(value)) {
    *text = "";
    *length = 0;
    *plain_text = true;
    return;
  }
  const char *s = yyjson_get_str(value);
  size_t n = yyjson_get_len(value);
  const void *nul = plain(value) ? nullptr : memchr(s, '\0', n);
  if (nul != nullptr) n = static_cast<size_t>(static_cast<const char *>(nul) - s);
  *text = s;
  *length = static_cast<uint32_t>(n);
  *plain_text = plain(value);
}

double read_duration(yyjson_val *value) {
  double seconds = 0.0;
  if (yyjson_is_uint(value)) seconds = static_cast<double>(yyjson_get_uint(value));
  else if (yyjson_is_sint(value)) seconds = static_cast<double>(yyjson_get_sint(value));
  else if (yyjson_is_real(value)) seconds = yyjson_get_real(value);
  // Zero, negatives, infinities and NaN all mean "unknown".
  // yyjson reads no infinity or NaN (it refuses 1e400), so that side stays untaken.
  return std::isfinite(seconds) && seconds > 0.0 ? seconds : 0.0;  // GCOVR_EXCL_LINE
}

}  // namespace

bool track_address(yyjson_val *val, const char **address, size_t *length) {
  if (!yyjson_is_obj(val) || yyjson_obj_size(val) == 0) return false;
  yyjson_val *chosen = choose_address(find_members(val));
  if (chosen == nullptr) return false;
  *address = yyjson_get_str(chosen);
  *length = yyjson_get_len(chosen);
  return true;
}

read_result parse_track_val(yyjson_val *val, track_rec *out) {
  *out = track_rec{};
  if (!yyjson_is_obj(val) || yyjson_obj_size(val) == 0) return read_rejected;
  track_members m = find_members(val);
  yyjson_val *address = choose_address(m);
  if (address == nullptr) return read_rejected;
  // GCOVR_EXCL_START unreachable in a test: a string of 4 GiB
  if (yyjson_get_len(address) > k_max_string || (yyjson_is_str(m.title) && yyjson_get_len(m.title) > k_max_string) ||
      (yyjson_is_str(m.artist) && yyjson_get_len(m.artist) > k_max_string) ||
      (yyjson_is_str(m.artwork) && yyjson_get_len(m.artwork) > k_max_string)) {
    return read_too_long;
  }
  // GCOVR_EXCL_STOP

  track_rec t{};
  t.stream_url = yyjson_get_str(address);
  t.stream_url_len = static_cast<uint32_t>(yyjson_get_len(address));
  bool plain_title, plain_artist;
  read_label(m.title, &t.title, &t.title_len, &plain_title);
  read_label(m.artist, &t.artist, &t.artist_len, &plain_artist);
  bool has_artwork = yyjson_is_str(m.artwork) && yyjson_get_len(m.artwork) > 0 && !holds_nul(m.artwork);
  if (has_artwork) {
    t.artwork_url = yyjson_get_str(m.artwork);
    t.artwork_url_len = static_cast<uint32_t>(yyjson_get_len(m.artwork));
  }
  t.duration = read_duration(m.duration);
  t.flags = (plain(address) ? rec_plain_stream_url : 0) | (plain_title ? rec_plain_title : 0) |
            (plain_artist ? rec_plain_artist : 0) | (!has_artwork || plain(m.artwork) ? rec_plain_artwork : 0);
  *out = t;
  return read_ok;
}

yyjson_doc *read_json(const char *text, bool *no_memory) {
  yyjson_read_err err{};
  // Without YYJSON_READ_INSITU the text is only read, never written.
  yyjson_doc *doc = yyjson_read_opts(const_cast<char *>(text), strlen(text), 0, nullptr, &err);
  *no_memory = doc == nullptr && err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION;
  return doc;
}

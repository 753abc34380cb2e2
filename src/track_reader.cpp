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

// Keeps `value` as the member `name` names when it is a known key's first. The length
// picks the one key to compare with (a constant length compares in a few loads);
// names are decoded bytes with their full length, so a name with an escaped NUL never
// matches a shorter key.
inline void keep_if_known(track_members *m, const char *name, size_t length, yyjson_val *value) {
  auto keep = [&](string_view key, yyjson_val **slot) {
    if (*slot == nullptr && memcmp(name, key.data(), key.size()) == 0) *slot = value;
  };
  switch (length) {
    case k_id_key.size(): keep(k_id_key, &m->id); break;
    case k_title_key.size(): keep(k_title_key, &m->title); break;
    case k_artist_key.size(): keep(k_artist_key, &m->artist); break;
    case k_duration_key.size(): keep(k_duration_key, &m->duration); break;
    case k_stream_url_key.size(): keep(k_stream_url_key, &m->stream_url); break;
    case k_artwork_key.size(): keep(k_artwork_key, &m->artwork); break;
    default: break;
  }
}

inline track_members find_members(yyjson_val *obj) {
  track_members m;
  // Keys and values alternate in document order; the object is known to be one.
  size_t count = unsafe_yyjson_get_len(obj);
  yyjson_val *key = unsafe_yyjson_get_first(obj);
  for (size_t i = 0; i < count; i++) {
    yyjson_val *value = key + 1;
    keep_if_known(&m, unsafe_yyjson_get_str(key), unsafe_yyjson_get_len(key), value);
    key = unsafe_yyjson_get_next(value);
  }
  return m;
}

// Both take a string value.
inline bool plain(yyjson_val *str) {
  // The reader marks strings written without escape sequences: such a string holds
  // nothing that JSON output must escape, and no NUL.
  return (unsafe_yyjson_get_tag(str) & YYJSON_SUBTYPE_MASK) == YYJSON_SUBTYPE_NOESC;
}

inline bool holds_nul(yyjson_val *str) {
  return !plain(str) && memchr(unsafe_yyjson_get_str(str), '\0', unsafe_yyjson_get_len(str)) != nullptr;
}

// The address of an object's members: "streamURL", else "id" when "streamURL" is
// missing or not a string. An empty "streamURL" string, or one holding a NUL, does
// not fall back: it makes the track unusable.
yyjson_val *choose_address(const track_members &m) {
  yyjson_val *chosen = yyjson_is_str(m.stream_url) ? m.stream_url : m.id;
  if (!yyjson_is_str(chosen)) return nullptr;
  // A NUL would let a stored, NUL-terminated address differ from the one sent.
  if (unsafe_yyjson_get_len(chosen) == 0 || holds_nul(chosen)) return nullptr;
  return chosen;
}

// Lengths are kept in 32 bits; a longer string cannot be a track's.
constexpr size_t k_max_string = UINT32_MAX;

// Title and artist: the string up to its first NUL, or "" when not a string.
struct label {
  const char *text;
  uint32_t length;
  bool plain;
};

inline label read_label(yyjson_val *value) {
  if (!yyjson_is_str(value)) return {"", 0, true};
  const char *s = unsafe_yyjson_get_str(value);
  size_t n = unsafe_yyjson_get_len(value);
  if (plain(value)) return {s, static_cast<uint32_t>(n), true};
  if (const void *nul = memchr(s, '\0', n)) n = static_cast<size_t>(static_cast<const char *>(nul) - s);
  return {s, static_cast<uint32_t>(n), false};
}

inline double read_duration(yyjson_val *value) {
  if (value == nullptr) return 0.0;
  double seconds = 0.0;
  switch (unsafe_yyjson_get_tag(value)) {
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_UINT: seconds = static_cast<double>(unsafe_yyjson_get_uint(value)); break;
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_SINT: seconds = static_cast<double>(unsafe_yyjson_get_sint(value)); break;
    case YYJSON_TYPE_NUM | YYJSON_SUBTYPE_REAL: seconds = unsafe_yyjson_get_real(value); break;
    default: break;
  }
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
  if (!yyjson_is_obj(val) || unsafe_yyjson_get_len(val) == 0) {
    *out = track_rec{};
    return read_rejected;
  }
  track_members m = find_members(val);
  yyjson_val *address = choose_address(m);
  if (address == nullptr) {
    *out = track_rec{};
    return read_rejected;
  }
  // GCOVR_EXCL_START unreachable in a test: a string of 4 GiB
  if (unsafe_yyjson_get_len(address) > k_max_string ||
      (yyjson_is_str(m.title) && unsafe_yyjson_get_len(m.title) > k_max_string) ||
      (yyjson_is_str(m.artist) && unsafe_yyjson_get_len(m.artist) > k_max_string) ||
      (yyjson_is_str(m.artwork) && unsafe_yyjson_get_len(m.artwork) > k_max_string)) {
    *out = track_rec{};
    return read_too_long;
  }
  // GCOVR_EXCL_STOP

  // Every field is written, straight into the caller's record.
  label title = read_label(m.title);
  label artist = read_label(m.artist);
  bool has_artwork = yyjson_is_str(m.artwork) && unsafe_yyjson_get_len(m.artwork) > 0 && !holds_nul(m.artwork);
  out->stream_url = unsafe_yyjson_get_str(address);
  out->title = title.text;
  out->artist = artist.text;
  out->artwork_url = has_artwork ? unsafe_yyjson_get_str(m.artwork) : nullptr;
  out->stream_url_len = static_cast<uint32_t>(unsafe_yyjson_get_len(address));
  out->title_len = title.length;
  out->artist_len = artist.length;
  out->artwork_url_len = has_artwork ? static_cast<uint32_t>(unsafe_yyjson_get_len(m.artwork)) : 0;
  out->duration = read_duration(m.duration);
  out->spare = 0;
  out->flags = (plain(address) ? rec_plain_stream_url : 0) | (title.plain ? rec_plain_title : 0) |
               (artist.plain ? rec_plain_artist : 0) | (!has_artwork || plain(m.artwork) ? rec_plain_artwork : 0);
  return read_ok;
}

yyjson_doc *read_json(const char *text, bool *no_memory) {
  yyjson_read_err err{};
  // Without YYJSON_READ_INSITU the text is only read, never written.
  yyjson_doc *doc = yyjson_read_opts(const_cast<char *>(text), strlen(text), 0, nullptr, &err);
  *no_memory = doc == nullptr && err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION;
  return doc;
}

/* The state document read lightly, for the bindings' native parts (the Node addon, the
 * JNI glue): the members before "queue" without reading the queue, and queue entries by
 * index without parsing any of them.
 *
 * The library writes the document's members in a fixed order, every scalar and
 * "currentTrack" before "queue", so the prefix costs the length of the current track,
 * not of the queue. Queue entries are flat track objects written compactly, so an entry
 * starts wherever `{"` is followed by a key's first character: inside a string every
 * quotation mark is escaped, so a `{"` there can only end the string, and then `,`, `:`,
 * `}` or `]` follows. memchr finds each `{` at once; the entries are indexed only as far
 * as a read needs them. */
#ifndef PBQ_STATE_VIEW_H
#define PBQ_STATE_VIEW_H

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

/* One state document and what is known of its queue. */
typedef struct {
  char *text;          /* the document, from pbq_state_json: released with pbq_free */
  size_t length;
  size_t prefix_end;   /* the ',' before "queue": text[0, prefix_end) + "}" is the prefix */
  size_t queue_end;    /* the queue's closing ']' */
  uint64_t count;      /* "queueCount" */
  size_t *starts;      /* starts[i]: the '{' of entry i, for i < indexed */
  uint64_t indexed;
  uint64_t capacity;
  size_t scan_from;    /* where the search for the next entry goes on */
} sv_doc;

/* The end of the string whose opening quote is at `at`: just after its closing quote. */
static inline size_t sv_skip_string(const char *text, size_t length, size_t at) {
  size_t i = at + 1;
  while (i < length && text[i] != '"') i += text[i] == '\\' ? 2 : 1;
  return i + 1;
}

/* The end of the value that starts at `at` (a string, an object, an array or a literal). */
static inline size_t sv_skip_value(const char *text, size_t length, size_t at) {
  if (at >= length) return length;
  if (text[at] == '"') return sv_skip_string(text, length, at);
  if (text[at] == '{' || text[at] == '[') {
    size_t depth = 0, i = at;
    while (i < length) {
      char c = text[i];
      if (c == '"') {
        i = sv_skip_string(text, length, i);
        continue;
      }
      if (c == '{' || c == '[') depth++;
      if ((c == '}' || c == ']') && --depth == 0) return i + 1;
      i++;
    }
    return length;
  }
  size_t i = at;
  while (i < length && text[i] != ',' && text[i] != '}' && text[i] != ']') i++;
  return i;
}

/* Where the value of member `key` of the object at `object` starts. Keys are compared
 * as written (the library's keys have no escapes); the members before it are skipped,
 * the value itself is not read. */
static inline int sv_member(const char *text, size_t length, size_t object, const char *key, size_t *start) {
  size_t key_length = strlen(key);
  if (object >= length || text[object] != '{') return 0;
  size_t i = object + 1;
  while (i < length && text[i] == '"') {
    size_t key_end = sv_skip_string(text, length, i);
    size_t value = key_end + 1; /* past the ':' */
    if (value >= length) return 0;
    if (key_end - i - 2 == key_length && memcmp(text + i + 1, key, key_length) == 0) {
      *start = value;
      return 1;
    }
    size_t value_end = sv_skip_value(text, length, value);
    if (value_end >= length || text[value_end] != ',') return 0;
    i = value_end + 1;
  }
  return 0;
}

/* Takes the document `text` (never null): finds the prefix and the queue. Returns 0 when
 * the text is not a state document; the caller still owns and frees the text then. */
static inline int sv_open(sv_doc *d, char *text) {
  memset(d, 0, sizeof *d);
  d->text = text;
  d->length = strlen(text);
  size_t start;
  /* "queue" is the last member: its array ends just before the document's '}'. */
  if (!sv_member(text, d->length, 0, "queue", &start) || text[start] != '[' || d->length < start + 3 ||
      text[d->length - 1] != '}' || text[d->length - 2] != ']')
    return 0;
  d->prefix_end = start - (sizeof "\"queue\":" - 1) - 1;
  d->queue_end = d->length - 2;
  d->scan_from = start + 1;
  if (!sv_member(text, d->length, 0, "queueCount", &start)) return 0;
  d->count = strtoull(text + start, NULL, 10);
  return 1;
}

static inline void sv_close(sv_doc *d) {
  free(d->starts);
  d->starts = NULL;
  d->indexed = d->capacity = 0;
}

/* Indexes the entries up to entry `want` (or to the end). Returns 0 without memory. */
static inline int sv_index_to(sv_doc *d, uint64_t want) {
  while (d->indexed <= want && d->scan_from < d->queue_end) {
    const char *hit = memchr(d->text + d->scan_from, '{', d->queue_end - d->scan_from);
    if (hit == NULL) {
      d->scan_from = d->queue_end;
      break;
    }
    size_t at = (size_t)(hit - d->text);
    d->scan_from = at + 1;
    char after = hit[2];
    if (hit[1] != '"' || after == ',' || after == ':' || after == '}' || after == ']') continue;
    if (d->indexed == d->capacity) {
      uint64_t capacity = d->capacity ? d->capacity * 2 : 1024;
      size_t *grown = realloc(d->starts, capacity * sizeof *grown);
      if (grown == NULL) return 0;
      d->starts = grown;
      d->capacity = capacity;
    }
    d->starts[d->indexed++] = at;
  }
  return 1;
}

/* The text of entries [first, first + n) as they stand in the document, `{...},{...}`,
 * with n >= 1 and first + n <= count. Null without memory or when the document holds
 * fewer entries than it counts. */
static inline const char *sv_entries(sv_doc *d, uint64_t first, uint64_t n, size_t *length) {
  uint64_t last = first + n - 1;
  if (!sv_index_to(d, last + 1) || last >= d->indexed) return NULL;
  size_t end = last + 1 < d->indexed ? d->starts[last + 1] - 1 : d->queue_end;
  *length = end - d->starts[first];
  return d->text + d->starts[first];
}

/* The span of the current track's object, or 0 when it is null. */
static inline int sv_current_track(const sv_doc *d, size_t *start, size_t *end) {
  if (!sv_member(d->text, d->length, 0, "currentTrack", start) || d->text[*start] != '{') return 0;
  *end = sv_skip_value(d->text, d->length, *start);
  return 1;
}

#endif

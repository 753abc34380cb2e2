// The JSON documents: a direct writer of JSON text for the state document, and the
// yyjson helpers of the resume document. Internal to the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <yyjson.h>

#include "model.h"

// The direct writer produces exactly the text yyjson's writer gives for the same
// values with no flags: compact, strings escaped as yyjson escapes them, reals in
// yyjson's shortest form. Each put_ writes at `out`, which has room, and returns the
// end of what it wrote.

// The most a put_real, put_int or put_uint writes.
constexpr size_t k_max_number_text = 32;

char *put_real(char *out, double value);
char *put_int(char *out, int64_t value);
char *put_uint(char *out, uint64_t value);

// A JSON string with its quotes. A `plain` string is copied as it is; the rest is
// escaped (at most 6 bytes a byte).
char *put_string(char *out, const char *s, size_t length, bool plain);

template <size_t N>
char *put_literal(char *out, const char (&text)[N]) {
  memcpy(out, text, N - 1);
  return out + N - 1;
}

// The output form of one track: {"streamURL":...,"title":...,"artist":...,
// "artworkURL":... or null,"duration":...}. Writes at most record_text_bound(rec)
// bytes.
char *put_track_object(char *out, const track_rec &rec);

// Frees a yyjson document under construction at the end of its scope, on every path.
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

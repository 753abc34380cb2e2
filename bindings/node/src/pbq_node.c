/* The Node-API addon behind the pbq package: one function per C call, the handle held
 * in an external whose finalizer frees it if the host never called close().
 *
 * Numbers are converted here with the library's ranges in mind: Node-API's int32
 * conversion wraps (2**32 would become entry 0), so indices are clamped instead, and
 * 64-bit seeds and clock values take a BigInt or a safe integer, never a rounded one.
 * Every document is copied into a JS string and freed with pbq_free on every path. */
#define NAPI_VERSION 8
#include <node_api.h>

#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <pbq.h>

#include "state_view.h"

/* The external's data: the handle, null once closed. */
typedef struct {
  pbq_queue *q;
} box;

#define MAX_ARGS 4
#define SMALL_TEXT 4096

/* Throws a JS error unless the status is napi_ok; returns whether it was. */
static int ok(napi_env env, napi_status status) {
  if (status == napi_ok) return 1;
  bool pending = false;
  napi_is_exception_pending(env, &pending);
  if (pending) return 0;
  switch (status) {
    case napi_number_expected: napi_throw_type_error(env, NULL, "pbq: a number was expected"); break;
    case napi_string_expected: napi_throw_type_error(env, NULL, "pbq: a string was expected"); break;
    case napi_boolean_expected: napi_throw_type_error(env, NULL, "pbq: a boolean was expected"); break;
    case napi_invalid_arg: napi_throw_type_error(env, NULL, "pbq: not a queue handle"); break;
    default: napi_throw_error(env, NULL, "pbq: Node-API call failed"); break;
  }
  return 0;
}

static napi_value make_int(napi_env env, int32_t v) {
  napi_value out = NULL;
  napi_create_int32(env, v, &out);
  return out;
}

static napi_value make_null(napi_env env) {
  napi_value out = NULL;
  napi_get_null(env, &out);
  return out;
}

/* The call's arguments; argv[0] is the handle for calls on a queue. */
static int args(napi_env env, napi_callback_info info, size_t want, napi_value *argv) {
  size_t argc = MAX_ARGS;
  napi_value all[MAX_ARGS];
  if (!ok(env, napi_get_cb_info(env, info, &argc, all, NULL, NULL))) return 0;
  if (argc < want) {
    napi_throw_type_error(env, NULL, "pbq: missing argument");
    return 0;
  }
  memcpy(argv, all, want * sizeof(napi_value));
  return 1;
}

/* The data of the call's one argument, an external of this addon (a queue's or a view's). */
static int external_arg(napi_env env, napi_callback_info info, void **data) {
  napi_value argv[1];
  return args(env, info, 1, argv) && ok(env, napi_get_value_external(env, argv[0], data));
}

static int handle_arg(napi_env env, napi_value v, pbq_queue **q) {
  void *data = NULL;
  if (!ok(env, napi_get_value_external(env, v, &data))) return 0;
  *q = ((box *)data)->q;
  return 1;
}

/* An index: truncated toward zero and clamped into int32 (NaN reads as -1, which every
 * index refuses and a start index clamps to 0). */
static int i32_arg(napi_env env, napi_value v, int32_t *out) {
  double d = 0;
  if (!ok(env, napi_get_value_double(env, v, &d))) return 0;
  if (isnan(d)) *out = -1;
  else if (d <= (double)INT32_MIN) *out = INT32_MIN;
  else if (d >= (double)INT32_MAX) *out = INT32_MAX;
  else *out = (int32_t)d;
  return 1;
}

static int f64_arg(napi_env env, napi_value v, double *out) {
  return ok(env, napi_get_value_double(env, v, out));
}

/* A 64-bit value: a BigInt in range, or a Number that is a safe integer. */
static int i64_arg(napi_env env, napi_value v, int is_unsigned, uint64_t *out) {
  napi_valuetype type;
  if (!ok(env, napi_typeof(env, v, &type))) return 0;
  if (type == napi_bigint) {
    bool lossless = false;
    if (is_unsigned) {
      if (!ok(env, napi_get_value_bigint_uint64(env, v, out, &lossless))) return 0;
    } else {
      int64_t s = 0;
      if (!ok(env, napi_get_value_bigint_int64(env, v, &s, &lossless))) return 0;
      *out = (uint64_t)s;
    }
    if (!lossless) {
      napi_throw_range_error(env, NULL, is_unsigned ? "pbq: seed must be in [0, 2n**64n)"
                                                    : "pbq: value does not fit in int64");
      return 0;
    }
    return 1;
  }
  double d = 0;
  if (!ok(env, napi_get_value_double(env, v, &d))) return 0;
  if (!(d == floor(d) && fabs(d) <= 9007199254740991.0) || (is_unsigned && d < 0)) {
    napi_throw_range_error(env, NULL, is_unsigned
                                          ? "pbq: a seed is a non-negative safe integer or a BigInt"
                                          : "pbq: a clock value is a safe integer or a BigInt");
    return 0;
  }
  *out = is_unsigned ? (uint64_t)d : (uint64_t)(int64_t)d;
  return 1;
}

/* A JS string as NUL-terminated UTF-8: in `small` when it fits, else on the heap
 * (*text != small: free it). */
static int text_arg(napi_env env, napi_value v, char *small, char **text) {
  size_t length = 0;
  if (!ok(env, napi_get_value_string_utf8(env, v, NULL, 0, &length))) return 0;
  char *buffer = small;
  if (length >= SMALL_TEXT) {
    buffer = malloc(length + 1);
    if (buffer == NULL) {
      napi_throw_error(env, NULL, "out of memory");
      return 0;
    }
  }
  if (!ok(env, napi_get_value_string_utf8(env, v, buffer, length + 1, &length))) {
    if (buffer != small) free(buffer);
    return 0;
  }
  *text = buffer;
  return 1;
}

static void release_text(char *small, char *text) {
  if (text != small) free(text);
}

/* `length` bytes of UTF-8 text (NAPI_AUTO_LENGTH: up to its NUL) as a JS string. */
static napi_value make_text(napi_env env, const char *text, size_t length) {
  napi_value out = NULL;
  return ok(env, napi_create_string_utf8(env, text, length, &out)) ? out : NULL;
}

/* Takes a returned document: a JS string, or null when the library had no memory. */
static napi_value take_document(napi_env env, char *doc) {
  if (doc == NULL) return make_null(env);
  napi_value out = make_text(env, doc, NAPI_AUTO_LENGTH);
  pbq_free(doc);
  return out;
}

/* ---- Library ---------------------------------------------------------------------- */

static napi_value js_version(napi_env env, napi_callback_info info) {
  (void)info;
  napi_value out = NULL;
  napi_create_string_utf8(env, pbq_version(), NAPI_AUTO_LENGTH, &out);
  return out;
}

static napi_value js_abi_version(napi_env env, napi_callback_info info) {
  (void)info;
  return make_int(env, pbq_abi_version());
}

static napi_value js_last_error(napi_env env, napi_callback_info info) {
  (void)info;
  napi_value out = NULL;
  napi_create_string_utf8(env, pbq_last_error(), NAPI_AUTO_LENGTH, &out);
  return out;
}

static napi_value js_selftest(napi_env env, napi_callback_info info) {
  (void)info;
  return make_int(env, pbq_selftest());
}

static void finalize_box(napi_env env, void *data, void *hint) {
  (void)env, (void)hint;
  box *b = data;
  pbq_destroy(b->q);
  free(b);
}

static napi_value js_create(napi_env env, napi_callback_info info) {
  (void)info;
  box *b = malloc(sizeof *b);
  if (b == NULL || (b->q = pbq_create()) == NULL) {
    free(b);
    return make_null(env);
  }
  napi_value out = NULL;
  if (!ok(env, napi_create_external(env, b, finalize_box, NULL, &out))) {
    pbq_destroy(b->q);
    free(b);
    return NULL;
  }
  return out;
}

static napi_value js_destroy(napi_env env, napi_callback_info info) {
  void *data = NULL;
  if (!external_arg(env, info, &data)) return NULL;
  box *b = data;
  pbq_destroy(b->q);
  b->q = NULL;
  return NULL;
}

/* ---- Calls on a handle --------------------------------------------------------------- */

static napi_value js_set_tracks(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  pbq_queue *q;
  int32_t start;
  uint64_t seed;
  char small[SMALL_TEXT], *text;
  if (!args(env, info, 4, argv) || !handle_arg(env, argv[0], &q) || !i32_arg(env, argv[2], &start) ||
      !i64_arg(env, argv[3], 1, &seed) || !text_arg(env, argv[1], small, &text))
    return NULL;
  int32_t r = pbq_set_tracks_json(q, text, start, seed);
  release_text(small, text);
  return make_int(env, r);
}

/* The calls that take only the handle and answer an int32. */
#define HANDLE_ONLY(js_name, c_call)                                   \
  static napi_value js_name(napi_env env, napi_callback_info info) {  \
    napi_value argv[1];                                                \
    pbq_queue *q;                                                      \
    if (!args(env, info, 1, argv) || !handle_arg(env, argv[0], &q))   \
      return NULL;                                                     \
    return make_int(env, c_call(q));                                   \
  }
HANDLE_ONLY(js_next, pbq_next)
HANDLE_ONLY(js_track_ended, pbq_on_track_ended)
HANDLE_ONLY(js_cycle_repeat, pbq_cycle_repeat)
HANDLE_ONLY(js_clear_up_next, pbq_clear_up_next)

/* The calls that take the handle and one int32. */
#define HANDLE_INT(js_name, c_call)                                                       \
  static napi_value js_name(napi_env env, napi_callback_info info) {                     \
    napi_value argv[2];                                                                   \
    pbq_queue *q;                                                                         \
    int32_t v;                                                                            \
    if (!args(env, info, 2, argv) || !handle_arg(env, argv[0], &q) ||                     \
        !i32_arg(env, argv[1], &v))                                                       \
      return NULL;                                                                        \
    return make_int(env, c_call(q, v));                                                   \
  }
HANDLE_INT(js_jump, pbq_jump)
HANDLE_INT(js_set_repeat, pbq_set_repeat)
HANDLE_INT(js_remove_up_next, pbq_remove_up_next)

static napi_value js_previous(napi_env env, napi_callback_info info) {
  napi_value argv[2];
  pbq_queue *q;
  double position;
  if (!args(env, info, 2, argv) || !handle_arg(env, argv[0], &q) || !f64_arg(env, argv[1], &position))
    return NULL;
  return make_int(env, pbq_previous(q, position));
}

static napi_value add_track(napi_env env, napi_callback_info info,
                            int32_t (*add)(pbq_queue *, const char *)) {
  napi_value argv[2];
  pbq_queue *q;
  char small[SMALL_TEXT], *text;
  if (!args(env, info, 2, argv) || !handle_arg(env, argv[0], &q) || !text_arg(env, argv[1], small, &text))
    return NULL;
  int32_t r = add(q, text);
  release_text(small, text);
  return make_int(env, r);
}

static napi_value js_play_next(napi_env env, napi_callback_info info) {
  return add_track(env, info, pbq_play_next_json);
}

static napi_value js_add_to_queue(napi_env env, napi_callback_info info) {
  return add_track(env, info, pbq_add_to_queue_json);
}

static napi_value js_move_up_next(napi_env env, napi_callback_info info) {
  napi_value argv[3];
  pbq_queue *q;
  int32_t from, to;
  if (!args(env, info, 3, argv) || !handle_arg(env, argv[0], &q) || !i32_arg(env, argv[1], &from) ||
      !i32_arg(env, argv[2], &to))
    return NULL;
  return make_int(env, pbq_move_up_next(q, from, to));
}

static napi_value js_set_shuffle(napi_env env, napi_callback_info info) {
  napi_value argv[3];
  pbq_queue *q;
  bool enabled = false;
  uint64_t seed;
  if (!args(env, info, 3, argv) || !handle_arg(env, argv[0], &q) ||
      !ok(env, napi_get_value_bool(env, argv[1], &enabled)) || !i64_arg(env, argv[2], 1, &seed))
    return NULL;
  return make_int(env, pbq_set_shuffle(q, enabled ? 1 : 0, seed));
}

static napi_value js_set_rate(napi_env env, napi_callback_info info) {
  napi_value argv[2];
  pbq_queue *q;
  double rate;
  if (!args(env, info, 2, argv) || !handle_arg(env, argv[0], &q) || !f64_arg(env, argv[1], &rate))
    return NULL;
  napi_value out = NULL;
  napi_create_double(env, (double)pbq_set_rate(q, (float)rate), &out);
  return out;
}

static napi_value js_set_sleep_timer(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  pbq_queue *q;
  int32_t mode;
  uint64_t duration, now;
  if (!args(env, info, 4, argv) || !handle_arg(env, argv[0], &q) || !i32_arg(env, argv[1], &mode) ||
      !i64_arg(env, argv[2], 0, &duration) || !i64_arg(env, argv[3], 0, &now))
    return NULL;
  return make_int(env, pbq_set_sleep_timer(q, mode, (int64_t)duration, (int64_t)now));
}

/* The time left as the kind of number `now` was (BigInt or Number); -1 as null. */
static napi_value js_check_sleep_timer(napi_env env, napi_callback_info info) {
  napi_value argv[2];
  pbq_queue *q;
  uint64_t now;
  napi_valuetype type;
  if (!args(env, info, 2, argv) || !handle_arg(env, argv[0], &q) || !i64_arg(env, argv[1], 0, &now) ||
      !ok(env, napi_typeof(env, argv[1], &type)))
    return NULL;
  int64_t left = pbq_check_sleep_timer(q, (int64_t)now);
  if (left < 0) return make_null(env);
  napi_value out = NULL;
  if (type == napi_bigint) napi_create_bigint_int64(env, left, &out);
  else napi_create_double(env, (double)left, &out);
  return out;
}

static napi_value js_state_json(napi_env env, napi_callback_info info) {
  napi_value argv[1];
  pbq_queue *q;
  if (!args(env, info, 1, argv) || !handle_arg(env, argv[0], &q)) return NULL;
  return take_document(env, pbq_state_json(q));
}

/* ---- The light read: one state document held natively, read in parts ---------------- */

/* Frees the view's document and its index: the view is stale from then on. */
static void view_release(sv_doc *d) {
  if (d->text != NULL) pbq_free(d->text);
  d->text = NULL;
  sv_close(d);
}

static void view_finalize(napi_env env, void *data, void *hint) {
  (void)env, (void)hint;
  view_release(data);
  free(data);
}

/* The view's document, or null (with an error thrown) once it was closed. */
static int view_arg(napi_env env, napi_value v, sv_doc **d) {
  void *data = NULL;
  if (!ok(env, napi_get_value_external(env, v, &data))) return 0;
  *d = data;
  if ((*d)->text == NULL) {
    napi_throw_error(env, NULL, "pbq: this view is stale: the queue has given a newer one or was closed");
    return 0;
  }
  return 1;
}

/* A new state document held in an external: null when the library had no memory. */
static napi_value js_view_open(napi_env env, napi_callback_info info) {
  napi_value argv[1];
  pbq_queue *q;
  if (!args(env, info, 1, argv) || !handle_arg(env, argv[0], &q)) return NULL;
  char *text = pbq_state_json(q);
  if (text == NULL) return make_null(env);
  sv_doc *d = malloc(sizeof *d);
  if (d == NULL || !sv_open(d, text)) {
    free(d);
    pbq_free(text);
    return make_null(env);
  }
  napi_value out = NULL;
  if (!ok(env, napi_create_external(env, d, view_finalize, NULL, &out))) {
    view_finalize(env, d, NULL);
    return NULL;
  }
  return out;
}

/* The members before "queue", as the text of a JSON object less its closing brace. */
static napi_value js_view_prefix(napi_env env, napi_callback_info info) {
  napi_value argv[1];
  sv_doc *d;
  if (!args(env, info, 1, argv) || !view_arg(env, argv[0], &d)) return NULL;
  return make_text(env, d->text, d->prefix_end);
}

/* The text of entries [first, first + n), `{...},{...}`: the caller keeps them within
 * the count. Null when the document lacks them (no memory when it was written). */
static napi_value js_view_entries(napi_env env, napi_callback_info info) {
  napi_value argv[3];
  sv_doc *d;
  double first = 0, n = 0;
  if (!args(env, info, 3, argv) || !view_arg(env, argv[0], &d) ||
      !ok(env, napi_get_value_double(env, argv[1], &first)) || !ok(env, napi_get_value_double(env, argv[2], &n)))
    return NULL;
  size_t length = 0;
  const char *text = sv_entries(d, (uint64_t)first, (uint64_t)n, &length);
  return text == NULL ? make_null(env) : make_text(env, text, length);
}

/* Frees the document now; the external stays, stale. */
static napi_value js_view_close(napi_env env, napi_callback_info info) {
  void *data = NULL;
  if (external_arg(env, info, &data)) view_release(data);
  return NULL;
}

static napi_value js_export_resume(napi_env env, napi_callback_info info) {
  napi_value argv[2];
  pbq_queue *q;
  double position;
  if (!args(env, info, 2, argv) || !handle_arg(env, argv[0], &q) || !f64_arg(env, argv[1], &position))
    return NULL;
  return take_document(env, pbq_export_resume_json(q, position));
}

/* The position (resumed), null (nothing to resume) or false (refused). */
static napi_value js_restore_resume(napi_env env, napi_callback_info info) {
  napi_value argv[3];
  pbq_queue *q;
  char small_resume[SMALL_TEXT], small_tracks[SMALL_TEXT], *resume, *tracks;
  if (!args(env, info, 3, argv) || !handle_arg(env, argv[0], &q) ||
      !text_arg(env, argv[1], small_resume, &resume))
    return NULL;
  if (!text_arg(env, argv[2], small_tracks, &tracks)) {
    release_text(small_resume, resume);
    return NULL;
  }
  double position = 0.0;
  int32_t r = pbq_restore_resume_json(q, resume, tracks, &position);
  release_text(small_tracks, tracks);
  release_text(small_resume, resume);
  napi_value out = NULL;
  if (r == PBQ_RESTORE_RESUMED) napi_create_double(env, position, &out);
  else if (r == PBQ_RESTORE_NOTHING) out = make_null(env);
  else napi_get_boolean(env, false, &out);
  return out;
}

NAPI_MODULE_INIT() {
  static const struct {
    const char *name;
    napi_callback fn;
  } functions[] = {
      {"version", js_version},
      {"abiVersion", js_abi_version},
      {"lastError", js_last_error},
      {"selftest", js_selftest},
      {"create", js_create},
      {"destroy", js_destroy},
      {"setTracks", js_set_tracks},
      {"next", js_next},
      {"trackEnded", js_track_ended},
      {"previous", js_previous},
      {"jump", js_jump},
      {"setRepeat", js_set_repeat},
      {"cycleRepeat", js_cycle_repeat},
      {"playNext", js_play_next},
      {"addToQueue", js_add_to_queue},
      {"removeUpNext", js_remove_up_next},
      {"moveUpNext", js_move_up_next},
      {"clearUpNext", js_clear_up_next},
      {"setShuffle", js_set_shuffle},
      {"setRate", js_set_rate},
      {"setSleepTimer", js_set_sleep_timer},
      {"checkSleepTimer", js_check_sleep_timer},
      {"stateJson", js_state_json},
      {"viewOpen", js_view_open},
      {"viewPrefix", js_view_prefix},
      {"viewEntries", js_view_entries},
      {"viewClose", js_view_close},
      {"exportResume", js_export_resume},
      {"restoreResume", js_restore_resume},
  };
  for (size_t i = 0; i < sizeof functions / sizeof functions[0]; i++) {
    napi_value fn = NULL;
    if (!ok(env, napi_create_function(env, functions[i].name, NAPI_AUTO_LENGTH, functions[i].fn, NULL, &fn)) ||
        !ok(env, napi_set_named_property(env, exports, functions[i].name, fn)))
      return NULL;
  }
  return exports;
}

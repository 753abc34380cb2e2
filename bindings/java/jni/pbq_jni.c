/* The JNI glue between pbq.Queue and libpbq: one function per C call.
 *
 * Texts cross as byte arrays of UTF-8 (NUL-terminated on the way in), never through
 * GetStringUTFChars/NewStringUTF: JNI's modified UTF-8 encodes characters beyond the
 * BMP as surrogate pairs, which the library's strict JSON reader refuses.
 * Every document the library returns is copied into a byte array and freed with
 * pbq_free before the function returns, also when the copy fails. Each function
 * makes at most one local reference and returns it, so a Java loop of calls holds
 * none. Handles cross as jlong; the Java side never passes a freed one. */
#include <jni.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <pbq.h>

#include "state_view.h"

static pbq_queue *handle_of(jlong q) { return (pbq_queue *)(intptr_t)q; }

/* A new byte[] holding the text; null (with OutOfMemoryError pending) on failure. */
static jbyteArray bytes_of(JNIEnv *env, const char *text) {
  jsize n = (jsize)strlen(text);
  jbyteArray out = (*env)->NewByteArray(env, n);
  if (out != NULL) (*env)->SetByteArrayRegion(env, out, 0, n, (const jbyte *)text);
  return out;
}

/* Takes a returned document: copies it and frees it, exactly once. */
static jbyteArray take_document(JNIEnv *env, char *doc) {
  if (doc == NULL) return NULL;
  jbyteArray out = bytes_of(env, doc);
  pbq_free(doc);
  return out;
}

/* The UTF-8 text of a NUL-terminated byte[]; release it with release_text. */
static const char *text_of(JNIEnv *env, jbyteArray text) {
  return (const char *)(*env)->GetByteArrayElements(env, text, NULL);
}

static void release_text(JNIEnv *env, jbyteArray text, const char *chars) {
  (*env)->ReleaseByteArrayElements(env, text, (jbyte *)chars, JNI_ABORT);
}

/* ---- Library -------------------------------------------------------------------- */

JNIEXPORT jbyteArray JNICALL Java_pbq_Native_version(JNIEnv *env, jclass cls) {
  (void)cls;
  return bytes_of(env, pbq_version());
}

JNIEXPORT jint JNICALL Java_pbq_Native_abiVersion(JNIEnv *env, jclass cls) {
  (void)env, (void)cls;
  return pbq_abi_version();
}

JNIEXPORT jbyteArray JNICALL Java_pbq_Native_lastError(JNIEnv *env, jclass cls) {
  (void)cls;
  return bytes_of(env, pbq_last_error());
}

JNIEXPORT jint JNICALL Java_pbq_Native_selftest(JNIEnv *env, jclass cls) {
  (void)env, (void)cls;
  return pbq_selftest();
}

JNIEXPORT jlong JNICALL Java_pbq_Native_create(JNIEnv *env, jclass cls) {
  (void)env, (void)cls;
  return (jlong)(intptr_t)pbq_create();
}

JNIEXPORT void JNICALL Java_pbq_Native_destroy(JNIEnv *env, jclass cls, jlong q) {
  (void)env, (void)cls;
  pbq_destroy(handle_of(q));
}

/* ---- Calls on a handle ------------------------------------------------------------ */

JNIEXPORT jint JNICALL Java_pbq_Queue_nSetTracks(JNIEnv *env, jobject self, jlong q,
                                                 jbyteArray tracks, jint start, jlong seed) {
  (void)self;
  const char *text = text_of(env, tracks);
  if (text == NULL) return PBQ_REFUSED; /* OutOfMemoryError pending */
  jint r = pbq_set_tracks_json(handle_of(q), text, start, (uint64_t)seed);
  release_text(env, tracks, text);
  return r;
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nNext(JNIEnv *env, jobject self, jlong q) {
  (void)env, (void)self;
  return pbq_next(handle_of(q));
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nTrackEnded(JNIEnv *env, jobject self, jlong q) {
  (void)env, (void)self;
  return pbq_on_track_ended(handle_of(q));
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nPrevious(JNIEnv *env, jobject self, jlong q,
                                                jdouble position) {
  (void)env, (void)self;
  return pbq_previous(handle_of(q), position);
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nJump(JNIEnv *env, jobject self, jlong q, jint index) {
  (void)env, (void)self;
  return pbq_jump(handle_of(q), index);
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nSetRepeat(JNIEnv *env, jobject self, jlong q, jint mode) {
  (void)env, (void)self;
  return pbq_set_repeat(handle_of(q), mode);
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nCycleRepeat(JNIEnv *env, jobject self, jlong q) {
  (void)env, (void)self;
  return pbq_cycle_repeat(handle_of(q));
}

static jint add_track(JNIEnv *env, jlong q, jbyteArray track,
                      int32_t (*add)(pbq_queue *, const char *)) {
  const char *text = text_of(env, track);
  if (text == NULL) return PBQ_REFUSED;
  jint r = add(handle_of(q), text);
  release_text(env, track, text);
  return r;
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nPlayNext(JNIEnv *env, jobject self, jlong q,
                                                jbyteArray track) {
  (void)self;
  return add_track(env, q, track, pbq_play_next_json);
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nAddToQueue(JNIEnv *env, jobject self, jlong q,
                                                  jbyteArray track) {
  (void)self;
  return add_track(env, q, track, pbq_add_to_queue_json);
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nRemoveUpNext(JNIEnv *env, jobject self, jlong q,
                                                    jint offset) {
  (void)env, (void)self;
  return pbq_remove_up_next(handle_of(q), offset);
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nMoveUpNext(JNIEnv *env, jobject self, jlong q, jint from,
                                                  jint to) {
  (void)env, (void)self;
  return pbq_move_up_next(handle_of(q), from, to);
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nClearUpNext(JNIEnv *env, jobject self, jlong q) {
  (void)env, (void)self;
  return pbq_clear_up_next(handle_of(q));
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nSetShuffle(JNIEnv *env, jobject self, jlong q,
                                                  jboolean enabled, jlong seed) {
  (void)env, (void)self;
  return pbq_set_shuffle(handle_of(q), enabled ? 1 : 0, (uint64_t)seed);
}

JNIEXPORT jfloat JNICALL Java_pbq_Queue_nSetRate(JNIEnv *env, jobject self, jlong q, jfloat rate) {
  (void)env, (void)self;
  return pbq_set_rate(handle_of(q), rate);
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nSetSleepTimer(JNIEnv *env, jobject self, jlong q,
                                                     jint mode, jlong duration, jlong now) {
  (void)env, (void)self;
  return pbq_set_sleep_timer(handle_of(q), mode, duration, now);
}

JNIEXPORT jlong JNICALL Java_pbq_Queue_nCheckSleepTimer(JNIEnv *env, jobject self, jlong q,
                                                        jlong now) {
  (void)env, (void)self;
  return pbq_check_sleep_timer(handle_of(q), now);
}

JNIEXPORT jbyteArray JNICALL Java_pbq_Queue_nStateJson(JNIEnv *env, jobject self, jlong q) {
  (void)self;
  return take_document(env, pbq_state_json(handle_of(q)));
}

JNIEXPORT jbyteArray JNICALL Java_pbq_Queue_nExportResume(JNIEnv *env, jobject self, jlong q,
                                                          jdouble position) {
  (void)self;
  return take_document(env, pbq_export_resume_json(handle_of(q), position));
}

JNIEXPORT jint JNICALL Java_pbq_Queue_nRestoreResume(JNIEnv *env, jobject self, jlong q,
                                                     jbyteArray resume, jbyteArray tracks,
                                                     jdoubleArray position) {
  (void)self;
  const char *resume_text = text_of(env, resume);
  if (resume_text == NULL) return PBQ_REFUSED;
  const char *tracks_text = text_of(env, tracks);
  if (tracks_text == NULL) {
    release_text(env, resume, resume_text);
    return PBQ_REFUSED;
  }
  double at = 0.0;
  jint r = pbq_restore_resume_json(handle_of(q), resume_text, tracks_text, &at);
  release_text(env, tracks, tracks_text);
  release_text(env, resume, resume_text);
  if (r == PBQ_RESTORE_RESUMED) (*env)->SetDoubleArrayRegion(env, position, 0, 1, &at);
  return r;
}

/* ---- The light read: one state document held natively, read in parts ----------------
 * A view's document lives from viewOpen to viewClose (pbq.QueueView); Java reads the
 * members before "queue" and the text of the entries it asks for, as UTF-8. */

static sv_doc *view_of(jlong doc) { return (sv_doc *)(intptr_t)doc; }

static jbyteArray bytes_of_span(JNIEnv *env, const char *text, size_t length) {
  jbyteArray out = (*env)->NewByteArray(env, (jsize)length);
  if (out != NULL) (*env)->SetByteArrayRegion(env, out, 0, (jsize)length, (const jbyte *)text);
  return out;
}

/* A new view of the state document, or 0 when the library had no memory. */
JNIEXPORT jlong JNICALL Java_pbq_Native_viewOpen(JNIEnv *env, jclass cls, jlong q) {
  (void)env, (void)cls;
  char *text = pbq_state_json(handle_of(q));
  if (text == NULL) return 0;
  sv_doc *d = malloc(sizeof *d);
  if (d == NULL || !sv_open(d, text)) {
    free(d);
    pbq_free(text);
    return 0;
  }
  return (jlong)(intptr_t)d;
}

JNIEXPORT void JNICALL Java_pbq_Native_viewClose(JNIEnv *env, jclass cls, jlong doc) {
  (void)env, (void)cls;
  sv_doc *d = view_of(doc);
  pbq_free(d->text);
  sv_close(d);
  free(d);
}

/* The members before "queue": a JSON object less its closing brace. */
JNIEXPORT jbyteArray JNICALL Java_pbq_Native_viewPrefix(JNIEnv *env, jclass cls, jlong doc) {
  (void)cls;
  sv_doc *d = view_of(doc);
  return bytes_of_span(env, d->text, d->prefix_end);
}

/* The text of entries [first, first + n), `{...},{...}` (Java keeps them within the
 * count), or null when the document lacks them or there is no memory to index it. */
JNIEXPORT jbyteArray JNICALL Java_pbq_Native_viewEntries(JNIEnv *env, jclass cls, jlong doc, jlong first,
                                                         jlong n) {
  (void)cls;
  size_t length = 0;
  const char *text = sv_entries(view_of(doc), (uint64_t)first, (uint64_t)n, &length);
  return text == NULL ? NULL : bytes_of_span(env, text, length);
}

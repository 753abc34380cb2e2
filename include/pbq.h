/** \file pbq.h
 * pbq: the playback-queue state of a music player, behind a plain C interface.
 *
 * The library holds the loaded tracks, the play order (source order or a seeded
 * shuffle), the current entry, up next, the repeat and shuffle modes, the playback
 * rate and a sleep timer. It plays no audio, does no I/O and keeps no clock: the host
 * tells it what happened and acts on its answers.
 *
 * Conventions that hold for every function below:
 * - Results are int32_t: 0 for done, -1 for a refused call, other small codes where
 *   a function says so. Every function accepts a null handle without harm and gives
 *   the answer stated for it.
 * - Text arguments are NUL-terminated UTF-8, only read during the call; the library
 *   keeps no pointer to them. JSON input is strict standard JSON.
 * - Documents returned by pbq_state_json and pbq_export_resume_json belong to the
 *   caller and are released with pbq_free, exactly once.
 * - Error text: each thread has its own, read with pbq_last_error. Only the calls that
 *   say so write it; pbq_set_tracks_json, pbq_play_next_json and
 *   pbq_add_to_queue_json also empty it on success. Every other call leaves an older
 *   message in place, so read it right after a call that failed and says it writes one.
 * - A call that fails, for any reason including lack of memory, leaves the handle as
 *   it was (pbq_restore_resume_json keeps the settings it already applied).
 * - Threads: a handle is used by one thread at a time (the host serialises calls on
 *   it); different handles share nothing and may be used on different threads at
 *   once. The library starts no threads and takes no locks.
 * - Unloading: a host that opens the library with dlopen may dlclose it at any time
 *   once it has destroyed its handles, also while threads that called it are still
 *   running or ending, and may open it again later. The shared library is built so
 *   that dlclose never unmaps it: every thread's error text is freed when that thread
 *   ends, whenever that is, and a later dlopen finds the same library and the same
 *   per-thread texts. Handles must not be carried across a dlclose. On Windows the
 *   same holds for FreeLibrary and LoadLibrary: pbq.dll pins itself in the process
 *   at the first call that touches the error text, and each thread's text is freed
 *   when the thread ends, whichever way it was started.
 * - Windows: text is UTF-8 there too, never the ANSI code page; the library opens no
 *   files and converts nothing.
 * - Units: positions and durations are seconds (double); sleep-timer durations, clock
 *   readings and deadlines are int64_t in the host clock's own unit; indices are
 *   int32_t with -1 meaning none. The playback rate is a float, not a double: FFI
 *   declarations (ctypes, Dart, JNI, Swift) must say so.
 *
 * A host's life with one handle:
 *   launch      q = pbq_create(); then either pbq_set_tracks_json(q, tracks, tapped,
 *               seed) for a new album, or pbq_restore_resume_json(q, stored, tracks,
 *               &pos) with the text stored at the last exit and the same tracks JSON:
 *               0 seek to pos and play; 1 nothing to resume, load the tracks afresh.
 *   draw        s = pbq_state_json(q); read it; pbq_free(s).
 *   events      the audio ended: pbq_on_track_ended; buttons: pbq_next,
 *               pbq_previous(q, seconds played), pbq_jump, the up-next calls; then act
 *               on the answer (play the current entry, stop, replay, go to sleep). A
 *               timed sleep is polled with pbq_check_sleep_timer and the host's clock.
 *   background  r = pbq_export_resume_json(q, seconds played); store r; pbq_free(r).
 *   exit        pbq_destroy(q).
 * The resume document holds the current track's address, the position and the
 * settings, not the tracks: the host keeps its track list and hands the same text to
 * the restore. C++ hosts may use pbq.hpp, an owning wrapper around these calls.
 */
#ifndef PBQ_H
#define PBQ_H

#include <stdint.h>

/** PBQ_API marks the exported functions. On Windows it is __declspec(dllexport) while
 * pbq.dll is built and __declspec(dllimport) for its hosts; a host that links the
 * static library (libpbq.a) defines PBQ_STATIC before including this header (the CMake
 * target pbq::pbq_static does so). Elsewhere it gives the functions default
 * visibility while the library is built, and is empty for hosts. */
#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(PBQ_STATIC)
#define PBQ_API
#elif defined(PBQ_BUILDING_LIBRARY)
#define PBQ_API __declspec(dllexport)
#else
#define PBQ_API __declspec(dllimport)
#endif
#elif defined(PBQ_BUILDING_LIBRARY) && defined(__GNUC__)
#define PBQ_API __attribute__((visibility("default")))
#else
#define PBQ_API
#endif

/* ---- Versions and named codes ---------------------------------------------------- */

/** The version of this header. pbq_version() and pbq_abi_version() give the library's
 * own, which a host may compare with these at run time. A minor version may add
 * functions and codes; only a new major version (and SONAME) changes or removes any. */
#define PBQ_VERSION_MAJOR 1
/** The minor version of this header. */
#define PBQ_VERSION_MINOR 0
/** The patch version of this header. */
#define PBQ_VERSION_PATCH 0
/** The version of this header as text. */
#define PBQ_VERSION_STRING "1.0.0"
/** MAJOR * 10000 + MINOR * 100 + PATCH, for \#if comparisons. */
#define PBQ_VERSION_NUMBER 10000
/** The number in the SONAME (libpbq.so.1); pbq_abi_version() gives the library's. */
#define PBQ_ABI_VERSION 1

/* The codes below are the values the functions take and return; the functions keep
 * int32_t in their signatures so that the ABI does not depend on enum sizes. */

/** Generic results: done, or refused. */
enum { PBQ_OK = 0, PBQ_REFUSED = -1 };

/** Repeat modes: pbq_set_repeat, pbq_cycle_repeat, "repeatMode" in the documents. */
enum { PBQ_REPEAT_OFF = 0, PBQ_REPEAT_ALL = 1, PBQ_REPEAT_ONE = 2 };

/** What the host does after pbq_next, pbq_previous and pbq_on_track_ended. */
enum {
  PBQ_ACTION_PLAY = 0,    /**< moved: play the new current entry */
  PBQ_ACTION_NONE = 1,    /**< did not move; after the end of a track: stop */
  PBQ_ACTION_RESTART = 2, /**< play the current entry again from its start */
  PBQ_ACTION_SLEEP = 3    /**< the end-of-track sleep was due: stop */
};

/** Sleep modes: pbq_set_sleep_timer, "sleepMode" in the state document. */
enum { PBQ_SLEEP_OFF = 0, PBQ_SLEEP_TIMER = 1, PBQ_SLEEP_END_OF_TRACK = 2 };

/** What pbq_play_next_json and pbq_add_to_queue_json did (or PBQ_REFUSED). */
enum {
  PBQ_ADDED_QUEUED = 0, /**< put into up next; the current entry plays on */
  PBQ_ADDED_STARTED = 1 /**< the queue had no current entry: current is now 0 */
};

/** What pbq_restore_resume_json did (or PBQ_REFUSED). */
enum {
  PBQ_RESTORE_RESUMED = 0, /**< the saved track is current: seek to *out_position */
  PBQ_RESTORE_NOTHING = 1  /**< nothing resumed: load the tracks afresh */
};

/** pbq_selftest's answers: 0, or the first step that failed. */
enum {
  PBQ_SELFTEST_PASSED = 0,
  PBQ_SELFTEST_NO_HANDLE = 1,   /**< the private handle could not be allocated */
  PBQ_SELFTEST_LOAD = 2,        /**< loading failed; the error text says why */
  PBQ_SELFTEST_FIRST_NEXT = 3,  /**< the first advance did not move */
  PBQ_SELFTEST_SECOND_NEXT = 4, /**< the second advance did not stop at the end */
  PBQ_SELFTEST_SHUFFLE_ON = 6,  /**< turning shuffle on failed */
  PBQ_SELFTEST_SHUFFLE_OFF = 7  /**< turning shuffle off failed */
};

#ifdef __cplusplus
extern "C" {
#endif

/** A queue handle. Its layout is private; hosts only hold the pointer. */
typedef struct pbq_queue pbq_queue;

/* ---- Frame --------------------------------------------------------------------- */

/** The library's version, "1.0.0". Static text: do not free or change it. */
PBQ_API const char *pbq_version(void);

/** The version of this set of functions and their meanings: 1. */
PBQ_API int32_t pbq_abi_version(void);

/** The calling thread's error text, never null; "" until a call on this thread writes
 * one. Valid until this thread's next call into the library; do not free it. If the
 * thread's buffer could not be allocated, it reads "out of memory". */
PBQ_API const char *pbq_last_error(void);

/** Releases a document returned by pbq_state_json or pbq_export_resume_json. Null is
 * ignored. */
PBQ_API void pbq_free(void *p);

/** A new, empty handle: no tracks, current -1, repeat off, shuffle off, rate 1.0,
 * sleep timer off. Returns null when memory runs out, with "out of memory" in the
 * error text; otherwise the error text is left as it was. Release with pbq_destroy. */
PBQ_API pbq_queue *pbq_create(void);

/** Frees the handle and everything it holds. Null is ignored. The handle must not be
 * used afterwards. Never touches the error text. */
PBQ_API void pbq_destroy(pbq_queue *q);

/* ---- Loading ------------------------------------------------------------------- */

/** Replaces everything the handle holds with the tracks of `tracks_json`, a JSON
 * array of track objects:
 *   {"streamURL": "...", "title": "...", "artist": "...", "artworkURL": "...",
 *    "duration": 215.5}
 * Only an address is required: "streamURL", or "id" when "streamURL" is missing or
 * not a string. An element without a usable address (an empty "streamURL", an
 * address holding a NUL character, a non-object) is skipped silently. A missing
 * title or artist reads as "", a missing or empty artwork address as none, a missing,
 * non-positive or non-finite duration as 0. The first occurrence of a key counts.
 *
 * `start_index` counts accepted tracks and is clamped into range. With shuffle off
 * the play queue is the tracks in source order and current is the start index; with
 * shuffle on the chosen track comes first, the rest follow in an order fixed by
 * `seed` (the same text, index and seed always give the same order), and current is
 * 0. Repeat, shuffle, rate and the sleep timer are not changed.
 *
 * Returns 0 (error text emptied; an array with no usable track empties the handle
 * and leaves current -1) or -1 with the handle unchanged and the error text:
 *   "null arg"                   q or tracks_json is null
 *   "invalid tracks json"        the text is not valid JSON
 *   "tracks json must be array"  the root is not an array
 *   "out of memory"              memory ran out */
PBQ_API int32_t pbq_set_tracks_json(pbq_queue *q, const char *tracks_json,
                                    int32_t start_index, uint64_t seed);

/* ---- Navigation and repeat ----------------------------------------------------- */

/** Moves to the next entry, wrapping to the first under repeat all.
 * Returns 0 moved (play the new current entry) or 1 did not move: null handle, empty
 * queue, no current entry, or the end of the queue without repeat all. Repeat one
 * moves on like repeat off. */
PBQ_API int32_t pbq_next(pbq_queue *q);

/** The audio engine finished the current entry. Returns
 *   0 moved on (play the new current entry; wraps under repeat all),
 *   1 nothing to go on with (null handle, empty queue, no current entry, or the end
 *     of the queue without repeat): stop,
 *   2 repeat one: play the current entry again from its start,
 *   3 the end-of-track sleep was due: it is now off, current is unchanged; stop.
 * The end-of-track sleep wins over both repeat modes. */
PBQ_API int32_t pbq_on_track_ended(pbq_queue *q);

/** The previous button, with `position` the seconds played of the current entry.
 * Returns 2 (restart the current entry, nothing changes) when position is above
 * 3.0, or at the first entry without repeat all; 0 moved back (wrapping to the last
 * entry under repeat all); 1 nothing to do (null handle, empty queue, no current
 * entry). A NaN position counts as not above 3.0. */
PBQ_API int32_t pbq_previous(pbq_queue *q, double position);

/** Makes queue entry `index` current. Returns 0, or -1 with "jump index out of range"
 * when q is null, index is negative or index is not below the queue's length. A
 * successful jump leaves the error text as it was. */
PBQ_API int32_t pbq_jump(pbq_queue *q, int32_t index);

/** Sets the repeat mode: 0 off, 1 all, 2 one. Returns the mode set, or -1 for a null
 * handle or another mode (nothing changes). */
PBQ_API int32_t pbq_set_repeat(pbq_queue *q, int32_t mode);

/** Cycles the repeat mode off -> all -> one -> off. Returns the new mode, or -1 for a
 * null handle. */
PBQ_API int32_t pbq_cycle_repeat(pbq_queue *q);

/* ---- Up next ------------------------------------------------------------------- */
/* Up next is the part of the play queue after the current entry; up-next index k
 * names queue entry current + 1 + k. */

/** Puts one track (a track object, as for pbq_set_tracks_json) right after the
 * current entry, ahead of earlier play-next tracks. The track is also added to the
 * loaded tracks unless one with the same stream URL is already there.
 * Returns 0 inserted; 1 the queue had no current entry: the track was appended and
 * current is now 0 (the queue's first entry); or -1 with the handle unchanged and:
 *   "null arg"            q or track_json is null
 *   "invalid track json"  the text is not valid JSON
 *   "missing streamURL"   the root is not a usable track object
 *   "out of memory"       memory ran out
 * On 0 and 1 the error text is emptied. */
PBQ_API int32_t pbq_play_next_json(pbq_queue *q, const char *track_json);

/** As pbq_play_next_json, but appends the track at the end of the queue. */
PBQ_API int32_t pbq_add_to_queue_json(pbq_queue *q, const char *track_json);

/** Removes up-next entry `offset`. Returns 0, or -1 when q is null, there is no
 * current entry, or offset is negative or not below the number of up-next entries.
 * The loaded tracks are not changed. Never writes the error text. */
PBQ_API int32_t pbq_remove_up_next(pbq_queue *q, int32_t offset);

/** Takes up-next entry `from` out and puts it back at up-next index `to`. Returns 0
 * (also when from equals to), or -1 when q is null, there is no current entry, or
 * from or to is negative or not below the number of up-next entries. Never writes
 * the error text. */
PBQ_API int32_t pbq_move_up_next(pbq_queue *q, int32_t from, int32_t to);

/** Removes every up-next entry. Always returns 0 (a null handle, no current entry or
 * nothing up next change nothing). Never writes the error text. */
PBQ_API int32_t pbq_clear_up_next(pbq_queue *q);

/* ---- Shuffle ------------------------------------------------------------------- */

/** Turns shuffle on (`enabled` non-zero) or off.
 * On: the current entry moves to the front and the entries after it are shuffled
 * in an order fixed by `seed` (0 is a valid seed); with no current entry the whole
 * queue is shuffled; current becomes 0.
 * Off: the queue is rebuilt from the loaded tracks in source order (entries removed
 * from up next come back, the order of moves is dropped) and the first entry with
 * the playing track's stream URL becomes current (else entry 0). With no loaded
 * tracks the queue is kept as it is. `seed` is not used.
 * With an empty queue only the flag changes. Returns 0, or -1 for a null handle, or
 * -1 with "out of memory" when the rebuild could not be allocated (nothing changes,
 * the flag included). */
PBQ_API int32_t pbq_set_shuffle(pbq_queue *q, int32_t enabled, uint64_t seed);

/* ---- Rate and sleep timer -------------------------------------------------------- */

/** Sets the playback rate, clamped to [0.5, 2.0]; a NaN or an infinity (of either
 * sign) gives 0.5. Returns the rate now in force; 1.0 for a null handle (nothing is
 * stored). */
PBQ_API float pbq_set_rate(pbq_queue *q, float rate);

/** Sets the sleep mode: 0 off; 1 a timer that runs out at now + duration on the
 * host's clock (duration must be above 0); 2 stop at the end of the current track
 * (reported by pbq_on_track_ended as 3). Replaces any earlier setting. Returns 0, or
 * -1 with nothing changed for a null handle, another mode, or mode 1 with a duration
 * of 0 or less. The sum wraps in 64-bit two's complement. */
PBQ_API int32_t pbq_set_sleep_timer(pbq_queue *q, int32_t mode, int64_t duration,
                                    int64_t now);

/** Polls the timer with the host clock's reading `now`. Returns the time left (above
 * 0); 0 when the timer has run out, which also turns it off (reported once); -1 when
 * no timer is armed (null handle, sleep off or end-of-track mode). */
PBQ_API int64_t pbq_check_sleep_timer(pbq_queue *q, int64_t now);

/* ---- Documents ----------------------------------------------------------------- */

/** The whole visible state as compact JSON, members in this order:
 *   {"currentIndex":1,"queueCount":3,"upNextCount":1,"repeatMode":0,
 *    "isShuffled":false,"playbackRate":1.0,"sleepMode":0,"hasNext":true,
 *    "hasPrevious":true,"currentTrack":{...},"queue":[{...},...]}
 * Each track is {"streamURL","title","artist","artworkURL" (string or null),
 * "duration" (a real)}. "currentTrack" is null without a current entry; "hasNext"
 * and "hasPrevious" say whether pbq_next and pbq_previous (within the first three
 * seconds) would move. Returns a new text that the caller frees with pbq_free, or
 * null for a null handle or when memory runs out (never a partial document). Only
 * reads the handle; never writes the error text. */
PBQ_API char *pbq_state_json(const pbq_queue *q);

/** The resume document for a restart, compact JSON:
 *   {"lastTrackURL":"...","lastTrackTime":83.5,"repeatMode":1,"isShuffled":false,
 *    "playbackRate":1.5}
 * "lastTrackURL" is the current entry's stream URL, or null without one;
 * "lastTrackTime" is `position` when it is finite and above 0, else 0.0. Store the
 * text and hand it to pbq_restore_resume_json at the next launch. Returns a new text
 * that the caller frees with pbq_free, or null for a null handle or when memory runs
 * out. Only reads the handle; never writes the error text. */
PBQ_API char *pbq_export_resume_json(const pbq_queue *q, double position);

/** Restores a resume document together with the same tracks JSON the host loaded
 * before. The settings it holds ("repeatMode" 0 to 2, "isShuffled", "playbackRate",
 * clamped as pbq_set_rate does) are applied as they are read and stay applied
 * whatever follows. Then the tracks are loaded as pbq_set_tracks_json does with seed
 * 42, starting at the first usable track whose stream URL is "lastTrackURL".
 * Returns
 *   0  resumed: *out_position receives the saved position (0.0 when missing or
 *      negative);
 *   1  nothing resumed (an empty object; "lastTrackURL" missing, not a string or
 *      empty; no track with that URL): *out_position receives 0.0 and the tracks
 *      and current are as they were;
 *  -1  q, resume_json or tracks_json null; resume_json not a JSON object;
 *      tracks_json not a JSON array; memory ran out; or loading failed.
 *      *out_position is not written.
 * `out_position` may be null. The call itself writes no error text; only its
 * loading step empties or sets it, so after -1 the error text may be an older one.
 * On 1 and -1 a host starts afresh: pbq_set_tracks_json with the tracks. */
PBQ_API int32_t pbq_restore_resume_json(pbq_queue *q, const char *resume_json,
                                        const char *tracks_json, double *out_position);

/* ---- Self-test ----------------------------------------------------------------- */

/** Runs a short script on a private handle: load three tracks, advance twice, turn
 * shuffle on and off. Returns 0 when every step passed, else the first failing step:
 * 1 the handle could not be allocated ("out of memory" in the error text), 2 loading
 * failed (the error text says why), 3 the first advance did not move, 4 the second
 * advance did not stop at the end, 6 turning shuffle on failed, 7 turning shuffle
 * off failed. Touches no host handle and leaves nothing behind. */
PBQ_API int32_t pbq_selftest(void);

#ifdef __cplusplus
}
#endif

#endif /* PBQ_H */

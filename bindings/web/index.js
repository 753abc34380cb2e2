// pbq for the web: the Queue class of the Node package, over pbq_core.wasm (the library
// built with emscripten). The module is ready once this import resolves (top-level
// await), so `new Queue()` is synchronous as in Node.
//
// Texts cross the boundary in UTF-8 through TextEncoder.encodeInto, straight into a
// buffer the module allocated, and come back through one TextDecoder.decode of a view
// of the module's memory. Numbers are checked as the Node addon checks them: indices
// clamped into int32 (never wrapped), 64-bit seeds and clock values as BigInt or safe
// integers, never rounded.
import createPbqCore from './pbq_core.mjs';

const core = await createPbqCore();

/** A call refused, with the library's error text (e.g. "invalid tracks json"). */
export class PbqError extends Error {
  constructor(message) {
    super(message);
    this.name = 'PbqError';
  }
}

// The values of pbq.h's named constants.
/** What the host does after next(), previous() and trackEnded(). */
export const Action = Object.freeze({ PLAY: 0, NONE: 1, RESTART: 2, SLEEP: 3 });
export const RepeatMode = Object.freeze({ OFF: 0, ALL: 1, ONE: 2 });
export const SleepMode = Object.freeze({ OFF: 0, TIMER: 1, END_OF_TRACK: 2 });
/** What playNext() and addToQueue() did. */
export const Added = Object.freeze({ QUEUED: 0, STARTED: 1 });

const RESTORE_RESUMED = 0;
const RESTORE_NOTHING = 1;
const U64_END = 1n << 64n;
const I64_MIN = -(1n << 63n);
const I64_END = 1n << 63n;

// ---- Texts ----------------------------------------------------------------------

const encoder = new TextEncoder();
const decoder = new TextDecoder();

/** The NUL-terminated text at `pointer` in the module's memory, as a JS string. */
function readText(pointer) {
  const heap = core.HEAPU8;
  const end = heap.indexOf(0, pointer);
  return decoder.decode(heap.subarray(pointer, end));
}

/**
 * `text` as NUL-terminated UTF-8 in a block of the module's heap; the caller frees it.
 * Sized for mostly-ASCII text first and grown once when it is not, so a long document
 * does not reserve three bytes a character.
 */
function writeText(text) {
  let capacity = text.length + (text.length >> 3) + 16;
  let pointer = core._malloc(capacity);
  if (pointer === 0) throw new PbqError('out of memory');
  let { read, written } = encoder.encodeInto(text, core.HEAPU8.subarray(pointer, pointer + capacity - 1));
  if (read < text.length) {
    capacity = written + (text.length - read) * 3 + 1;
    const grown = core._realloc(pointer, capacity);
    if (grown === 0) {
      core._free(pointer);
      throw new PbqError('out of memory');
    }
    pointer = grown;
    written += encoder.encodeInto(text.slice(read), core.HEAPU8.subarray(pointer + written, pointer + capacity - 1)).written;
  }
  core.HEAPU8[pointer + written] = 0;
  return pointer;
}

/** Calls `use` with `texts` in the module's memory, freeing them on every path. */
function withTexts(texts, use) {
  const pointers = [];
  try {
    for (const t of texts) pointers.push(writeText(t));
    return use(...pointers);
  } finally {
    for (const p of pointers) core._free(p);
  }
}

/** A document the library returned: copied into a JS string and freed. */
function takeDocument(pointer) {
  if (pointer === 0) throw new PbqError('out of memory');
  try {
    return readText(pointer);
  } finally {
    core._pbq_free(pointer);
  }
}

function lastError() {
  return new PbqError(readText(core._pbq_last_error()));
}

// ---- Arguments, checked as the Node addon checks them --------------------------------

function jsonText(value) {
  const text = typeof value === 'string' ? value : JSON.stringify(value);
  if (typeof text !== 'string') throw new TypeError('pbq: a string was expected');
  return text;
}

function number(value) {
  if (typeof value !== 'number') throw new TypeError('pbq: a number was expected');
  return value;
}

/** An index: truncated toward zero and clamped into int32; NaN reads as -1. */
function index(value) {
  const d = number(value);
  if (Number.isNaN(d)) return -1;
  if (d <= -2147483648) return -2147483648;
  if (d >= 2147483647) return 2147483647;
  return Math.trunc(d);
}

/** A seed: a BigInt in [0, 2**64) or a non-negative safe integer. */
function seed(value) {
  if (typeof value === 'bigint') {
    if (value < 0n || value >= U64_END) throw new RangeError('pbq: seed must be in [0, 2n**64n)');
    return BigInt.asIntN(64, value);
  }
  const d = number(value);
  if (!Number.isSafeInteger(d) || d < 0) throw new RangeError('pbq: a seed is a non-negative safe integer or a BigInt');
  return BigInt(d);
}

/** A clock value or duration: a BigInt in int64 or a safe integer. */
function clock(value) {
  if (typeof value === 'bigint') {
    if (value < I64_MIN || value >= I64_END) throw new RangeError('pbq: value does not fit in int64');
    return value;
  }
  const d = number(value);
  if (!Number.isSafeInteger(d)) throw new RangeError('pbq: a clock value is a safe integer or a BigInt');
  return BigInt(d);
}

// ---- The light read -------------------------------------------------------------
// The state document stays in the module's memory: the members before "queue" are
// decoded alone (the library writes every scalar and "currentTrack" first), and
// entries are found by index without decoding the queue. An entry starts wherever `{"`
// is followed by a key's first character: inside a string every quotation mark is
// escaped, so a `{"` there can only end the string, and `,` `:` `}` or `]` follows.

const QUOTE = 0x22;
const BACKSLASH = 0x5c;
const OPEN_BRACE = 0x7b;
const QUEUE_KEY = encoder.encode('"queue"');
const VIEW_OPEN = Symbol('pbq view');

/** Just past the string whose opening quote is at `at`. */
function skipString(heap, at) {
  let i = at + 1;
  while (heap[i] !== QUOTE) i += heap[i] === BACKSLASH ? 2 : 1;
  return i + 1;
}

/** Just past the value that starts at `at`. */
function skipValue(heap, at) {
  const c = heap[at];
  if (c === QUOTE) return skipString(heap, at);
  let i = at;
  if (c === OPEN_BRACE || c === 0x5b) {
    let depth = 0;
    for (;;) {
      const d = heap[i];
      if (d === QUOTE) {
        i = skipString(heap, i);
        continue;
      }
      if (d === OPEN_BRACE || d === 0x5b) depth++;
      else if ((d === 0x7d || d === 0x5d) && --depth === 0) return i + 1;
      i++;
    }
  }
  while (heap[i] !== 0x2c && heap[i] !== 0x7d && heap[i] !== 0x5d) i++;
  return i;
}

/** Where the member "queue" starts in the document at `doc` (its key's quote). */
function queueMember(heap, doc) {
  let i = doc + 1;
  for (;;) {
    const keyEnd = skipString(heap, i);
    if (keyEnd - i === QUEUE_KEY.length && QUEUE_KEY.every((b, k) => heap[i + k] === b)) return i;
    i = skipValue(heap, keyEnd + 1) + 1;
  }
}

function whole(value, what) {
  if (!Number.isSafeInteger(value) || value < 0) throw new RangeError(`pbq: ${what} must be a non-negative integer`);
  return value;
}

/**
 * The light read of the state document (Queue.view()): every member but "queue" as own
 * properties, equal to those of state(), and the queue's entries on demand. A view
 * reads the state of the moment it was taken; its queue's next view() or close()
 * retires it, and its entry() and entries() then throw.
 */
export class View {
  #doc;
  #starts = [];     // the offsets of the entries found so far
  #from = 0;        // where the search for the next entry goes on

  constructor(key, doc) {
    if (key !== VIEW_OPEN) throw new TypeError('pbq: a View comes from Queue.view()');
    const heap = core.HEAPU8;
    const member = queueMember(heap, doc);
    Object.assign(this, JSON.parse(`${decoder.decode(heap.subarray(doc, member - 1))}}`));
    this.#doc = doc;
    this.#from = member + QUEUE_KEY.length + 2;
  }

  /** Frees the document: the view is stale from now on. */
  [VIEW_OPEN]() {
    core._pbq_free(this.#doc);
    this.#doc = 0;
  }

  /** Queue entry `i` as state().queue[i] holds it, or null when there is no such entry. */
  entry(i) {
    this.#check();
    if (!Number.isSafeInteger(i) || i < 0 || i >= this.queueCount) return null;
    return this.#read(i, 1)[0] ?? null;
  }

  /** The entries from `start`, at most `count` of them: state().queue.slice(start, start + count). */
  entries(start, count) {
    this.#check();
    whole(start, 'start');
    whole(count, 'count');
    const end = Math.min(start + count, this.queueCount);
    return start < end ? this.#read(start, end - start) : [];
  }

  #check() {
    if (this.#doc === 0) throw new PbqError('this view is stale: the queue has given a newer one or was closed');
  }

  // The search stops at the count's last entry, so it never reads past the document,
  // whose length is never measured: the last entry ends just before the document's `]}`.
  #read(start, count) {
    const heap = core.HEAPU8;
    const last = start + count - 1;
    const starts = this.#starts;
    const want = Math.min(last + 2, this.queueCount);
    while (starts.length < want) {
      const at = heap.indexOf(OPEN_BRACE, this.#from);
      if (at < 0) return [];
      this.#from = at + 1;
      const after = heap[at + 2];
      if (heap[at + 1] === QUOTE && after !== 0x2c && after !== 0x3a && after !== 0x7d && after !== 0x5d) starts.push(at);
    }
    const end = last + 1 < starts.length ? starts[last + 1] - 1 : heap.indexOf(0, starts[last]) - 2;
    return JSON.parse(`[${decoder.decode(heap.subarray(starts[start], end))}]`);
  }
}

// ---- The queue ------------------------------------------------------------------

// A queue the host dropped without close() is freed when it is collected.
const unclosed = new FinalizationRegistry((handle) => core._pbq_destroy(handle));

// A queue's last view, when the queue is collected without close().
const unfreedViews = new FinalizationRegistry((doc) => core._pbq_free(doc));

export class Queue {
  #h;
  #view = null;

  /** A new, empty queue: no tracks, repeat off, shuffle off, rate 1.0, sleep off. */
  constructor() {
    const h = core._pbq_create();
    if (h === 0) throw new PbqError('out of memory');
    this.#h = h;
    unclosed.register(this, h, this);
  }

  /** Frees the handle; later calls throw PbqError('queue is closed'). Closing again does nothing. */
  close() {
    this.#retireView();
    if (this.#h !== null) {
      unclosed.unregister(this);
      core._pbq_destroy(this.#h);
      this.#h = null;
    }
  }

  get closed() {
    return this.#h === null;
  }

  #handle() {
    if (this.#h === null) throw new PbqError('queue is closed');
    return this.#h;
  }

  /** Replaces everything with `tracks` (JSON text or an array of track objects). */
  setTracks(tracks, startIndex = 0, seedValue = 0) {
    const h = this.#handle();
    const text = jsonText(tracks);
    const start = index(startIndex);
    const s = seed(seedValue);
    if (withTexts([text], (p) => core._pbq_set_tracks_json(h, p, start, s)) !== 0) throw lastError();
  }

  next() {
    return core._pbq_next(this.#handle());
  }

  previous(position = 0) {
    const h = this.#handle();
    return core._pbq_previous(h, number(position));
  }

  trackEnded() {
    return core._pbq_on_track_ended(this.#handle());
  }

  jump(entry) {
    const h = this.#handle();
    if (core._pbq_jump(h, index(entry)) !== 0) throw lastError();
  }

  setRepeat(mode) {
    const h = this.#handle();
    const set = core._pbq_set_repeat(h, index(mode));
    if (set < 0) throw new RangeError(`pbq: no repeat mode ${mode}`);
    return set;
  }

  cycleRepeat() {
    return core._pbq_cycle_repeat(this.#handle());
  }

  playNext(track) {
    const h = this.#handle();
    const r = withTexts([jsonText(track)], (p) => core._pbq_play_next_json(h, p));
    if (r < 0) throw lastError();
    return r;
  }

  addToQueue(track) {
    const h = this.#handle();
    const r = withTexts([jsonText(track)], (p) => core._pbq_add_to_queue_json(h, p));
    if (r < 0) throw lastError();
    return r;
  }

  removeUpNext(offset) {
    const h = this.#handle();
    return core._pbq_remove_up_next(h, index(offset)) === 0;
  }

  moveUpNext(from, to) {
    const h = this.#handle();
    return core._pbq_move_up_next(h, index(from), index(to)) === 0;
  }

  clearUpNext() {
    core._pbq_clear_up_next(this.#handle());
  }

  setShuffle(enabled, seedValue = 0) {
    const h = this.#handle();
    if (core._pbq_set_shuffle(h, enabled ? 1 : 0, seed(seedValue)) !== 0) throw lastError();
  }

  setRate(rate) {
    const h = this.#handle();
    return core._pbq_set_rate(h, number(rate));
  }

  setSleepTimer(mode, duration = 0, now = 0) {
    const h = this.#handle();
    return core._pbq_set_sleep_timer(h, index(mode), clock(duration), clock(now)) === 0;
  }

  /** The time left as the kind of number `now` was (BigInt or Number); null when no timer is armed. */
  checkSleepTimer(now) {
    const h = this.#handle();
    const left = core._pbq_check_sleep_timer(h, clock(now));
    if (left < 0n) return null;
    return typeof now === 'bigint' ? left : Number(left);
  }

  stateJson() {
    return takeDocument(core._pbq_state_json(this.#handle()));
  }

  state() {
    return JSON.parse(this.stateJson());
  }

  /**
   * The light read: the state's members but "queue" at once, its entries on demand,
   * read from the document inside the module's memory (see View). The view this queue
   * gave before is retired.
   */
  view() {
    const h = this.#handle();
    // The document before goes first, so that the new one can take its memory.
    this.#retireView();
    const doc = core._pbq_state_json(h);
    if (doc === 0) throw new PbqError('out of memory');
    let view;
    try {
      view = new View(VIEW_OPEN, doc);
    } catch (e) {
      core._pbq_free(doc);
      throw e;
    }
    this.#view = view;
    unfreedViews.register(this, doc, view);
    return view;
  }

  #retireView() {
    if (this.#view === null) return;
    unfreedViews.unregister(this.#view);
    this.#view[VIEW_OPEN]();
    this.#view = null;
  }

  exportResume(position) {
    const h = this.#handle();
    return takeDocument(core._pbq_export_resume_json(h, number(position)));
  }

  /** The position to seek to, or null when there was nothing to resume. */
  restoreResume(resume, tracks) {
    const h = this.#handle();
    const texts = [jsonText(resume), jsonText(tracks)];
    const out = core._malloc(8);
    if (out === 0) throw new PbqError('out of memory');
    try {
      const r = withTexts(texts, (pr, pt) => core._pbq_restore_resume_json(h, pr, pt, out));
      if (r === RESTORE_RESUMED) return core.HEAPF64[out >> 3];
      if (r === RESTORE_NOTHING) return null;
      throw new PbqError('resume refused');
    } finally {
      core._free(out);
    }
  }
}

// `using q = new Queue()` where the runtime has explicit resource management.
if (typeof Symbol.dispose === 'symbol') Queue.prototype[Symbol.dispose] = Queue.prototype.close;

export const version = () => readText(core._pbq_version());
export const abiVersion = () => core._pbq_abi_version();
export const selftest = () => core._pbq_selftest();

/**
 * The 26 functions of pbq.h as the module exports them, for hosts that want the C ABI:
 * pointers are numbers into `memory()`, 64-bit values BigInt. Texts go in through
 * malloc and come back as pointers the host frees with pbq_free.
 */
export const capi = Object.freeze({
  ...Object.fromEntries(Object.keys(core).filter((k) => k.startsWith('_pbq_')).map((k) => [k.slice(1), core[k]])),
  malloc: core._malloc,
  free: core._free,
  /** The module's memory as bytes; a new view after the memory grew, so take it after each call. */
  memory: () => core.HEAPU8,
});

export default { Queue, View, PbqError, Action, RepeatMode, SleepMode, Added, version, abiVersion, selftest, capi };

'use strict';
// pbq for Node: the Queue class over the Node-API addon pbq.node. The package carries
// it prebuilt per platform, prebuilds/<platform>-<arch>/pbq.node, with libpbq.so.1
// beside it (the addon's RUNPATH is $ORIGIN); a development build is found beside this
// file or through $PBQ_ADDON.
const fs = require('node:fs');
const path = require('node:path');

/** A call refused, with the library's error text (e.g. "invalid tracks json"). */
class PbqError extends Error {
  constructor(message) {
    super(message);
    this.name = 'PbqError';
  }
}

const LIBRARY = 'libpbq.so.1';
const PLATFORM = `${process.platform}-${process.arch}`;

function loadAddon() {
  const candidates = process.env.PBQ_ADDON
    ? [[path.resolve(process.env.PBQ_ADDON), '$PBQ_ADDON']]
    : [[path.join(__dirname, 'prebuilds', PLATFORM, 'pbq.node'), `the package's build for ${PLATFORM}`],
        [path.join(__dirname, 'pbq.node'), 'beside index.js']];
  const tried = [];
  let libraryMissing = null;
  for (const [file, origin] of candidates) {
    if (!fs.existsSync(file)) {
      tried.push(`  ${origin}: no ${file}`);
      continue;
    }
    try {
      return require(file);
    } catch (e) {
      const message = e.message.split('\n')[0];
      // The loader names the first dependency it could not find: "libpbq.so.1: cannot open ...".
      if (message.includes(`${LIBRARY}:`)) {
        libraryMissing ??= file;
        tried.push(`  ${origin}: ${file} was found, but not ${LIBRARY}, which it needs (${message})`);
      } else {
        tried.push(`  ${origin}: ${message}`);
      }
    }
  }
  if (libraryMissing) {
    throw new PbqError(
      `pbq: the addon pbq.node was found but cannot load ${LIBRARY}, which it needs. Tried:\n${tried.join('\n')}\n` +
        `Put ${LIBRARY} beside ${libraryMissing} or where the loader finds it (LD_LIBRARY_PATH, ldconfig); ` +
        'reinstalling the package restores it.');
  }
  throw new PbqError(
    `pbq: cannot load the addon pbq.node (which needs ${LIBRARY}). Tried:\n${tried.join('\n')}\n` +
      'The package carries it for linux-x64 in prebuilds/ (reinstall the package if it is missing there). ' +
      'Elsewhere, build pbq.node with the repository\'s CMake (bindings/) and put it beside index.js, ' +
      'or set PBQ_ADDON to its path.');
}

const native = loadAddon();

// The values of pbq.h's named constants.
/** What the host does after next(), previous() and trackEnded(). */
const Action = Object.freeze({ PLAY: 0, NONE: 1, RESTART: 2, SLEEP: 3 });
const RepeatMode = Object.freeze({ OFF: 0, ALL: 1, ONE: 2 });
const SleepMode = Object.freeze({ OFF: 0, TIMER: 1, END_OF_TRACK: 2 });
/** What playNext() and addToQueue() did. */
const Added = Object.freeze({ QUEUED: 0, STARTED: 1 });

function jsonText(value) {
  return typeof value === 'string' ? value : JSON.stringify(value);
}

function lastError() {
  return new PbqError(native.lastError());
}

function document(text) {
  if (text === null) throw new PbqError('out of memory');
  return text;
}

const VIEW_OPEN = Symbol('pbq view');

function index(value, what) {
  if (!Number.isSafeInteger(value) || value < 0) throw new RangeError(`pbq: ${what} must be a non-negative integer`);
  return value;
}

/**
 * The light read of the state document: every member but "queue" (currentIndex,
 * queueCount, upNextCount, repeatMode, isShuffled, playbackRate, sleepMode, hasNext,
 * hasPrevious, currentTrack) as own properties, equal to those of state(), and the
 * queue's entries on demand with entry() and entries(). The document stays in the
 * addon and no entry is parsed until asked for. A view reads the state of the moment it
 * was taken; its queue's next view() (or close()) retires it.
 */
class View {
  #doc;

  constructor(key, doc) {
    if (key !== VIEW_OPEN) throw new TypeError('pbq: a View comes from Queue.view()');
    this.#doc = doc;
    Object.assign(this, JSON.parse(`${native.viewPrefix(doc)}}`));
  }

  /** Queue entry `i` as state().queue[i] holds it, or null when there is no such entry. */
  entry(i) {
    if (!Number.isSafeInteger(i) || i < 0 || i >= this.queueCount) {
      this.#check();
      return null;
    }
    return this.#read(i, 1)[0] ?? null;
  }

  /** The entries from `start`, at most `count` of them: state().queue.slice(start, start + count). */
  entries(start, count) {
    index(start, 'start');
    index(count, 'count');
    const end = Math.min(start + count, this.queueCount);
    if (start >= end) {
      this.#check();
      return [];
    }
    return this.#read(start, end - start);
  }

  #read(start, count) {
    const text = native.viewEntries(this.#doc, start, count);
    return text === null ? [] : JSON.parse(`[${text}]`);
  }

  #check() {
    native.viewPrefix(this.#doc);
  }
}

class Queue {
  #h;
  #view = null;

  /** A new, empty queue: no tracks, repeat off, shuffle off, rate 1.0, sleep off. */
  constructor() {
    this.#h = native.create();
    if (this.#h === null) throw new PbqError('out of memory');
  }

  /** Frees the handle; later calls throw PbqError('queue is closed'). Closing again does nothing. */
  close() {
    this.#retireView();
    if (this.#h !== null) {
      native.destroy(this.#h);
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
  setTracks(tracks, startIndex = 0, seed = 0) {
    if (native.setTracks(this.#handle(), jsonText(tracks), startIndex, seed) !== 0) throw lastError();
  }

  next() {
    return native.next(this.#handle());
  }

  previous(position = 0) {
    return native.previous(this.#handle(), position);
  }

  trackEnded() {
    return native.trackEnded(this.#handle());
  }

  jump(index) {
    if (native.jump(this.#handle(), index) !== 0) throw lastError();
  }

  setRepeat(mode) {
    const set = native.setRepeat(this.#handle(), mode);
    if (set < 0) throw new RangeError(`pbq: no repeat mode ${mode}`);
    return set;
  }

  cycleRepeat() {
    return native.cycleRepeat(this.#handle());
  }

  playNext(track) {
    const r = native.playNext(this.#handle(), jsonText(track));
    if (r < 0) throw lastError();
    return r;
  }

  addToQueue(track) {
    const r = native.addToQueue(this.#handle(), jsonText(track));
    if (r < 0) throw lastError();
    return r;
  }

  removeUpNext(offset) {
    return native.removeUpNext(this.#handle(), offset) === 0;
  }

  moveUpNext(from, to) {
    return native.moveUpNext(this.#handle(), from, to) === 0;
  }

  clearUpNext() {
    native.clearUpNext(this.#handle());
  }

  setShuffle(enabled, seed = 0) {
    if (native.setShuffle(this.#handle(), Boolean(enabled), seed) !== 0) throw lastError();
  }

  setRate(rate) {
    return native.setRate(this.#handle(), rate);
  }

  setSleepTimer(mode, duration = 0, now = 0) {
    return native.setSleepTimer(this.#handle(), mode, duration, now) === 0;
  }

  checkSleepTimer(now) {
    return native.checkSleepTimer(this.#handle(), now);
  }

  stateJson() {
    return document(native.stateJson(this.#handle()));
  }

  state() {
    return JSON.parse(this.stateJson());
  }

  /**
   * The light read: the state's members but "queue" at once, its entries on demand
   * (see View). The view this queue gave before is retired.
   */
  view() {
    const h = this.#handle();
    // The document before goes first, so that the new one can take its memory.
    this.#retireView();
    const doc = native.viewOpen(h);
    if (doc === null) throw new PbqError('out of memory');
    this.#view = doc;
    return new View(VIEW_OPEN, doc);
  }

  #retireView() {
    if (this.#view !== null) native.viewClose(this.#view);
    this.#view = null;
  }

  exportResume(position) {
    return document(native.exportResume(this.#handle(), position));
  }

  restoreResume(resume, tracks) {
    const r = native.restoreResume(this.#handle(), jsonText(resume), jsonText(tracks));
    if (r === false) throw new PbqError('resume refused');
    return r;
  }
}

// `using q = new Queue()` where the runtime has explicit resource management.
if (typeof Symbol.dispose === 'symbol') Queue.prototype[Symbol.dispose] = Queue.prototype.close;

module.exports = {
  Queue,
  View,
  PbqError,
  Action,
  RepeatMode,
  SleepMode,
  Added,
  version: () => native.version(),
  abiVersion: () => native.abiVersion(),
  selftest: () => native.selftest(),
};

// Type declarations of the pbq package.

// Symbol.dispose for `using`, declared as the runtime's own where the target's lib lacks it.
declare global {
  interface SymbolConstructor {
    readonly dispose: unique symbol;
  }
}

/** What the host does after next(), previous() and trackEnded() (pbq.h's PBQ_ACTION_*). */
export declare const Action: {
  /** Moved: play the new current entry. */
  readonly PLAY: 0;
  /** Did not move; after the end of a track: stop. */
  readonly NONE: 1;
  /** Play the current entry again from its start. */
  readonly RESTART: 2;
  /** The end-of-track sleep was due: stop. */
  readonly SLEEP: 3;
};
export type Action = (typeof Action)[keyof typeof Action];

export declare const RepeatMode: { readonly OFF: 0; readonly ALL: 1; readonly ONE: 2 };
export type RepeatMode = (typeof RepeatMode)[keyof typeof RepeatMode];

export declare const SleepMode: { readonly OFF: 0; readonly TIMER: 1; readonly END_OF_TRACK: 2 };
export type SleepMode = (typeof SleepMode)[keyof typeof SleepMode];

/** What playNext() and addToQueue() did. */
export declare const Added: { readonly QUEUED: 0; readonly STARTED: 1 };
export type Added = (typeof Added)[keyof typeof Added];

/** A call refused, with the library's error text (e.g. "invalid tracks json"). */
export declare class PbqError extends Error {}

/** A track as the library reads it: only an address is required. */
export interface TrackInput {
  streamURL?: string;
  id?: string;
  title?: string;
  artist?: string;
  artworkURL?: string;
  duration?: number;
}

/** A track as the state document writes it. */
export interface Track {
  streamURL: string;
  title: string;
  artist: string;
  artworkURL: string | null;
  duration: number;
}

/** The parsed state document. */
export interface State {
  currentIndex: number;
  queueCount: number;
  upNextCount: number;
  repeatMode: RepeatMode;
  isShuffled: boolean;
  playbackRate: number;
  sleepMode: SleepMode;
  hasNext: boolean;
  hasPrevious: boolean;
  currentTrack: Track | null;
  queue: Track[];
}

/**
 * The light read of the state document (Queue.view()): every member of State but
 * "queue", equal to state()'s, with the queue's entries on demand. The document stays
 * native; no entry is parsed until asked for. A view reads the state of the moment it
 * was taken; its queue's next view() or close() retires it, and a retired view's
 * entry() and entries() throw.
 */
export declare class View implements Omit<State, 'queue'> {
  private constructor();
  readonly currentIndex: number;
  readonly queueCount: number;
  readonly upNextCount: number;
  readonly repeatMode: RepeatMode;
  readonly isShuffled: boolean;
  readonly playbackRate: number;
  readonly sleepMode: SleepMode;
  readonly hasNext: boolean;
  readonly hasPrevious: boolean;
  readonly currentTrack: Track | null;
  /** state().queue[i], or null when there is no entry `i`. */
  entry(i: number): Track | null;
  /** state().queue.slice(start, start + count); a negative or fractional argument throws RangeError. */
  entries(start: number, count: number): Track[];
}

/** A 64-bit seed or clock value: a safe integer or a BigInt. */
export type Int64 = number | bigint;

/**
 * One player's queue. Calls whose C function writes an error text throw PbqError with
 * that text; calls the library refuses without a text return false. After close()
 * every call throws PbqError("queue is closed"). Used by one thread at a time.
 */
export declare class Queue {
  constructor();
  /** Frees the handle; closing again does nothing. */
  close(): void;
  readonly closed: boolean;
  [Symbol.dispose](): void;

  /** Replaces everything with `tracks`, starting at `startIndex` (clamped); `seed` fixes a shuffled order. */
  setTracks(tracks: string | TrackInput[], startIndex?: number, seed?: Int64): void;
  /** PLAY (moved, wrapping under repeat all) or NONE. */
  next(): Action;
  /** RESTART above 3 s or at the first entry, PLAY when it moved back, NONE with no current entry. */
  previous(position?: number): Action;
  /** PLAY, NONE (stop), RESTART (repeat one) or SLEEP (the end-of-track sleep was due). */
  trackEnded(): Action;
  /** Throws PbqError("jump index out of range"). */
  jump(index: number): void;
  setRepeat(mode: RepeatMode): RepeatMode;
  /** off, all, one, off: the new mode. */
  cycleRepeat(): RepeatMode;
  /** Right after the current entry. Throws PbqError("invalid track json", "missing streamURL"). */
  playNext(track: string | TrackInput): Added;
  /** At the end of the queue. */
  addToQueue(track: string | TrackInput): Added;
  removeUpNext(offset: number): boolean;
  moveUpNext(from: number, to: number): boolean;
  clearUpNext(): void;
  setShuffle(enabled: boolean, seed?: Int64): void;
  /** The rate in force, clamped to [0.5, 2.0]: a 32-bit float (1.1 reads back as Math.fround(1.1)). */
  setRate(rate: number): number;
  /** TIMER runs out at now + duration on the host's clock; false when refused. */
  setSleepTimer(mode: SleepMode, duration?: Int64, now?: Int64): boolean;
  /** The time left (as the kind of number `now` was); 0 once when it ran out; null when no timer is armed. */
  checkSleepTimer(now: number): number | null;
  checkSleepTimer(now: bigint): bigint | null;
  stateJson(): string;
  /** The whole state document parsed, with every queue entry. */
  state(): State;
  /** The light read: the members but "queue" now, entries on demand; retires this queue's previous view. */
  view(): View;
  /** The resume document to store when the app goes to the background. */
  exportResume(position: number): string;
  /** The position to seek to, or null when there was nothing to resume; throws PbqError("resume refused"). */
  restoreResume(resume: string, tracks: string | TrackInput[]): number | null;
}

export declare function version(): string;
export declare function abiVersion(): number;
export declare function selftest(): number;

// Type declarations of the pbq-web package: the Node package's Queue, and the C functions.

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
  state(): State;
  /** The resume document to store when the app goes to the background. */
  exportResume(position: number): string;
  /** The position to seek to, or null when there was nothing to resume; throws PbqError("resume refused"). */
  restoreResume(resume: string, tracks: string | TrackInput[]): number | null;
}

export declare function version(): string;
export declare function abiVersion(): number;
export declare function selftest(): number;

/** A pointer into the module's memory (0 is null). */
export type Pointer = number;
/** A pbq_queue handle. */
export type Handle = Pointer;

/** The 26 functions of pbq.h as the WebAssembly module exports them, with its allocator. */
export interface CApi {
  pbq_version(): Pointer;
  pbq_abi_version(): number;
  pbq_last_error(): Pointer;
  pbq_free(p: Pointer): void;
  pbq_create(): Handle;
  pbq_destroy(q: Handle): void;
  pbq_set_tracks_json(q: Handle, tracksJson: Pointer, startIndex: number, seed: bigint): number;
  pbq_next(q: Handle): number;
  pbq_on_track_ended(q: Handle): number;
  pbq_previous(q: Handle, position: number): number;
  pbq_jump(q: Handle, index: number): number;
  pbq_set_repeat(q: Handle, mode: number): number;
  pbq_cycle_repeat(q: Handle): number;
  pbq_play_next_json(q: Handle, trackJson: Pointer): number;
  pbq_add_to_queue_json(q: Handle, trackJson: Pointer): number;
  pbq_remove_up_next(q: Handle, offset: number): number;
  pbq_move_up_next(q: Handle, from: number, to: number): number;
  pbq_clear_up_next(q: Handle): number;
  pbq_set_shuffle(q: Handle, enabled: number, seed: bigint): number;
  pbq_set_rate(q: Handle, rate: number): number;
  pbq_set_sleep_timer(q: Handle, mode: number, duration: bigint, now: bigint): number;
  pbq_check_sleep_timer(q: Handle, now: bigint): bigint;
  pbq_state_json(q: Handle): Pointer;
  pbq_export_resume_json(q: Handle, position: number): Pointer;
  pbq_restore_resume_json(q: Handle, resumeJson: Pointer, tracksJson: Pointer, outPosition: Pointer): number;
  pbq_selftest(): number;
  malloc(size: number): Pointer;
  free(p: Pointer): void;
  /** The module's memory as bytes: a new view after the memory grew, so take it after each call. */
  memory(): Uint8Array;
}
export declare const capi: CApi;

declare const pbq: {
  Queue: typeof Queue;
  PbqError: typeof PbqError;
  Action: typeof Action;
  RepeatMode: typeof RepeatMode;
  SleepMode: typeof SleepMode;
  Added: typeof Added;
  version: typeof version;
  abiVersion: typeof abiVersion;
  selftest: typeof selftest;
  capi: CApi;
};
export default pbq;

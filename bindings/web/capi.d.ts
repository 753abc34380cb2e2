// Type declarations that pbq-web adds to the Node package's (bindings/node/index.d.ts): the
// build writes the package's index.d.ts as the Node package's declarations followed by these,
// so that the two Queues cannot drift apart.

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
  View: typeof View;
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

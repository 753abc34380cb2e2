// A TypeScript host of pbq-web, type-checked by the tests (tsc --noEmit --strict): the
// declarations must describe what index.js gives.
import pbq, { Action, Added, PbqError, Queue, RepeatMode, SleepMode, State, Track, View, capi, version } from 'pbq-web';

const q: Queue = new Queue();
q.setTracks([{ streamURL: 'a.m4a', title: 'A', duration: 1 }], 0, 42n);
q.setTracks('[{"streamURL": "b.m4a"}]');
const moved: Action = q.next();
if (moved === Action.PLAY || q.previous(1.5) === Action.RESTART) q.trackEnded();
const mode: RepeatMode = q.cycleRepeat();
const added: Added = q.addToQueue({ streamURL: 'c.m4a' });
q.setShuffle(added === Added.STARTED, 7);
q.setSleepTimer(SleepMode.TIMER, 100n, 0n);
const left: bigint | null = q.checkSleepTimer(10n);
const leftMs: number | null = q.checkSleepTimer(10);
const state: State = q.state();
const view: View = q.view();
const window: Track[] = view.entries(Math.max(0, view.currentIndex - 10), 20);
const entry: Track | null = view.entry(0);
console.log(view.hasNext, window.length, entry?.title, pbq.View === View);
const position: number | null = q.restoreResume(q.exportResume(2.5), '[]');
try {
  q.jump(99);
} catch (e) {
  if (e instanceof PbqError) console.log(e.message);
}
q.close();

// The C functions: pointers are numbers, 64-bit values BigInt.
const h: number = capi.pbq_create();
const left64: bigint = capi.pbq_check_sleep_timer(h, 0n);
const doc: number = capi.pbq_state_json(h);
const bytes: Uint8Array = capi.memory();
capi.pbq_free(doc);
capi.pbq_destroy(h);
console.log(version(), pbq.abiVersion(), mode, left, leftMs, state.currentTrack?.title, position, left64, bytes.length);

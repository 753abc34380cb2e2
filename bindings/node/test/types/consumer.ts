// A TypeScript host of the package, type-checked by the tests (tsc --noEmit --strict):
// the declarations must describe what index.js gives.
import { Action, Added, PbqError, Queue, RepeatMode, SleepMode, State, Track, View, version } from 'pbq';

const q: Queue = new Queue();
q.setTracks([{ streamURL: 'a.m4a', title: 'A', duration: 1 }], 0, 42n);
q.setTracks('[{"streamURL": "b.m4a"}]');
const moved: Action = q.next();
if (moved === Action.PLAY || q.previous(1.5) === Action.RESTART) q.trackEnded();
const mode: RepeatMode = q.cycleRepeat();
q.setRepeat(RepeatMode.ONE);
const added: Added = q.addToQueue({ streamURL: 'c.m4a' });
q.setShuffle(added === Added.STARTED, 7);
const rate: number = q.setRate(1.25);
q.setSleepTimer(SleepMode.TIMER, 100n, 0n);
const left: bigint | null = q.checkSleepTimer(10n);
const leftMs: number | null = q.checkSleepTimer(10);
const state: State = q.state();
const title: string | undefined = state.currentTrack?.title;
const view: View = q.view();
const upNext: Track[] = view.entries(view.currentIndex + 1, 20);
const first: Track | null = view.entry(0);
const count: number = view.queueCount + upNext.length + (first?.duration ?? 0);
const position: number | null = q.restoreResume(q.exportResume(2.5), '[]');
try {
  q.jump(99);
} catch (e) {
  if (e instanceof PbqError) console.log(e.message);
}
q.close();
console.log(version(), mode, rate, left, leftMs, title, position, q.closed, count);

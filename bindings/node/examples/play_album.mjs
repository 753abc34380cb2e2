// Plays examples/album.json as the pbq command-line host's session does, through the
// pbq package's ES module entry: buttons, the end of tracks, up next, repeat, shuffle,
// rate, the sleep timer, errors, and a relaunch from the resume document.
//
//   PBQ_ADDON=build/bindings/node/pbq.node node bindings/node/examples/play_album.mjs [ALBUM.json]
//
// Run from a checkout without PBQ_ADDON it uses the addon of `make test-bindings`.
import { existsSync, readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import path from 'node:path';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..', '..');
const built = path.join(repo, 'build', 'bindings', 'node', 'pbq.node');
if (!process.env.PBQ_ADDON && existsSync(built)) process.env.PBQ_ADDON = built;
const { Queue, PbqError, Action, RepeatMode, SleepMode } = await import('../index.mjs');

const MINUTE = 60_000; // the simulated clock counts milliseconds

function nowPlaying(q) {
  const { currentIndex, currentTrack: t } = q.view(); // the light read: everything but the queue
  return t ? `#${currentIndex} ${t.title} - ${t.artist}` : 'nothing';
}

const verbs = { [Action.PLAY]: 'play', [Action.NONE]: 'stop at', [Action.RESTART]: 'replay', [Action.SLEEP]: 'sleep after' };
const act = (q, what, action) => console.log(`${what.padEnd(14)} -> ${verbs[action]} ${nowPlaying(q)}`);

const album = readFileSync(process.argv[2] ?? path.join(repo, 'examples', 'album.json'), 'utf8');
let resume;
const q = new Queue();
try {
  q.setTracks(album, 0);
  console.log(`loaded ${q.view().queueCount} tracks, playing ${nowPlaying(q)}`);
  act(q, 'next', q.next());
  act(q, 'track ended', q.trackEnded());
  act(q, 'previous 1.5s', q.previous(1.5));
  act(q, 'previous 42s', q.previous(42));

  q.playNext({ streamURL: 'https://media.example/guests/rain-on-tin.m4a', title: 'Rain on Tin', artist: 'Ilse Varga', duration: 154 });
  q.addToQueue({ streamURL: 'https://media.example/guests/night-bus.m4a', title: 'Night Bus', artist: 'Ilse Varga', duration: 208 });
  q.moveUpNext(0, 2);
  q.removeUpNext(1);
  const s = q.view();
  // The entries on screen only: here the first ten of up next.
  console.log('up next:', s.entries(s.currentIndex + 1, 10).map((t) => t.title).join(', '));

  q.jump(s.queueCount - 1);
  act(q, 'track ended', q.trackEnded());
  q.setRepeat(RepeatMode.ALL);
  act(q, 'next (all)', q.next());
  q.setRepeat(RepeatMode.ONE);
  act(q, 'ended (one)', q.trackEnded());

  q.setShuffle(true, 2024);
  console.log('shuffled:', q.state().queue.map((t) => t.title.split(' ')[0]).join(' ')); // all of it
  q.setShuffle(false);
  console.log(`rate ${q.setRate(1.25).toFixed(2)}x`);

  let clock = 0;
  q.setSleepTimer(SleepMode.TIMER, 30 * MINUTE, clock);
  for (const step of [20, 10]) {
    clock += step * MINUTE;
    const left = q.checkSleepTimer(clock);
    console.log(`after ${step} min: ${left ? `${left / MINUTE} min left` : 'sleep now'}`);
  }
  q.setSleepTimer(SleepMode.END_OF_TRACK);
  act(q, 'track ended', q.trackEnded());

  for (const attempt of [() => q.jump(99), () => q.addToQueue({ title: 'no address' }), () => q.addToQueue('[1,')]) {
    try {
      attempt();
    } catch (e) {
      if (!(e instanceof PbqError)) throw e;
      console.log('error:', e.message);
    }
  }

  q.jump(3);
  resume = q.exportResume(83.5);
  console.log('saved:', resume);
} finally {
  q.close();
}

const relaunched = new Queue();
try {
  const position = relaunched.restoreResume(resume, album);
  if (position === null) {
    relaunched.setTracks(album);
    console.log('nothing to resume');
  } else {
    console.log(`resumed ${nowPlaying(relaunched)} at ${position} s`);
  }
} finally {
  relaunched.close();
}

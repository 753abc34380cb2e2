'use strict';
// The Node binding's reads at each queue length: the light read after a command
// (next(), then view() and a window of 20 entries around the current one), the whole
// state() and stateJson(). Prints `node N name: ms` lines, the best of several rounds.
//   PBQ_ADDON=... node light.js 10 100000 1000000
const path = require('node:path');
const pbq = require(process.env.PBQ_NODE_PACKAGE ?? path.join(__dirname, '..', '..', '..', 'bindings', 'node'));

function tracksJson(n) {
  const out = [];
  for (let i = 0; i < n; i++) {
    out.push(`{"streamURL":"https://media.example/artist/album/${String(i).padStart(7, '0')}.m4a",` +
      `"title":"Track ${i} of the album \\"Live\\" \u00e9t\u00e9","artist":"Some Artist",` +
      '"artworkURL":"https://media.example/artist/album/cover.jpg","duration":215.5}');
  }
  return `[${out.join(',')}]`;
}

function best(fn, rounds) {
  let low = Infinity;
  for (let r = 0; r < rounds; r++) {
    const t0 = process.hrtime.bigint();
    fn();
    low = Math.min(low, Number(process.hrtime.bigint() - t0) / 1e6);
  }
  return low.toFixed(3);
}

function light(q) {
  q.next();
  const view = q.view();
  view.entries(Math.max(0, view.currentIndex - 10), 20);
}

for (const n of process.argv.slice(2).map(Number)) {
  const rounds = n >= 1000000 ? 3 : 10;
  const q = new pbq.Queue();
  q.setTracks(tracksJson(n));
  q.setRepeat(pbq.RepeatMode.ALL);
  q.jump(Math.floor(n / 2));
  console.log(`node ${n} state_json: ${best(() => q.stateJson(), rounds)}`);
  console.log(`node ${n} state: ${best(() => q.state(), rounds)}`);
  if (typeof q.view === 'function') console.log(`node ${n} light: ${best(() => light(q), rounds)}`);
  q.close();
}

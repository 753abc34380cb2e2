'use strict';
// The Node binding's side of the bindings' benchmark: nanoseconds per call of
// next(), stateJson() and state() (parsed) on 1,000 tracks, the best of five rounds,
// as bench_c.c measures the C calls.
const pbq = require('../node');

function tracksJson(n) {
  const out = [];
  for (let i = 0; i < n; i++) {
    out.push(`{"streamURL":"https://media.example/artist/album/${String(i).padStart(4, '0')}.m4a",` +
      `"title":"Track ${i} of the album","artist":"Some Artist",` +
      '"artworkURL":"https://media.example/artist/album/cover.jpg","duration":215.5}');
  }
  return `[${out.join(',')}]`;
}

function best(fn, n) {
  let min = Infinity;
  for (let round = 0; round < 5; round++) {
    const t0 = process.hrtime.bigint();
    for (let i = 0; i < n; i++) fn();
    min = Math.min(min, Number(process.hrtime.bigint() - t0) / n);
  }
  return min;
}

const q = new pbq.Queue();
q.setTracks(tracksJson(1000));
q.setRepeat(pbq.RepeatMode.ALL);
console.log(`next ${best(() => q.next(), 2000000).toFixed(1)}`);
console.log(`state_json ${best(() => q.stateJson(), 2000).toFixed(1)}`);
console.log(`state ${best(() => q.state(), 500).toFixed(1)}`);
q.close();

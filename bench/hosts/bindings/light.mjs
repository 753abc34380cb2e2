// The reads of a JavaScript package at each queue length, under Node: the light read
// after a command (next(), then view() and a window of 20 entries around the current
// one), the whole state() and stateJson(). Prints `HOST N name: ms` lines, the best of
// several rounds. HOST names the package: node (bindings/node; its addon from $PBQ_ADDON)
// or web (the built pbq-web package).
//   node light.mjs node bindings/node 10 100000 1000000
//   node light.mjs web build/wasm/package 10 100000 1000000
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [host, pkg, ...sizes] = process.argv.slice(2);
const pbq = (await import(pathToFileURL(path.join(path.resolve(pkg), 'index.js')).href)).default;

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

for (const n of sizes.map(Number)) {
  const rounds = n >= 1000000 ? 3 : 10;
  const q = new pbq.Queue();
  q.setTracks(tracksJson(n));
  q.setRepeat(pbq.RepeatMode.ALL);
  q.jump(Math.floor(n / 2));
  console.log(`${host} ${n} state_json: ${best(() => q.stateJson(), rounds)}`);
  console.log(`${host} ${n} state: ${best(() => q.state(), rounds)}`);
  if (typeof q.view === 'function') console.log(`${host} ${n} light: ${best(() => light(q), rounds)}`);
  q.close();
}

// The web package's size and speed against the native library, in one run:
//   node bindings/web/bench/bench.mjs NATIVE_BENCH [TRACKS]     (TRACKS 100000)
// At TRACKS tracks: the load through the package's Queue (the text crossing in) against
// JSON.parse of the same text in the same engine, the state document made in the module
// against the same C call natively, and the .wasm's size; the load against native and the
// document's way into a JS string are figures only (yyjson's parser runs about twice as
// slowly in WebAssembly as natively). Exits 1 when a goal is missed.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { PACKAGE, pbq } from '../test/common.mjs';

const [nativeBench, count = '100000'] = process.argv.slice(2);
const TRACKS = Number(count);
const ROUNDS = 15;

// The tracks of every binding's benchmark: about 200 bytes each.
function tracksJson(n) {
  const parts = [];
  for (let i = 0; i < n; i++) {
    parts.push(`{"streamURL":"https://media.example/artist/album/${String(i).padStart(4, '0')}.m4a",` +
      `"title":"Track ${i} of the album","artist":"Some Artist",` +
      '"artworkURL":"https://media.example/artist/album/cover.jpg","duration":215.5}');
  }
  return `[${parts.join(',')}]`;
}

// The best round: what the code costs, with the least of a busy machine's noise.
function best(values) {
  return Math.min(...values);
}

function timed(fn) {
  const t0 = performance.now();
  const result = fn();
  return [performance.now() - t0, result];
}

const tracks = tracksJson(TRACKS);
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'pbq-web-bench-'));
const tracksFile = path.join(dir, 'tracks.json');
const nativeDocFile = path.join(dir, 'state.json');
fs.writeFileSync(tracksFile, tracks);

const q = new pbq.Queue();
const { capi } = pbq;
const handle = capi.pbq_create(); // a C handle of its own, for the module-only figures
const load = [], loadInModule = [], state = [], stateInModule = [], parse = [], parseTracks = [];
let doc = '';
for (let i = 0; i < ROUNDS; i++) {
  load.push(timed(() => q.setTracks(tracks))[0]);
  let d;
  [d, doc] = timed(() => q.stateJson());
  state.push(d);
  parse.push(timed(() => JSON.parse(doc))[0]);
  parseTracks.push(timed(() => JSON.parse(tracks))[0]);
}
// The same calls in the module only, the texts already in its memory or left there.
const bytes = new TextEncoder().encode(`${tracks}\0`);
for (let i = 0; i < ROUNDS; i++) {
  const text = capi.malloc(bytes.length);
  capi.memory().set(bytes, text);
  loadInModule.push(timed(() => capi.pbq_set_tracks_json(handle, text, 0, 0n))[0]);
  capi.free(text);
}
for (let i = 0; i < ROUNDS; i++) {
  const [d, p] = timed(() => capi.pbq_state_json(handle));
  stateInModule.push(d);
  capi.pbq_free(p);
}
capi.pbq_destroy(handle);
q.close();

// Native twice: with glibc's allocator as a host gets it, which maps each large block
// afresh (a 20 MB text is then mostly page faults), and with its blocks kept mapped,
// as the module's memory stays grown: the floor the goals are measured against.
const runNative = (env) => JSON.parse(execFileSync(nativeBench, [tracksFile, String(ROUNDS), nativeDocFile],
  { encoding: 'utf8', env: { ...process.env, ...env } }));
const nativeDefault = runNative({});
const native = runNative({ GLIBC_TUNABLES: 'glibc.malloc.mmap_threshold=1073741824:glibc.malloc.trim_threshold=4294967296' });
const identical = fs.readFileSync(nativeDocFile, 'utf8') === doc;
fs.rmSync(dir, { recursive: true });

const wasm = fs.readFileSync(path.join(PACKAGE, 'pbq_core.wasm'));
const gzipped = zlib.gzipSync(wasm, { level: 9 }).length;
const web = { load: best(load), loadInModule: best(loadInModule), state: best(state),
  stateInModule: best(stateInModule), parse: best(parse), parseTracks: best(parseTracks) };
const crossing = web.state - web.stateInModule;

const ms = (v) => `${v.toFixed(1)} ms`;
const goals = [
  [`load within 0.5x of JSON.parse of the same text (${(web.load / web.parseTracks).toFixed(2)}x)`,
    web.load <= 0.5 * web.parseTracks],
  [`state document (made in the module) within 1.5x native (${(web.stateInModule / native.state_ms).toFixed(2)}x)`,
    web.stateInModule <= 1.5 * native.state_ms],
  ['.wasm at most 100 KB gzipped', gzipped <= 100 * 1024],
  ['state document byte-identical to the native one', identical],
];
console.log(`pbq-web, ${TRACKS.toLocaleString('en')} tracks (${(tracks.length / 1e6).toFixed(1)} MB of JSON), ` +
  `best of ${ROUNDS} rounds, Node ${process.versions.node}`);
console.log('');
const row = (name, w, n, d) => console.log(`| ${name} | ${ms(w)} | ${n === undefined ? '' : ms(n)} | ${
  n === undefined ? '' : (w / n).toFixed(2)} | ${d === undefined ? '' : ms(d)} |`);
console.log('| | web (Node) | native, blocks kept mapped | web / native | native, glibc as is |');
console.log('|---|---|---|---|---|');
row('load (`setTracks`, the text crossing in)', web.load, native.load_ms, nativeDefault.load_ms);
row('load, in the module only', web.loadInModule, native.load_ms);
row('state document, made in the module', web.stateInModule, native.state_ms, nativeDefault.state_ms);
row(`its way into a JS string (${(doc.length / 1e6).toFixed(1)} MB)`, crossing);
row('`stateJson()`, both together', web.state);
row('`JSON.parse` of the document', web.parse);
row('`JSON.parse` of the track list', web.parseTracks);
console.log('');
console.log(`pbq_core.wasm: ${wasm.length.toLocaleString('en')} bytes, ${gzipped.toLocaleString('en')} gzipped`);
console.log('');
console.log(`figures: load ${(web.load / native.load_ms).toFixed(2)}x native; the document into a JS string ` +
  `${(crossing / web.parse).toFixed(2)}x JSON.parse of it`);
console.log('');
for (const [goal, held] of goals) console.log(`${held ? 'holds' : 'MISSED'}: ${goal}`);
process.exitCode = goals.every(([, held]) => held) ? 0 : 1;

// The web package against the library itself: what it ships (the .wasm's size, the
// entry point by name), the texts and numbers crossing into the module, the C
// functions as they are, memory over many calls, and a C host built against libpbq.a.
import test from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { REPO, PACKAGE, pbq } from './common.mjs';

const THREE = JSON.stringify([{ streamURL: '1.m4a' }, { streamURL: '2.m4a' }, { streamURL: '3.m4a' }]);
const HEADER = fs.readFileSync(path.join(REPO, 'include', 'pbq.h'), 'utf8');

test('the .wasm is at most 100 KB gzipped', () => {
  const wasm = fs.readFileSync(path.join(PACKAGE, 'pbq_core.wasm'));
  const gzipped = zlib.gzipSync(wasm, { level: 9 }).length;
  assert.ok(gzipped <= 100 * 1024, `${gzipped} bytes gzipped`);
});

test('enums, version and self-test hold what pbq.h says', () => {
  for (const [prefix, e] of [['PBQ_ACTION_', pbq.Action], ['PBQ_REPEAT_', pbq.RepeatMode],
    ['PBQ_SLEEP_', pbq.SleepMode], ['PBQ_ADDED_', pbq.Added]]) {
    const found = {};
    for (const m of HEADER.matchAll(new RegExp(`\\b${prefix}([A-Z_]+) = (-?\\d+)`, 'g'))) found[m[1]] = Number(m[2]);
    assert.deepEqual({ ...e }, found, prefix);
  }
  assert.equal(pbq.version(), execFileSync('cmake', ['-P', path.join(REPO, 'cmake', 'pbq_header.cmake'), 'version'],
    { encoding: 'utf8' }).trim());
  assert.equal(pbq.abiVersion(), 1);
  assert.equal(pbq.selftest(), 0);
});

test('the package imports by name, as an installed one does', () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'pbq-web-esm-'));
  try {
    fs.mkdirSync(path.join(dir, 'node_modules'));
    fs.symlinkSync(PACKAGE, path.join(dir, 'node_modules', 'pbq-web'));
    fs.writeFileSync(path.join(dir, 'main.mjs'), "import pbq, { Queue, capi } from 'pbq-web';" +
      "const q = new Queue(); q.setTracks([{ streamURL: 'a' }]); console.log(pbq.version(), q.state().queueCount," +
      'Object.keys(capi).length); q.close();');
    const r = spawnSync(process.execPath, ['main.mjs'], { cwd: dir, encoding: 'utf8' });
    assert.equal(r.status, 0, r.stderr);
    assert.equal(r.stdout.trim(), `${pbq.version()} 1 29`);
  } finally {
    fs.rmSync(dir, { recursive: true });
  }
});

test('texts cross in UTF-8 both ways, short and long', () => {
  const q = new pbq.Queue();
  try {
    // Two-, three- and four-byte characters; a lone surrogate becomes U+FFFD as in Node.
    // (Raw JSON text: JSON.stringify would escape the surrogate, which strict JSON refuses.)
    q.setTracks('[{"streamURL": "ü.m4a", "title": "Ça — 東京 🎵 \ud800!", "artist": "Zoë"}]');
    const track = q.state().currentTrack;
    assert.equal(track.title, 'Ça — 東京 🎵 \ufffd!');
    assert.equal(track.streamURL, 'ü.m4a');
    assert.equal(JSON.parse(q.exportResume(1)).lastTrackURL, 'ü.m4a');
    // Non-ASCII past the first guess at the text's size: the buffer grows, nothing is lost.
    const many = Array.from({ length: 3000 }, (_, i) => ({ streamURL: `${i}.m4a`, title: `曲${i}🎶`.repeat(3) }));
    q.setTracks(many, 2999);
    const state = q.state();
    assert.equal(state.queueCount, 3000);
    assert.equal(state.currentTrack.title, '曲2999🎶曲2999🎶曲2999🎶');
    assert.equal(state.queue[1234].title, '曲1234🎶曲1234🎶曲1234🎶');
    // The library reads a text up to its first NUL, as from Node.
    assert.throws(() => q.playNext('{"streamURL": "x"}\u0000garbage'.slice(0, 4)), { message: 'invalid track json' });
    assert.equal(q.playNext('{"streamURL": "x"}\u0000garbage'), pbq.Added.QUEUED);
  } finally {
    q.close();
  }
});

test('numbers keep their meaning across the boundary', () => {
  const q = new pbq.Queue();
  try {
    q.setTracks(THREE, 1);
    // Wrapped to 32 bits, 2**32 would be entry 0.
    assert.throws(() => q.jump(2 ** 32), { message: 'jump index out of range' });
    assert.equal(q.removeUpNext(2 ** 32), false);
    q.setTracks(THREE, 2 ** 32 + 1);
    assert.equal(q.state().currentIndex, 2);
    q.setTracks(THREE, NaN);
    assert.equal(q.state().currentIndex, 0);
    // Seeds: the full unsigned range as BigInt, safe integers as numbers, nothing rounded.
    q.setShuffle(true, 2n ** 64n - 1n);
    const order = q.state().queue.map((t) => t.streamURL);
    q.setShuffle(false);
    q.setShuffle(true, 2n ** 64n - 1n);
    assert.deepEqual(q.state().queue.map((t) => t.streamURL), order);
    assert.throws(() => q.setShuffle(true, 2 ** 53 + 2), RangeError);
    assert.throws(() => q.setShuffle(true, -1n), RangeError);
    assert.throws(() => q.setShuffle(true, 2n ** 64n), RangeError);
    // The clock's kind comes back: BigInt in, BigInt out; int64's ends hold.
    assert.equal(q.setSleepTimer(pbq.SleepMode.TIMER, 10n ** 15n, 2n ** 62n), true);
    assert.equal(q.checkSleepTimer(2n ** 62n + 1n), 10n ** 15n - 1n);
    assert.equal(q.setSleepTimer(pbq.SleepMode.TIMER, 100, 5), true);
    assert.equal(q.checkSleepTimer(45), 60);
    assert.equal(q.checkSleepTimer(105), 0);
    assert.equal(q.checkSleepTimer(106), null);
    assert.throws(() => q.setSleepTimer(pbq.SleepMode.TIMER, 2n ** 63n, 0), RangeError);
    assert.throws(() => q.setSleepTimer(pbq.SleepMode.TIMER, 1.5, 0), RangeError);
    assert.equal(q.setRate(1.1), Math.fround(1.1));
    assert.equal(q.setRate(NaN), 0.5);
    assert.equal(q.restoreResume('{"lastTrackURL": "2.m4a", "lastTrackTime": 83.25}', THREE), 83.25);
    assert.throws(() => q.previous('1.5'), { name: 'TypeError', message: 'pbq: a number was expected' });
    assert.throws(() => q.setTracks(undefined), { name: 'TypeError', message: 'pbq: a string was expected' });
  } finally {
    q.close();
  }
});

test('the 26 C functions are there as they are', () => {
  const declared = execFileSync('cmake', ['-P', path.join(REPO, 'cmake', 'pbq_header.cmake'), 'exports'],
    { encoding: 'utf8' }).trim().split('\n').sort();
  const { capi } = pbq;
  assert.deepEqual(Object.keys(capi).filter((k) => k.startsWith('pbq_')).sort(), declared);

  // A short session through the C ABI: texts in through malloc, documents out as pointers.
  const text = (s) => {
    const bytes = new TextEncoder().encode(`${s}\0`);
    const p = capi.malloc(bytes.length);
    capi.memory().set(bytes, p);
    return p;
  };
  const read = (p) => {
    const heap = capi.memory();
    return new TextDecoder().decode(heap.subarray(p, heap.indexOf(0, p)));
  };
  const q = capi.pbq_create();
  const tracks = text(THREE);
  try {
    assert.equal(capi.pbq_set_tracks_json(q, tracks, 0, 7n), 0);
    assert.equal(capi.pbq_next(q), pbq.Action.PLAY);
    assert.equal(capi.pbq_jump(q, 9), -1);
    assert.equal(read(capi.pbq_last_error()), 'jump index out of range');
    assert.equal(capi.pbq_check_sleep_timer(q, 0n), -1n);
    const doc = capi.pbq_state_json(q);
    assert.equal(JSON.parse(read(doc)).currentIndex, 1);
    capi.pbq_free(doc);
    assert.equal(read(capi.pbq_version()), pbq.version());
  } finally {
    capi.free(tracks);
    capi.pbq_destroy(q);
  }
});

test('calls in a loop do not grow the module\'s memory', () => {
  // Every path that allocates (texts in, documents out, refused calls) many times over:
  // an unfreed block would grow the memory by megabytes.
  const album = fs.readFileSync(path.join(REPO, 'examples', 'album.json'), 'utf8');
  const q = new pbq.Queue();
  const round = (i) => {
    q.setTracks(album, 1);
    q.stateJson();
    q.exportResume(i);
    q.playNext({ streamURL: `extra-${i}.m4a`, title: 'x'.repeat(200) });
    assert.throws(() => q.setTracks('{'), { message: 'invalid tracks json' });
    q.restoreResume(q.exportResume(i), album);
    new pbq.Queue().close();
  };
  try {
    for (let i = 0; i < 500; i++) round(i);
    const before = pbq.capi.memory().length;
    for (let i = 0; i < 20000; i++) round(i);
    assert.equal(pbq.capi.memory().length, before);
  } finally {
    q.close();
  }
});

test('a C host built with emcc against libpbq.a prints what it prints natively', () => {
  const wasmHost = path.join(REPO, 'build', 'wasm', 'cmake', 'pbq_example_wasm.js');
  const nativeHost = process.env.PBQ_NATIVE_EXAMPLE || path.join(REPO, 'build', 'release', 'examples', 'pbq_example');
  const native = spawnSync(nativeHost, [], { encoding: 'utf8' });
  assert.equal(native.status, 0, `${nativeHost}: ${native.error ?? native.stderr}`);
  const web = spawnSync(process.execPath, [wasmHost], { encoding: 'utf8' });
  assert.equal(web.status, 0, web.stderr);
  assert.ok(native.stdout.includes('state: {"currentIndex"'));
  assert.equal(web.stdout, native.stdout);
});

test('the TypeScript declarations describe the package', () => {
  // tsc from web/'s lockfile, which `make test-web` installs.
  const tsc = path.join(REPO, 'web', 'node_modules', 'typescript', 'bin', 'tsc');
  const config = path.join(REPO, 'bindings', 'web', 'test', 'types', 'tsconfig.json');
  const r = spawnSync(process.execPath, [tsc, '-p', config], { encoding: 'utf8' });
  assert.equal(r.status, 0, `${r.stdout}${r.stderr}`);
});

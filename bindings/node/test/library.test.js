'use strict';
// The package against the library itself: enum values, loading, number conversions,
// both entry points, and memory over many documents.
const test = require('node:test');
const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const v8 = require('node:v8');
const vm = require('node:vm');
const { REPO, pbq } = require('./common');

const PACKAGE = path.resolve(__dirname, '..');
const THREE = JSON.stringify([{ streamURL: '1.m4a' }, { streamURL: '2.m4a' }, { streamURL: '3.m4a' }]);

test('enums hold the values of pbq.h', () => {
  const header = fs.readFileSync(path.join(REPO, 'include', 'pbq.h'), 'utf8');
  for (const [prefix, e] of [['PBQ_ACTION_', pbq.Action], ['PBQ_REPEAT_', pbq.RepeatMode],
    ['PBQ_SLEEP_', pbq.SleepMode], ['PBQ_ADDED_', pbq.Added]]) {
    const found = {};
    for (const m of header.matchAll(new RegExp(`\\b${prefix}([A-Z_]+) = (-?\\d+)`, 'g'))) found[m[1]] = Number(m[2]);
    assert.ok(Object.keys(found).length > 1, prefix);
    assert.deepEqual({ ...e }, found, prefix);
  }
});

test('version and self-test', () => {
  assert.equal(pbq.version(), '1.0.0');
  assert.equal(pbq.abiVersion(), 1);
  assert.equal(pbq.selftest(), 0);
});

test('the ES module entry point gives the same objects', () => {
  const code = "import pbq, { Queue, Action } from 'pbq'; import { createRequire } from 'node:module';" +
    "const cjs = createRequire(import.meta.url)('pbq');" +
    "if (Queue !== cjs.Queue || Action !== cjs.Action || pbq !== cjs) process.exit(3);" +
    'const q = new Queue(); q.close(); console.log(pbq.version());';
  // Resolved by name from a scratch folder whose node_modules links to the package.
  const dir = fs.mkdtempSync(path.join(require('node:os').tmpdir(), 'pbq-esm-'));
  fs.mkdirSync(path.join(dir, 'node_modules'));
  fs.symlinkSync(PACKAGE, path.join(dir, 'node_modules', 'pbq'));
  fs.writeFileSync(path.join(dir, 'main.mjs'), code);
  const r = spawnSync(process.execPath, ['main.mjs'], { cwd: dir, encoding: 'utf8' });
  fs.rmSync(dir, { recursive: true });
  assert.equal(r.status, 0, r.stderr);
  assert.equal(r.stdout.trim(), '1.0.0');
});

test('a load failure names what is missing: the addon, or the library it needs', (t) => {
  if (!process.env.PBQ_ADDON) return t.skip('PBQ_ADDON names no built addon');
  // The addon alone in a folder: found, but its libpbq.so.1 (RUNPATH $ORIGIN) is not.
  const dir = fs.mkdtempSync(path.join(require('node:os').tmpdir(), 'pbq-addon-'));
  fs.copyFileSync(process.env.PBQ_ADDON, path.join(dir, 'pbq.node'));
  const cases = [
    { name: 'no addon', addon: '/nonexistent/pbq.node',
      says: [/cannot load the addon pbq\.node/, /\$PBQ_ADDON: no \/nonexistent\/pbq\.node/, /set PBQ_ADDON/] },
    { name: 'no library', addon: path.join(dir, 'pbq.node'),
      says: [/the addon pbq\.node was found but cannot load libpbq\.so\.1, which it needs/, /pbq\.node was found, but not libpbq\.so\.1/,
        /Put libpbq\.so\.1 beside /],
      never: /build pbq\.node|PBQ_ADDON to|reinstall the package if/ },
  ];
  try {
    for (const c of cases) {
      const env = { ...process.env, PBQ_ADDON: c.addon };
      delete env.LD_LIBRARY_PATH;
      const r = spawnSync(process.execPath, ['-e', `require(${JSON.stringify(PACKAGE)})`], { env, encoding: 'utf8' });
      assert.notEqual(r.status, 0, c.name);
      for (const re of c.says) assert.match(r.stderr, re, c.name);
      if (c.never) assert.doesNotMatch(r.stderr, c.never, c.name);
    }
  } finally {
    fs.rmSync(dir, { recursive: true });
  }
});

test('numbers keep their meaning across the boundary', () => {
  const q = new pbq.Queue();
  try {
    q.setTracks(THREE, 1);
    // Wrapped to 32 bits, 2**32 would be entry 0.
    assert.throws(() => q.jump(2 ** 32), /jump index out of range/);
    assert.equal(q.removeUpNext(2 ** 32), false);
    q.setTracks(THREE, 2 ** 32 + 1);
    assert.equal(q.state().currentIndex, 2);
    // A seed that a double cannot hold exactly is refused, not rounded.
    assert.throws(() => q.setShuffle(true, 2 ** 53 + 2), RangeError);
    assert.throws(() => q.setShuffle(true, -1n), RangeError);
    assert.throws(() => q.setShuffle(true, 2n ** 64n), RangeError);
    // The clock's kind comes back: BigInt in, BigInt out.
    assert.equal(q.setSleepTimer(pbq.SleepMode.TIMER, 10n ** 15n, 2n ** 62n), true);
    assert.equal(q.checkSleepTimer(2n ** 62n + 1n), 10n ** 15n - 1n);
    assert.equal(q.setSleepTimer(pbq.SleepMode.TIMER, 100, 5), true);
    assert.equal(q.checkSleepTimer(45), 60);
    assert.equal(q.setRate(1.1), Math.fround(1.1));
    assert.notEqual(q.setRate(1.1), 1.1);
    assert.equal(q.setRate(NaN), 0.5);
    assert.throws(() => q.previous('1.5'), { name: 'TypeError', message: 'pbq: a number was expected' });
  } finally {
    q.close();
  }
});

test('documents in a loop do not grow memory', () => {
  // 100,000 calls returning documents of about 2 KiB: a text left unfreed would add
  // some 200 MiB. Garbage is collected before each reading, so the allowance only has
  // to cover the heap's own variation.
  v8.setFlagsFromString('--expose-gc');
  const gc = vm.runInNewContext('gc');
  const album = fs.readFileSync(path.join(REPO, 'examples', 'album.json'), 'utf8');
  const q = new pbq.Queue();
  try {
    q.setTracks(album, 1);
    assert.ok(q.stateJson().length > 1500);
    for (let i = 0; i < 5000; i++) q.stateJson(), q.exportResume(i);
    gc();
    const before = process.memoryUsage().rss;
    let bytes = 0;
    for (let i = 0; i < 50000; i++) bytes += q.stateJson().length + q.exportResume(i).length;
    gc();
    const grown = (process.memoryUsage().rss - before) / 1024;
    assert.ok(bytes > 0);
    assert.ok(grown < 40 * 1024, `RSS grew by ${grown} KiB`);
  } finally {
    q.close();
  }
});

test('the TypeScript declarations describe the package', () => {
  // A typed host compiled with a plain ES2020 library and with esnext (which has its
  // own Symbol.dispose): each must type-check strictly.
  const tsc = path.join(PACKAGE, 'node_modules', 'typescript', 'bin', 'tsc');
  for (const config of ['tsconfig.json', 'tsconfig.esnext.json']) {
    const r = spawnSync(process.execPath, [tsc, '-p', path.join(__dirname, 'types', config)], { encoding: 'utf8' });
    assert.equal(r.status, 0, `${config}: ${r.stdout}${r.stderr}`);
  }
});

// The light read (Queue.view()) against the whole state(), over the table of states
// shared by every binding (bindings/light-read.json): the document read inside the
// module's memory.
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { REPO, pbq } from './common.mjs';

const { cases } = JSON.parse(fs.readFileSync(path.join(REPO, 'bindings', 'light-read.json'), 'utf8'));

function build(c) {
  const q = new pbq.Queue();
  if (c.tracks !== null) q.setTracks(c.tracks, c.start ?? 0, 0);
  for (const [method, ...args] of c.steps) q[method](...args);
  return q;
}

function slices(n) {
  return [[0, 0], [0, 1], [0, n], [1, 2], [2, 100], [Math.max(0, n - 1), 1], [n, 1], [n + 5, 2], [0, 2 ** 40]];
}

for (const c of cases) {
  test(`view equals state(): ${c.name}`, () => {
    const q = build(c);
    try {
      const { queue, ...members } = q.state();
      const view = q.view();
      assert.deepEqual({ ...view }, members);
      queue.forEach((entry, i) => assert.deepEqual(view.entry(i), entry, `entry ${i}`));
      for (const i of [-1, queue.length, queue.length + 1, 0.5, NaN, 2 ** 53]) assert.equal(view.entry(i), null, `entry ${i}`);
      for (const [start, count] of slices(queue.length)) {
        assert.deepEqual(view.entries(start, count), queue.slice(start, start + count), `entries(${start}, ${count})`);
      }
      assert.deepEqual(view.entries(0, queue.length), queue);
      for (const [start, count] of [[-1, 1], [0, -1], [0.5, 1], [0, NaN]]) {
        assert.throws(() => view.entries(start, count), RangeError, `entries(${start}, ${count})`);
      }
    } finally {
      q.close();
    }
  });
}

test('a view keeps the state it was taken at; the next view or close retires it and frees its document', () => {
  const q = build(cases.find((c) => c.name.startsWith('an album')));
  const before = q.state();
  const view = q.view();
  q.next();
  q.clearUpNext();
  assert.deepEqual(view.entries(0, 100), before.queue);
  const newer = q.view();
  assert.equal(newer.currentIndex, before.currentIndex + 1);
  for (const read of [() => view.entry(0), () => view.entries(0, 1)]) assert.throws(read, /stale/);
  q.close();
  assert.throws(() => newer.entry(0), /stale/);
  assert.throws(() => q.view(), /queue is closed/);
  assert.throws(() => new pbq.View(), TypeError);
  // Views taken again and again hold one document at a time: the module's memory stays put.
  const big = new pbq.Queue();
  big.setTracks(Array.from({ length: 20000 }, (_, i) => ({ streamURL: `${i}.m4a`, title: 'x'.repeat(100) })));
  for (let i = 0; i < 3; i++) big.view().entry(19999);
  const size = pbq.capi.memory().length;
  for (let i = 0; i < 50; i++) big.view().entry(19999);
  assert.equal(pbq.capi.memory().length, size);
  big.close();
});

test('a view at 100,000 entries reads its window without the rest', () => {
  const n = 100000;
  const q = new pbq.Queue();
  q.setTracks(Array.from({ length: n }, (_, i) => ({ streamURL: `${i}.m4a`, title: `T{"${i}"}` })), n - 3);
  const view = q.view();
  assert.equal(view.queueCount, n);
  assert.equal(view.currentTrack.title, `T{"${n - 3}"}`);
  assert.deepEqual(view.entries(n - 2, 5).map((t) => t.streamURL), [`${n - 2}.m4a`, `${n - 1}.m4a`]);
  assert.equal(view.entry(50000).title, 'T{"50000"}');
  q.close();
});

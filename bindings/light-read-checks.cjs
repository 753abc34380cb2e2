'use strict';
// The light read's checks for the two JavaScript packages, the Node addon
// (bindings/node/test/view.test.js) and the web package (bindings/web/test/view.test.mjs):
// each test file passes its own package's exports as `pbq`, and the checks hold for both.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');

// The table of states shared by every binding.
const { cases } = JSON.parse(fs.readFileSync(path.join(__dirname, 'light-read.json'), 'utf8'));

function build(pbq, c) {
  const q = new pbq.Queue();
  if (c.tracks !== null) q.setTracks(c.tracks, c.start ?? 0, 0);
  for (const [method, ...args] of c.steps) q[method](...args);
  return q;
}

// The slices of a queue of n entries that a view must answer as state().queue.slice does.
function slices(n) {
  return [[0, 0], [0, 1], [0, n], [1, 2], [2, 100], [Math.max(0, n - 1), 1], [n, 1], [n + 5, 2], [0, 2 ** 40]];
}

// The view of case `c` holds every member of state() but the queue, and its entries,
// slices and refusals match state().queue.
function checkViewEqualsState(pbq, c) {
  const q = build(pbq, c);
  try {
    const { queue, ...members } = q.state();
    const view = q.view();
    assert.deepEqual({ ...view }, members);
    queue.forEach((entry, i) => assert.deepEqual(view.entry(i), entry, `entry ${i}`));
    for (const i of [-1, queue.length, queue.length + 1, 0.5, NaN, 2 ** 53]) assert.equal(view.entry(i), null, `entry ${i}`);
    for (const [start, count] of slices(queue.length)) {
      assert.deepEqual(view.entries(start, count), queue.slice(start, start + count), `entries(${start}, ${count})`);
    }
    // Entries read out of order, after the index was built further.
    assert.deepEqual(view.entries(0, queue.length), queue);
    for (const [start, count] of [[-1, 1], [0, -1], [0.5, 1], [0, NaN]]) {
      assert.throws(() => view.entries(start, count), RangeError, `entries(${start}, ${count})`);
    }
  } finally {
    q.close();
  }
}

// A view keeps the state it was taken at; the next view or close retires it: its
// members stay, its entries throw.
function checkViewsRetire(pbq) {
  const q = build(pbq, cases.find((c) => c.name.startsWith('an album')));
  const before = q.state();
  const view = q.view();
  q.next();
  q.clearUpNext();
  assert.equal(view.currentIndex, before.currentIndex);
  assert.deepEqual(view.entries(0, 100), before.queue);
  const newer = q.view();
  assert.equal(newer.currentIndex, before.currentIndex + 1);
  assert.equal(newer.queueCount, before.currentIndex + 2);
  for (const read of [() => view.entry(0), () => view.entries(0, 1), () => view.entry(-1)]) {
    assert.throws(read, /stale/);
  }
  q.close();
  assert.throws(() => newer.entry(0), /stale/);
  assert.equal(newer.queueCount, before.currentIndex + 2);
  assert.throws(() => q.view(), /queue is closed/);
  assert.throws(() => new pbq.View(), TypeError);
}

// A view of 100,000 entries reads its window without the rest; `asText` loads the
// tracks as JSON text, else as objects.
function checkLargeWindow(pbq, asText) {
  const n = 100000;
  const tracks = Array.from({ length: n }, (_, i) => ({ streamURL: `${i}.m4a`, title: `T{"${i}"}` }));
  const q = new pbq.Queue();
  q.setTracks(asText ? JSON.stringify(tracks) : tracks, n - 3);
  const view = q.view();
  assert.equal(view.queueCount, n);
  assert.equal(view.currentTrack.title, `T{"${n - 3}"}`);
  assert.deepEqual(view.entries(n - 2, 5).map((t) => t.streamURL), [`${n - 2}.m4a`, `${n - 1}.m4a`]);
  assert.equal(view.entry(50000).title, 'T{"50000"}');
  q.close();
}

module.exports = { cases, checkViewEqualsState, checkViewsRetire, checkLargeWindow };

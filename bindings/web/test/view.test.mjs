// The light read (Queue.view()) against the whole state(), over the table of states
// shared by every binding (bindings/light-read.json): the document read inside the
// module's memory. The checks are the Node package's too (bindings/light-read-checks.cjs).
import test from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import path from 'node:path';
import { REPO, pbq } from './common.mjs';

const { cases, checkViewEqualsState, checkViewsRetire, checkLargeWindow } =
  createRequire(import.meta.url)(path.join(REPO, 'bindings', 'light-read-checks.cjs'));

for (const c of cases) test(`view equals state(): ${c.name}`, () => checkViewEqualsState(pbq, c));

test('a view keeps the state it was taken at; the next view or close retires it and frees its document', () => {
  checkViewsRetire(pbq);
  // Views taken again and again hold one document at a time: the module's memory stays put.
  const big = new pbq.Queue();
  big.setTracks(Array.from({ length: 20000 }, (_, i) => ({ streamURL: `${i}.m4a`, title: 'x'.repeat(100) })));
  for (let i = 0; i < 3; i++) big.view().entry(19999);
  const size = pbq.capi.memory().length;
  for (let i = 0; i < 50; i++) big.view().entry(19999);
  assert.equal(pbq.capi.memory().length, size);
  big.close();
});

test('a view at 100,000 entries reads its window without the rest', () => checkLargeWindow(pbq, false));

'use strict';
// The light read (Queue.view()) against the whole state(), over the table of states
// shared by every binding (bindings/light-read.json); the checks are the web package's
// too (bindings/light-read-checks.cjs).
const test = require('node:test');
const path = require('node:path');
const { REPO, pbq } = require('./common');

const { cases, checkViewEqualsState, checkViewsRetire, checkLargeWindow } =
  require(path.join(REPO, 'bindings', 'light-read-checks.cjs'));

for (const c of cases) test(`view equals state(): ${c.name}`, () => checkViewEqualsState(pbq, c));

test('a view keeps the state it was taken at; the next view or close retires it', () => checkViewsRetire(pbq));

test('a view at 100,000 entries reads its window without the rest', () => checkLargeWindow(pbq, true));

'use strict';
// The behaviour table shared by every binding (bindings/behaviours.json), run through
// the Node Queue.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { REPO, pbq } = require('./common');

const TABLE = JSON.parse(fs.readFileSync(path.join(REPO, 'bindings', 'behaviours.json'), 'utf8'));
const ENUMS = { action: pbq.Action, repeat: pbq.RepeatMode, added: pbq.Added, sleep: pbq.SleepMode };

const camel = (name) => name.replace(/_([a-z])/g, (_, c) => c.toUpperCase());

function argument(value, kept) {
  if (typeof value === 'string' && value.startsWith('@')) return JSON.stringify(TABLE.tracks[value.slice(1)]);
  if (typeof value === 'string' && value.startsWith('$')) return kept[value.slice(1)];
  if (value && typeof value === 'object' && !Array.isArray(value) && Object.keys(value).length === 1) {
    const [[kind, name]] = Object.entries(value);
    if (kind === 'u64') return BigInt(name);
    if (kind in ENUMS) return ENUMS[kind][name];
  }
  return value; // numbers, booleans, raw JSON text, a track as an object
}

function checkState(where, state, expected) {
  for (const [key, want] of Object.entries(expected)) {
    if (key === 'queueURLs') assert.deepEqual(state.queue.map((t) => t.streamURL), want, where);
    else if (key === 'currentURL') assert.equal(state.currentTrack.streamURL, want, where);
    else assert.deepEqual(state[key], want, `${where} ${key}`);
  }
}

for (const c of TABLE.cases) {
  test(c.name, () => {
    let q = new pbq.Queue();
    const kept = {};
    try {
      c.steps.forEach(([method, args, expected, keep], i) => {
        const where = `step ${i}: ${method}(${JSON.stringify(args)})`;
        if (method === 'reopen') {
          q.close();
          q = new pbq.Queue();
          return;
        }
        const values = args.map((a) => argument(a, kept));
        const call = () => q[camel(method)](...values);
        if (expected && 'error' in expected) {
          assert.throws(call, (e) => e instanceof pbq.PbqError && e.message === expected.error, where);
          return;
        }
        const result = call();
        if (keep) kept[keep] = result;
        if (expected === null) return;
        const [[kind, want]] = Object.entries(expected);
        if (kind === 'value') assert.equal(result, want, where);
        else if (kind === 'float32') assert.equal(result, Math.fround(want), where);
        else if (kind === 'state') checkState(where, result, want);
        else assert.equal(result, ENUMS[kind][want], where);
      });
    } finally {
      q.close();
    }
  });
}

// The shared behaviour table (bindings/behaviours.json) run through the web package's
// Queue: one runner for Node's test runner and for the page that headless Chromium
// opens, so it needs nothing but the package itself.

const camel = (name) => name.replace(/_([a-z])/g, (_, c) => c.toUpperCase());

function same(a, b) {
  return JSON.stringify(a) === JSON.stringify(b);
}

function check(ok, where, got, want) {
  if (!ok) throw new Error(`${where}: got ${JSON.stringify(got)}, want ${JSON.stringify(want)}`);
}

function argument(table, enums, value, kept) {
  if (typeof value === 'string' && value.startsWith('@')) return JSON.stringify(table.tracks[value.slice(1)]);
  if (typeof value === 'string' && value.startsWith('$')) return kept[value.slice(1)];
  if (value && typeof value === 'object' && !Array.isArray(value) && Object.keys(value).length === 1) {
    const [[kind, name]] = Object.entries(value);
    if (kind === 'u64') return BigInt(name);
    if (kind in enums) return enums[kind][name];
  }
  return value; // numbers, booleans, raw JSON text, a track as an object
}

function checkState(where, state, expected) {
  for (const [key, want] of Object.entries(expected)) {
    if (key === 'queueURLs') {
      const urls = state.queue.map((t) => t.streamURL);
      check(same(urls, want), `${where} queueURLs`, urls, want);
    } else if (key === 'currentURL') {
      check(state.currentTrack?.streamURL === want, `${where} currentURL`, state.currentTrack, want);
    } else {
      check(same(state[key], want), `${where} ${key}`, state[key], want);
    }
  }
}

/** Runs one case of the table against `pbq` (the package's exports); throws on a mismatch. */
export function runCase(pbq, table, c) {
  const enums = { action: pbq.Action, repeat: pbq.RepeatMode, added: pbq.Added, sleep: pbq.SleepMode };
  let q = new pbq.Queue();
  const kept = {};
  try {
    c.steps.forEach(([method, args, expected, keep], i) => {
      const where = `${c.name}, step ${i}: ${method}(${JSON.stringify(args)})`;
      if (method === 'reopen') {
        q.close();
        q = new pbq.Queue();
        return;
      }
      const values = args.map((a) => argument(table, enums, a, kept));
      const call = () => q[camel(method)](...values);
      if (expected && 'error' in expected) {
        let thrown = null;
        try {
          call();
        } catch (e) {
          thrown = e;
        }
        check(thrown instanceof pbq.PbqError && thrown.message === expected.error, where,
          thrown && `${thrown.name}: ${thrown.message}`, expected.error);
        return;
      }
      const result = call();
      if (keep) kept[keep] = result;
      if (expected === null) return;
      const [[kind, want]] = Object.entries(expected);
      if (kind === 'value') check(same(result, want), where, result, want);
      else if (kind === 'float32') check(result === Math.fround(want), where, result, Math.fround(want));
      else if (kind === 'state') checkState(where, result, want);
      else check(result === enums[kind][want], where, result, want);
    });
  } finally {
    q.close();
  }
}

/** Every case: the names of those that passed and the messages of those that failed. */
export function runTable(pbq, table) {
  const passed = [];
  const failed = [];
  for (const c of table.cases) {
    try {
      runCase(pbq, table, c);
      passed.push(c.name);
    } catch (e) {
      failed.push(`${c.name}: ${e.message}`);
    }
  }
  return { passed, failed };
}

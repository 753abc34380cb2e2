// The player page's figures at each album length, in headless Chromium: the time to
// ready, a click on Next to its frame (the median and the slowest of ROUNDS clicks after
// a few unmeasured ones), and the rows in the DOM. Prints `web N name: value` lines.
//   node bench/hosts/web/page.mjs 10 100000        (WEB_PAGE_DIR serves another copy of web/)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { makeLongAlbum, openPlayer, rowCounts, timeNextClicks } from '../../../web/test/long-album.mjs';

const REPO = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..', '..', '..');
const ROUNDS = Number(process.env.BENCH_WEB_ROUNDS || 20);

for (const n of process.argv.slice(2).map(Number)) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'pbq-bench-album-'));
  let player;
  try {
    makeLongAlbum(dir, n);
    player = await openPlayer(REPO, dir, process.env.WEB_PAGE_DIR);
    await timeNextClicks(player.page, Math.min(3, ROUNDS));
    const times = (await timeNextClicks(player.page, ROUNDS)).sort((a, b) => a - b);
    const rows = await rowCounts(player.page);
    console.log(`web ${n} ready_ms: ${player.readyMs}`);
    console.log(`web ${n} next_click_median_ms: ${times[ROUNDS >> 1].toFixed(2)}`);
    console.log(`web ${n} next_click_slowest_ms: ${times[ROUNDS - 1].toFixed(2)}`);
    console.log(`web ${n} queue_rows: ${rows.queue}`);
    console.log(`web ${n} album_rows: ${rows.album}`);
    if (player.errors.length) throw new Error(`page errors: ${player.errors.join('; ')}`);
  } finally {
    await player?.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

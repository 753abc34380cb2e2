// The player page with a 100,000-track album in headless Chromium: the queue and the
// album are virtual lists, so the DOM holds at most 200 rows of each at any length, the
// rows shown are the queue's entries at their places, and Next moves the current row.
// The time from a click on Next to its frame is printed here and held to its target by
// the benchmark (bench/hosts/web.sh), not by this test.
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { makeLongAlbum, openPlayer, rowCounts, timeNextClicks } from './long-album.mjs';

const REPO = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const COUNT = 100000;

/** The queue rows in the DOM against the page's queue: each row is the entry of its index. */
async function checkRows(page, where) {
  const { rows, entries, currentIndex } = await page.evaluate(() => {
    const items = [...document.querySelectorAll('#queue li')];
    const first = Number(items[0].dataset.index);
    // The whole state, not a view: a view of the page's queue would retire the page's own.
    const state = window.pbqPlayer.queue.state();
    return {
      rows: items.map((li) => ({ index: Number(li.dataset.index), title: li.querySelector('.title').textContent,
        current: li.classList.contains('current') })),
      entries: state.queue.slice(first, first + items.length).map((t) => t.title),
      currentIndex: state.currentIndex,
    };
  });
  assert.ok(rows.length > 0 && rows.length <= 200, `${where}: ${rows.length} queue rows`);
  rows.forEach((row, k) => assert.equal(row.index, rows[0].index + k, `${where}: row ${k} index`));
  assert.deepEqual(rows.map((r) => r.title), entries, `${where}: titles`);
  assert.deepEqual(rows.filter((r) => r.current).map((r) => r.index), [currentIndex], `${where}: the current row`);
}

test('a 100,000-track album: at most 200 rows in the DOM, the rows in view, Next redrawn', async (t) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'pbq-long-album-'));
  let player;
  try {
    makeLongAlbum(dir, COUNT);
    player = await openPlayer(REPO, dir);
    const { page, errors } = player;
    assert.equal(await page.evaluate(() => window.pbqPlayer.queue.state().queueCount), COUNT);
    let counts = await rowCounts(page);
    assert.ok(counts.queue <= 200 && counts.album <= 200, JSON.stringify(counts));
    await checkRows(page, 'first load');

    const times = await timeNextClicks(page, 5);
    t.diagnostic(`ready in ${player.readyMs} ms; Next to its frame at ${COUNT} tracks: ${times.map((ms) => ms.toFixed(1)).join(', ')} ms`);
    await checkRows(page, 'after five Next');
    assert.equal(await page.evaluate(() => window.pbqPlayer.queue.state().currentIndex), 5);

    // Scrolled to the middle of the queue and to its end: the rows there, no more of them.
    for (const fraction of [0.5, 1]) {
      await page.evaluate((f) => {
        const box = document.getElementById('queue').parentElement;
        box.scrollTop = f * box.scrollHeight;
      }, fraction);
      // The scroll event comes with the next frame, the rows with it.
      await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(done, 0)))));
      await checkRows(page, `scrolled to ${fraction}`).catch((e) => {
        // Scrolled away from the current entry, the current row is not among the rows.
        if (!/the current row/.test(e.message)) throw e;
      });
      const last = await page.evaluate(() => Number([...document.querySelectorAll('#queue li')].at(-1).dataset.index));
      assert.ok(last >= fraction * COUNT - 200, `scrolled to ${fraction}: last row ${last}`);
    }
    // Jumping from there: the row clicked becomes current, and Next follows it.
    // A row inside the box's visible part: the overscan rows above it would scroll the box.
    const visible = await page.evaluate(() => {
      const top = document.getElementById('queue').parentElement.getBoundingClientRect().top;
      const row = [...document.querySelectorAll('#queue li')].find((li) => li.getBoundingClientRect().top >= top);
      return Number(row.dataset.index) + 2;
    });
    await page.click(`#queue li[data-index="${visible}"] .entry`);
    assert.equal(await page.evaluate(() => Number(document.querySelector('#queue li.current').dataset.index)), visible);
    assert.equal(await page.evaluate(() => window.pbqPlayer.queue.state().currentIndex), visible);
    await page.click('#next');
    await checkRows(page, 'Next after a jump');
    counts = await rowCounts(page);
    assert.ok(counts.queue <= 200 && counts.album <= 200, JSON.stringify(counts));
    assert.deepEqual(errors, []);
  } finally {
    await player?.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
});

// The player page with a long album, for its test and for the benchmark
// (bench/hosts/web.sh): an album.json of `count` entries over the demo album's tones,
// the page opened on it, and the time from a click on Next to the next rendered frame.
import fs from 'node:fs';
import path from 'node:path';
import { launch } from './chromium.mjs';
import { serve, playerRoutes } from '../serve.mjs';
import { makeAlbum, TRACKS } from '../make-album.mjs';

/** Writes the tones and an album.json of `count` entries that cycle through them into `dir`. */
export function makeLongAlbum(dir, count) {
  makeAlbum(dir);
  const tracks = [];
  for (let i = 0; i < count; i++) {
    const t = TRACKS[i % TRACKS.length];
    tracks.push({ streamURL: `album/${t.file}`, title: `${i + 1}. ${t.title}`, artist: t.artist, duration: t.seconds });
  }
  fs.writeFileSync(path.join(dir, 'album.json'), JSON.stringify(tracks));
}

/** The page (from `pageDir`, else web/) on the album in `dir`, ready, muted, with a fresh profile (no resume). */
export async function openPlayer(repo, dir, pageDir) {
  const server = await serve({ ...playerRoutes(repo), ...(pageDir ? { '/': pageDir } : {}), '/album/': dir });
  const browser = await launch();
  const page = await browser.newPage();
  await page.setViewport({ width: 760, height: 820 });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  const t0 = Date.now();
  await page.goto(server.url);
  await page.waitForSelector('body[data-ready="true"]', { timeout: 300000 });
  const readyMs = Date.now() - t0;
  await page.evaluate(() => { window.pbqPlayer.audio.muted = true; });
  return {
    page,
    errors,
    readyMs,
    close: async () => {
      await browser.close();
      await server.close();
    },
  };
}

/** The rows in the DOM: the queue's and the album's. */
export function rowCounts(page) {
  return page.evaluate(() => ({
    queue: document.querySelectorAll('#queue li').length,
    album: document.querySelectorAll('#album li').length,
  }));
}

/**
 * Clicks Next `rounds` times and times each click to its frame: the click's handlers
 * (the pbq call, one light read, the redraw) plus the frame's own work (style, layout,
 * paint), from the frame's start to just after it. The wait for the frame's turn is left
 * out: it depends on where in the refresh interval the click fell, not on the page.
 * Resolves to the times in ms, in click order.
 */
export function timeNextClicks(page, rounds) {
  return page.evaluate(async (n) => {
    const next = document.getElementById('next');
    const afterFrame = () => new Promise((done) => requestAnimationFrame((start) => setTimeout(() => done(start), 0)));
    const times = [];
    for (let r = 0; r < n; r++) {
      await afterFrame();
      const t0 = performance.now();
      next.click();
      const handled = performance.now();
      const frameStart = await afterFrame();
      times.push(handled - t0 + (performance.now() - Math.max(frameStart, handled)));
    }
    return times;
  }, rounds);
}

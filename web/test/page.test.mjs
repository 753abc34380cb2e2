// The player page in headless Chromium, muted: it plays through the end of a track,
// each control is tapped and the page is checked against pbq's state document, a
// reload resumes where it stopped, and a screenshot is written for the README
// (build/web-player.png).
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { launch } from './chromium.mjs';
import { serve, playerRoutes } from '../serve.mjs';
import { TRACKS } from '../make-album.mjs';

const REPO = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const SCREENSHOT = path.join(REPO, 'build', 'web-player.png');

/** What the page shows, read from the DOM only. */
function shown(page) {
  return page.evaluate(() => {
    const items = [...document.querySelectorAll('#queue li')];
    return {
      title: document.getElementById('now-title').textContent,
      artist: document.getElementById('now-artist').textContent,
      titles: items.map((li) => li.querySelector('.title').textContent),
      current: items.findIndex((li) => li.classList.contains('current')),
      upNext: items.filter((li) => li.classList.contains('up-next')).length,
      repeat: document.getElementById('repeat').textContent,
      shuffle: document.getElementById('shuffle').getAttribute('aria-pressed'),
      rate: document.getElementById('rate').value,
      sleep: document.getElementById('sleep').value,
      audioRate: document.getElementById('audio').playbackRate,
      audioSrc: document.getElementById('audio').src,
    };
  });
}

/** The page against pbq's state document: every visible part agrees with it. */
async function checkPage(page, where) {
  const state = await page.evaluate(() => window.pbqPlayer.queue.state());
  const view = await shown(page);
  assert.equal(view.current, state.currentIndex, `${where}: current entry`);
  assert.deepEqual(view.titles, state.queue.map((t) => t.title), `${where}: queue`);
  assert.equal(view.upNext, state.upNextCount, `${where}: up next`);
  assert.equal(view.title, state.currentTrack.title, `${where}: now playing`);
  assert.equal(view.artist, state.currentTrack.artist, `${where}: artist`);
  assert.ok(view.audioSrc.endsWith(state.currentTrack.streamURL), `${where}: audio ${view.audioSrc}`);
  assert.equal(view.repeat, `Repeat: ${['off', 'all', 'one'][state.repeatMode]}`, `${where}: repeat`);
  assert.equal(view.shuffle, String(state.isShuffled), `${where}: shuffle`);
  assert.equal(Number(view.rate), state.playbackRate, `${where}: rate`);
  assert.equal(view.audioRate, state.playbackRate, `${where}: audio rate`);
  return state;
}

async function tap(page, selector) {
  await page.click(selector);
}

/** Taps the up-next button `title` on queue entry `index`. */
async function tapEntryButton(page, index, title) {
  await page.click(`#queue li[data-index="${index}"] button[title="${title}"]`);
}

/** Pauses the audio and moves the page's position slider to `seconds`. */
async function seekTo(page, seconds) {
  await page.waitForFunction(() => window.pbqPlayer.audio.readyState >= 1);
  await page.evaluate((t) => new Promise((done) => {
    window.pbqPlayer.audio.pause();
    window.pbqPlayer.audio.addEventListener('seeked', done, { once: true });
    const slider = document.getElementById('seek');
    slider.value = String(t);
    slider.dispatchEvent(new Event('input'));
  }), seconds);
  assert.equal(await page.evaluate(() => window.pbqPlayer.audio.currentTime), seconds);
}

async function open(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({ width: 760, height: 820 });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url);
  await page.waitForSelector('body[data-ready="true"]', { timeout: 20000 });
  await page.evaluate(() => { window.pbqPlayer.audio.muted = true; });
  return { page, errors };
}

test('the player page plays, follows its controls and resumes after a reload', async () => {
  const server = await serve(playerRoutes(REPO));
  const browser = await launch();
  try {
    let { page, errors } = await open(browser, server.url);
    let state = await checkPage(page, 'first load');
    assert.equal(state.currentIndex, 0);
    assert.equal(state.queueCount, TRACKS.length);

    // Metadata is text: the markup in track 4's title and artist made no elements.
    assert.equal(await page.evaluate(() => document.querySelectorAll('#queue b, #queue script, #album b').length), 0);
    assert.ok((await shown(page)).titles.includes('<b>Not bold</b> & "quoted"'));

    // Play muted through the end of the first (2 s) track: `ended` moves pbq on.
    await tap(page, '#play');
    await page.waitForFunction(() => window.pbqPlayer.queue.state().currentIndex === 1, { timeout: 15000 });
    await page.waitForFunction(() => !window.pbqPlayer.audio.paused && window.pbqPlayer.audio.currentTime > 0);
    state = await checkPage(page, 'after the first track ended');
    assert.equal(state.currentTrack.title, 'Harbour');

    await tap(page, '#next');
    state = await checkPage(page, 'next');
    assert.equal(state.currentIndex, 2);
    // Previous within three seconds moves back; past them it restarts the track.
    await tap(page, '#previous');
    state = await checkPage(page, 'previous');
    assert.equal(state.currentIndex, 1);
    await seekTo(page, 3.5);
    await tap(page, '#previous');
    state = await checkPage(page, 'previous after 3.5 s');
    assert.equal(state.currentIndex, 1);
    assert.ok(await page.evaluate(() => window.pbqPlayer.audio.currentTime < 1));

    // Jump by tapping an entry.
    await page.click('#queue li[data-index="3"] .entry');
    state = await checkPage(page, 'jump');
    assert.equal(state.currentIndex, 3);

    for (const mode of [1, 2, 0]) {
      await tap(page, '#repeat');
      state = await checkPage(page, `repeat ${mode}`);
      assert.equal(state.repeatMode, mode);
    }
    await tap(page, '#shuffle');
    state = await checkPage(page, 'shuffle on');
    assert.equal(state.isShuffled, true);
    assert.equal(state.currentIndex, 0);
    assert.equal(state.currentTrack.title, '<b>Not bold</b> & "quoted"');
    await tap(page, '#shuffle');
    state = await checkPage(page, 'shuffle off');
    assert.equal(state.currentIndex, 3);

    await page.select('#rate', '1.5');
    state = await checkPage(page, 'rate');
    assert.equal(state.playbackRate, 1.5);

    // Up next: play next and add to queue from the album, move, remove, clear.
    await page.click('#album li:nth-child(1) button[title="Play right after the current track"]');
    state = await checkPage(page, 'play next');
    assert.equal(state.queue[4].title, 'Dawn');
    await page.click('#album li:nth-child(3) button[title="Play at the end of the queue"]');
    state = await checkPage(page, 'add to queue');
    assert.deepEqual(state.queue.slice(4).map((t) => t.title), ['Dawn', 'Salt Roads', 'Lanterns']);
    await tapEntryButton(page, 4, 'Move down');
    state = await checkPage(page, 'move');
    assert.deepEqual(state.queue.slice(4).map((t) => t.title), ['Salt Roads', 'Dawn', 'Lanterns']);
    await tapEntryButton(page, 6, 'Remove from up next');
    state = await checkPage(page, 'remove');
    assert.equal(state.upNextCount, 2);
    await tap(page, '#clear-up-next');
    state = await checkPage(page, 'clear');
    assert.equal(state.upNextCount, 0);
    assert.equal(await page.$eval('#next', (b) => b.disabled), true);

    // Sleep: a timed one counts down; the end-of-track one stops at the track's end.
    await page.select('#sleep', '900000');
    assert.equal((await page.evaluate(() => window.pbqPlayer.queue.state())).sleepMode, 1);
    await page.waitForFunction(() => /^sleeps in 1[45]:\d\d$/.test(document.getElementById('sleep-left').textContent));
    await page.click('#queue li[data-index="0"] .entry'); // back to the 2-second Dawn, playing
    await page.select('#sleep', 'end');
    assert.equal((await page.evaluate(() => window.pbqPlayer.queue.state())).sleepMode, 2);
    await page.waitForFunction(() => window.pbqPlayer.audio.paused && window.pbqPlayer.audio.ended, { timeout: 15000 });
    state = await checkPage(page, 'end-of-track sleep');
    assert.equal(state.currentIndex, 0);
    assert.equal(state.sleepMode, 0);
    assert.equal((await shown(page)).sleep, 'off');

    // Leave at 1.2 s into Lanterns, repeat all and rate 1.5; a reload resumes there.
    await page.click('#queue li[data-index="2"] .entry');
    await tap(page, '#repeat');
    await seekTo(page, 1.2);
    await page.evaluate(() => dispatchEvent(new Event('pagehide')));
    assert.deepEqual(errors, []);
    await page.close();

    ({ page, errors } = await open(browser, server.url));
    state = await checkPage(page, 'after the reload');
    assert.equal(state.currentTrack.title, 'Lanterns');
    assert.equal(state.repeatMode, 1);
    assert.equal(state.playbackRate, 1.5);
    const resumedAt = await page.evaluate(() => window.pbqPlayer.resumedAt);
    assert.ok(Math.abs(resumedAt - 1.2) < 0.05, `resumed at ${resumedAt}`);
    await page.waitForFunction(() => Math.abs(window.pbqPlayer.audio.currentTime - 1.2) < 0.05, { timeout: 10000 });

    await page.click('#album li:nth-child(5) button[title="Play right after the current track"]');
    await page.select('#sleep', '1800000');
    fs.mkdirSync(path.dirname(SCREENSHOT), { recursive: true });
    await page.screenshot({ path: SCREENSHOT, fullPage: true });
    assert.deepEqual(errors, []);
  } finally {
    await browser.close();
    await server.close();
  }
});

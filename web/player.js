// The pbq web player: an <audio> element plays what pbq says, and the page shows pbq's
// state. Every control is one pbq call followed by the answer's action and a redraw
// from one light read of the state (queue.view()): the scalars and the current track,
// and only the queue entries in view. The queue and the album are virtual lists: at any
// length only the rows in view (and a few around them) are in the DOM. The resume
// document is kept in localStorage and restored on load. Track metadata is untrusted,
// so it only ever reaches the page as text nodes.
import { Queue, Action, RepeatMode, SleepMode, Added } from './pbq-web/index.js';

const RESUME_KEY = 'pbq-web-player.resume';
const ALBUM_URL = 'album/album.json';
const REPEAT_NAMES = { [RepeatMode.OFF]: 'off', [RepeatMode.ALL]: 'all', [RepeatMode.ONE]: 'one' };

const $ = (id) => document.getElementById(id);
const audio = $('audio');
const queue = new Queue();
/** The light read of the queue's state, taken once after each change. */
let state = null;
/** What the last answer asks of the audio element, done once the new state is read. */
let pendingLoad = null;

function randomSeed() {
  const words = crypto.getRandomValues(new Uint32Array(2));
  return (BigInt(words[0]) << 32n) | BigInt(words[1]);
}

function clock(seconds) {
  const s = Math.max(0, Math.floor(seconds || 0));
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
}

/** An element with text (a text node) and, optionally, a class. */
function element(tag, text = '', className = '') {
  const e = document.createElement(tag);
  if (text) e.append(document.createTextNode(text));
  if (className) e.className = className;
  return e;
}

function button(label, title, onClick, disabled = false) {
  const b = element('button', label, 'small');
  b.title = title;
  b.disabled = disabled;
  b.addEventListener('click', onClick);
  return b;
}

// ---- Playing what pbq says -------------------------------------------------------

function saveResume() {
  try {
    localStorage.setItem(RESUME_KEY, queue.exportResume(audio.currentTime || 0));
  } catch {
    // Storage full or refused: the next save tries again.
  }
}

/** Loads the current entry into the audio element once the change is read (see change()). */
function loadCurrent(play, position = 0) {
  pendingLoad = { play, position };
}

function loadNow({ play, position }) {
  const track = state.currentTrack;
  if (track === null) {
    audio.removeAttribute('src');
    audio.load();
    return;
  }
  audio.src = new URL(track.streamURL, document.baseURI).href;
  if (position > 0) audio.addEventListener('loadedmetadata', () => { audio.currentTime = position; }, { once: true });
  if (play) audio.play().catch(() => {});
}

/** Carries out what next(), previous() or trackEnded() answered. */
function act(action, playing) {
  if (action === Action.PLAY) loadCurrent(playing);
  else if (action === Action.RESTART) {
    audio.currentTime = 0;
    if (playing) audio.play().catch(() => {});
  } else audio.pause(); // NONE (nothing to go on with) and SLEEP
}

/** Saves once the burst of changes is over, off the path from a click to its frame. */
let saveTimer = 0;
function saveSoon() {
  clearTimeout(saveTimer);
  saveTimer = setTimeout(saveResume, 250);
}

/** Runs one change to the queue, then reads the state once, loads the audio, redraws and saves. */
function change(fn) {
  fn();
  render();
  saveSoon();
}

// ---- Virtual lists -----------------------------------------------------------------
// A list of `count` rows of one fixed height in a scrolling box: the list's height
// stands for all the rows, its padding for the rows above the window, and only the rows
// in view and OVERSCAN either side are elements. Past MAX_HEIGHT (browsers cap an
// element's height) the scroll position maps to a row by proportion instead.

const ROW_HEIGHT = 34; // px, as li's height in style.css
const OVERSCAN = 8;
const MAX_ROWS = 200;
const MAX_HEIGHT = 4000000; // px

function virtualList(list, rowAt) {
  const box = list.parentElement;
  const v = {
    count: 0,
    first: 0,
    height: () => Math.min(v.count * ROW_HEIGHT, MAX_HEIGHT),
    inView: () => Math.ceil((box.clientHeight || 480) / ROW_HEIGHT),
    scaled: () => v.count * ROW_HEIGHT > MAX_HEIGHT,
    /** The row at the top of the box. */
    top() {
      if (!v.scaled()) return Math.floor(box.scrollTop / ROW_HEIGHT);
      const range = v.height() - box.clientHeight;
      return Math.round((box.scrollTop / range) * Math.max(0, v.count - v.inView()));
    },
    render() {
      const inView = v.inView();
      const top = Math.min(v.count - inView, v.top());
      const first = Math.max(0, top - OVERSCAN);
      const end = Math.min(v.count, first + Math.min(MAX_ROWS, inView + 2 * OVERSCAN));
      const rows = [];
      v.first = first;
      for (let i = first; i < end; i++) rows.push(rowAt(i, end - first));
      const padding = v.scaled() ? box.scrollTop - (top - first) * ROW_HEIGHT : first * ROW_HEIGHT;
      list.style.paddingTop = `${Math.max(0, padding)}px`;
      list.style.height = `${v.height()}px`;
      list.replaceChildren(...rows);
    },
    /** Scrolls just enough to show row `i`. */
    reveal(i) {
      list.style.height = `${v.height()}px`;
      if (v.scaled()) {
        const top = v.top();
        if (i < top || i >= top + v.inView() - 1) {
          box.scrollTop = ((v.height() - box.clientHeight) * Math.max(0, i - 1)) / Math.max(1, v.count - v.inView());
        }
        return;
      }
      const at = i * ROW_HEIGHT;
      if (at < box.scrollTop) box.scrollTop = at;
      else if (at + ROW_HEIGHT > box.scrollTop + box.clientHeight) box.scrollTop = at + ROW_HEIGHT - box.clientHeight;
    },
  };
  // Scroll events come at most once a frame.
  box.addEventListener('scroll', () => v.render());
  return v;
}

// ---- Drawing the state document ---------------------------------------------------

function renderNow() {
  const track = state.currentTrack;
  $('now-title').textContent = track ? track.title || track.streamURL : 'Nothing to play';
  $('now-artist').textContent = track ? track.artist : '';
  const duration = Number.isFinite(audio.duration) ? audio.duration : track?.duration;
  $('now-time').textContent = `${clock(audio.currentTime)} / ${clock(duration)}`;
  const seek = $('seek');
  seek.max = String(duration || 0);
  if (document.activeElement !== seek) seek.value = String(audio.currentTime || 0);
  $('play').textContent = audio.paused ? '▶ Play' : '❚❚ Pause';
}

let entries = []; // the entries of the queue's window, from queueList.first
const queueList = virtualList($('queue'), (i, rows) => {
  if (i === queueList.first) entries = state.entries(i, rows);
  const track = entries[i - queueList.first];
  const li = element('li');
  li.dataset.index = String(i);
  const entry = element('button', '', 'entry');
  entry.append(element('span', track.title || track.streamURL, 'title'), document.createTextNode(' '),
    element('span', track.artist, 'artist'));
  entry.title = 'Play this entry';
  entry.addEventListener('click', () => change(() => {
    queue.jump(i);
    loadCurrent(true);
  }));
  li.append(entry);
  if (i === state.currentIndex) li.classList.add('current');
  if (state.currentIndex >= 0 && i > state.currentIndex) {
    const offset = i - state.currentIndex - 1;
    li.classList.add('up-next');
    li.append(element('span', 'up next', 'tag'),
      button('↑', 'Move up', () => change(() => queue.moveUpNext(offset, offset - 1)), offset === 0),
      button('↓', 'Move down', () => change(() => queue.moveUpNext(offset, offset + 1)), offset === state.upNextCount - 1),
      button('✕', 'Remove from up next', () => change(() => queue.removeUpNext(offset))));
  }
  return li;
});

let shownIndex = null;
function renderQueue() {
  queueList.count = state.queueCount;
  // Follow the current entry when it changes; otherwise stay where the listener scrolled.
  if (state.currentIndex !== shownIndex && state.currentIndex >= 0) queueList.reveal(state.currentIndex);
  shownIndex = state.currentIndex;
  queueList.render();
  $('clear-up-next').disabled = state.upNextCount === 0;
}

function renderSettings() {
  $('repeat').textContent = `Repeat: ${REPEAT_NAMES[state.repeatMode]}`;
  $('shuffle').textContent = `Shuffle: ${state.isShuffled ? 'on' : 'off'}`;
  $('shuffle').setAttribute('aria-pressed', String(state.isShuffled));
  $('rate').value = String(state.playbackRate);
  audio.playbackRate = audio.defaultPlaybackRate = state.playbackRate;
  $('previous').disabled = state.currentIndex < 0;
  $('next').disabled = !state.hasNext;
  if (state.sleepMode === SleepMode.OFF) $('sleep').value = 'off';
  if (state.sleepMode === SleepMode.END_OF_TRACK) $('sleep').value = 'end';
  renderSleepLeft();
}

function renderSleepLeft() {
  let text = '';
  if (state.sleepMode === SleepMode.END_OF_TRACK) text = 'sleeps at the end of this track';
  if (state.sleepMode === SleepMode.TIMER) {
    const left = queue.checkSleepTimer(Date.now());
    if (left === 0) {
      audio.pause();
      render();
      return;
    }
    if (left !== null) text = `sleeps in ${clock(left / 1000)}`;
  }
  $('sleep-left').textContent = text;
}

function render() {
  state = queue.view();
  if (pendingLoad !== null) {
    const load = pendingLoad;
    pendingLoad = null;
    loadNow(load);
  }
  renderNow();
  renderQueue();
  renderSettings();
}

function renderAlbum(tracks) {
  const albumList = virtualList($('album'), (i) => {
    const track = tracks[i];
    const li = element('li');
    const name = element('span', '', 'entry');
    name.append(element('span', track.title, 'title'), document.createTextNode(' '), element('span', track.artist, 'artist'));
    const added = (answer) => { if (answer === Added.STARTED) loadCurrent(true); };
    li.append(name,
      button('Play next', 'Play right after the current track', () => change(() => added(queue.playNext(track)))),
      button('Add to queue', 'Play at the end of the queue', () => change(() => added(queue.addToQueue(track)))));
    return li;
  });
  albumList.count = tracks.length;
  albumList.render();
}

// ---- Controls ---------------------------------------------------------------------

$('play').addEventListener('click', () => {
  if (!audio.getAttribute('src')) loadNow({ play: false, position: 0 });
  if (audio.paused) audio.play().catch(() => {});
  else audio.pause();
});
$('seek').addEventListener('input', () => { audio.currentTime = Number($('seek').value); });
$('next').addEventListener('click', () => change(() => act(queue.next(), !audio.paused)));
$('previous').addEventListener('click', () => change(() => act(queue.previous(audio.currentTime), !audio.paused)));
$('repeat').addEventListener('click', () => change(() => queue.cycleRepeat()));
$('shuffle').addEventListener('click', () => change(() => queue.setShuffle(!state.isShuffled, randomSeed())));
$('rate').addEventListener('change', () => change(() => queue.setRate(Number($('rate').value))));
$('clear-up-next').addEventListener('click', () => change(() => queue.clearUpNext()));
$('sleep').addEventListener('change', () => change(() => {
  const choice = $('sleep').value;
  if (choice === 'off') queue.setSleepTimer(SleepMode.OFF);
  else if (choice === 'end') queue.setSleepTimer(SleepMode.END_OF_TRACK);
  else queue.setSleepTimer(SleepMode.TIMER, Number(choice), Date.now());
}));

audio.addEventListener('ended', () => change(() => act(queue.trackEnded(), true)));
audio.addEventListener('play', renderNow);
audio.addEventListener('pause', () => { renderNow(); saveResume(); });
let lastSave = 0;
audio.addEventListener('timeupdate', () => {
  renderNow();
  if (performance.now() - lastSave > 1000) {
    lastSave = performance.now();
    saveResume();
  }
});
addEventListener('pagehide', saveResume);
setInterval(() => { if (state) renderSleepLeft(); }, 500);

// ---- Start: resume where the last visit stopped, or the album from its start -------

const tracksText = await (await fetch(ALBUM_URL)).text();
let position = null;
const saved = localStorage.getItem(RESUME_KEY);
if (saved !== null) {
  try {
    position = queue.restoreResume(saved, tracksText);
  } catch {
    position = null; // refused: start afresh
  }
}
if (position === null) queue.setTracks(tracksText, 0, randomSeed());
renderAlbum(JSON.parse(tracksText));
loadCurrent(false, position ?? 0);
render();

// For the page's tests and for a curious listener's console.
window.pbqPlayer = { queue, audio, resumedAt: position };
document.body.dataset.ready = 'true';

// The page's demo album: a few short tones as WAV files (8 kHz, 8-bit mono, a few KB
// each) and album.json, the tracks as pbq reads them.
//   node web/make-album.mjs OUT_DIR
import fs from 'node:fs';
import path from 'node:path';

const RATE = 8000;

// One title carries markup, which the page must show as text.
export const TRACKS = [
  { file: '1-dawn.wav', title: 'Dawn', artist: 'Tone Quartet', hz: 440, seconds: 2 },
  { file: '2-harbour.wav', title: 'Harbour', artist: 'Tone Quartet', hz: 523.25, seconds: 4 },
  { file: '3-lanterns.wav', title: 'Lanterns', artist: 'Tone Quartet', hz: 587.33, seconds: 5 },
  { file: '4-markup.wav', title: '<b>Not bold</b> & "quoted"', artist: '<script>x()</script>', hz: 659.25, seconds: 3 },
  { file: '5-salt-roads.wav', title: 'Salt Roads', artist: 'Tone Quartet', hz: 783.99, seconds: 6 },
];

function wav(hz, seconds) {
  const count = RATE * seconds;
  const out = Buffer.alloc(44 + count);
  out.write('RIFF', 0);
  out.writeUInt32LE(36 + count, 4);
  out.write('WAVEfmt ', 8);
  out.writeUInt32LE(16, 16); // the format chunk's size
  out.writeUInt16LE(1, 20); // PCM
  out.writeUInt16LE(1, 22); // mono
  out.writeUInt32LE(RATE, 24);
  out.writeUInt32LE(RATE, 28); // bytes a second
  out.writeUInt16LE(1, 32); // bytes a frame
  out.writeUInt16LE(8, 34); // bits a sample
  out.write('data', 36);
  out.writeUInt32LE(count, 40);
  const fade = RATE / 20; // 50 ms in and out, so the tone starts and stops without a click
  for (let i = 0; i < count; i++) {
    const envelope = Math.min(1, i / fade, (count - i) / fade);
    out[44 + i] = Math.round(128 + 60 * envelope * Math.sin((2 * Math.PI * hz * i) / RATE));
  }
  return out;
}

export function makeAlbum(dir) {
  fs.mkdirSync(dir, { recursive: true });
  const album = TRACKS.map((t) => {
    fs.writeFileSync(path.join(dir, t.file), wav(t.hz, t.seconds));
    return { streamURL: `album/${t.file}`, title: t.title, artist: t.artist, duration: t.seconds };
  });
  fs.writeFileSync(path.join(dir, 'album.json'), JSON.stringify(album, null, 1) + '\n');
}

if (process.argv[1] && path.resolve(process.argv[1]) === path.resolve(new URL(import.meta.url).pathname)) {
  if (!process.argv[2]) {
    console.error('usage: node web/make-album.mjs OUT_DIR');
    process.exit(2);
  }
  makeAlbum(process.argv[2]);
}

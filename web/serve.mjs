// A static file server on 127.0.0.1 for the player page and the browser tests, with the
// MIME types an ES module and a WebAssembly module need (.mjs, .wasm).
//   node web/serve.mjs [PORT]     serves the player page until stopped (port 8719)
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json',
  '.wasm': 'application/wasm',
  '.wav': 'audio/wav',
  '.png': 'image/png',
};

/**
 * Serves `routes` ({ '/url/prefix/': '/a/folder', ... }, longest prefix first) on
 * 127.0.0.1:`port` (0 for any free port). Resolves to { url, close() }.
 */
export function serve(routes, port = 0) {
  const prefixes = Object.keys(routes).sort((a, b) => b.length - a.length);
  const server = http.createServer((req, res) => {
    const url = decodeURIComponent(new URL(req.url, 'http://localhost').pathname);
    const prefix = prefixes.find((p) => url.startsWith(p));
    const root = prefix !== undefined ? path.resolve(routes[prefix]) : null;
    let file = root && path.resolve(root, '.' + url.slice(prefix.length - 1));
    if (file && !file.startsWith(root)) file = null; // no way out of the folder
    if (file && fs.existsSync(file) && fs.statSync(file).isDirectory()) file = path.join(file, 'index.html');
    if (!file || !fs.existsSync(file)) {
      res.writeHead(404, { 'content-type': 'text/plain' }).end('not found');
      return;
    }
    const size = fs.statSync(file).size;
    const headers = {
      'content-type': TYPES[path.extname(file)] || 'application/octet-stream',
      'cache-control': 'no-store',
      'accept-ranges': 'bytes',
    };
    // One byte range (`bytes=a-b`, `bytes=a-`): the audio element seeks only in media
    // served in ranges.
    const range = /^bytes=(\d*)-(\d*)$/.exec(req.headers.range || '');
    if (range && (range[1] !== '' || range[2] !== '')) {
      const start = range[1] === '' ? Math.max(0, size - Number(range[2])) : Number(range[1]);
      const end = range[1] === '' || range[2] === '' ? size - 1 : Math.min(Number(range[2]), size - 1);
      if (start > end || start >= size) {
        res.writeHead(416, { 'content-range': `bytes */${size}` }).end();
        return;
      }
      res.writeHead(206, { ...headers, 'content-range': `bytes ${start}-${end}/${size}`, 'content-length': end - start + 1 });
      fs.createReadStream(file, { start, end }).pipe(res);
      return;
    }
    res.writeHead(200, { ...headers, 'content-length': size });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => {
      const url = `http://127.0.0.1:${server.address().port}/`;
      resolve({ url, close: () => new Promise((done) => server.close(done)) });
    });
  });
}

// The player page as `make web-demo` serves it: the page from web/, the package from
// build/wasm/package, the album from build/web-album.
export function playerRoutes(repo) {
  return {
    '/': path.join(repo, 'web'),
    '/pbq-web/': path.join(repo, 'build', 'wasm', 'package'),
    '/album/': path.join(repo, 'build', 'web-album'),
  };
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const port = Number(process.argv[2] || 8719);
  const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
  const { url } = await serve(playerRoutes(repo), port);
  console.log(`the pbq web player at ${url} (Ctrl-C stops)`);
}

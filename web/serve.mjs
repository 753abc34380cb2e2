// A static file server on 127.0.0.1 for the player page and the browser tests, with the
// MIME types an ES module and a WebAssembly module need (.mjs, .wasm).
//   node web/serve.mjs DIR [PORT]     serves DIR until stopped
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
    res.writeHead(200, {
      'content-type': TYPES[path.extname(file)] || 'application/octet-stream',
      'cache-control': 'no-store',
    });
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

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [dir, port = '8719'] = process.argv.slice(2);
  if (!dir) {
    console.error('usage: node web/serve.mjs DIR [PORT]');
    process.exit(2);
  }
  const { url } = await serve({ '/': dir }, Number(port));
  console.log(`serving ${dir} at ${url} (Ctrl-C stops)`);
}

// The shared behaviour table through the web package in headless Chromium: the package
// as a browser loads it (an ES module fetching its .wasm over HTTP).
import test from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { launch } from './chromium.mjs';
import { serve } from '../serve.mjs';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const REPO = path.resolve(HERE, '..', '..');
const PACKAGE = process.env.PBQ_WEB_PACKAGE || path.join(REPO, 'build', 'wasm', 'package');

test('the behaviour table passes in Chromium', async () => {
  const server = await serve({
    '/pbq-web/': PACKAGE,
    '/test/': path.join(REPO, 'bindings', 'web', 'test'),
    '/table/': path.join(REPO, 'bindings'),
    '/': HERE,
  });
  const browser = await launch();
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(e.message));
    await page.goto(`${server.url}behaviours.html`);
    await page.waitForFunction(() => window.result !== undefined, { timeout: 20000 });
    const result = await page.evaluate(() => window.result);
    assert.deepEqual(errors, []);
    assert.deepEqual(result.failed, []);
    assert.ok(result.passed.length >= 10, `only ${result.passed.length} cases ran`);
    assert.equal(await page.evaluate(() => navigator.userAgent.includes('HeadlessChrome')), true);
  } finally {
    await browser.close();
    await server.close();
  }
});

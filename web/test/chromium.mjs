// Debian's chromium, headless, through puppeteer-core (which never fetches a browser of
// its own). A new empty profile each time; no background traffic, which a closed network
// would refuse; sound allowed to start without a gesture, for the player's test.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

export const CHROMIUM = process.env.PBQ_CHROMIUM || '/usr/bin/chromium';

export async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'pbq-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
      `--user-data-dir=${profile}`],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return browser;
}

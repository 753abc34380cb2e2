// Where the tests find the repository and the built package ($PBQ_WEB_PACKAGE, else
// build/wasm/package).
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const REPO = process.env.PBQ_REPO || path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..', '..');
export const PACKAGE = process.env.PBQ_WEB_PACKAGE || path.join(REPO, 'build', 'wasm', 'package');
export const pbq = (await import(pathToFileURL(path.join(PACKAGE, 'index.js')).href)).default;

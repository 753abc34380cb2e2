// The shared behaviour table through the web package under Node.
import test from 'node:test';
import fs from 'node:fs';
import path from 'node:path';
import { runCase } from './behaviours.mjs';
import { REPO, pbq } from './common.mjs';

const table = JSON.parse(fs.readFileSync(path.join(REPO, 'bindings', 'behaviours.json'), 'utf8'));
for (const c of table.cases) test(c.name, () => runCase(pbq, table, c));

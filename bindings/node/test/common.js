'use strict';
// Where the tests find the repository; the addon comes from $PBQ_ADDON (set by CTest).
const path = require('node:path');

const REPO = process.env.PBQ_REPO || path.resolve(__dirname, '..', '..', '..');
module.exports = { REPO, pbq: require('..') };

// The ES module entry point: the same objects as the CommonJS one.
import { createRequire } from 'node:module';

const pbq = createRequire(import.meta.url)('./index.js');

export const { Queue, View, PbqError, Action, RepeatMode, SleepMode, Added, version, abiVersion, selftest } = pbq;
export default pbq;

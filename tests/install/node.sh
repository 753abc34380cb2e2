#!/usr/bin/env bash
# The npm package as a Node host gets it: `npm install ./pbq-VERSION.tgz` offline in a
# fresh folder, with this checkout out of reach; then the quick start of docs/node.md through
# require and through import, and the message when the package's libpbq.so.1 is gone.
#   tests/install/node.sh [DIST_DIR]
set -euo pipefail
. "$(dirname "$0")/common.sh"
package=$(take_artifact 'pbq-[0-9]*.tgz')
quick_start docs/node.md js "require('pbq')" >"$place/quick_start.cjs"
# The same lines as an ES module: its first line becomes imports.
{
  echo "import { Queue, Action } from 'pbq'; import fs from 'node:fs';"
  echo "import { createRequire } from 'node:module';"
  echo "if (createRequire(import.meta.url)('pbq').Queue !== Queue) throw new Error('two Queue classes');"
  tail -n +2 "$place/quick_start.cjs"
} >"$place/quick_start.mjs"
cat >"$place/run.sh" <<'SCRIPT'
set -euo pipefail
cd "$1"
npm install --offline --no-audit --no-fund --loglevel=error "./$(ls pbq-*.tgz)" >/dev/null
# The current track, then the rest of the album after it (the light read's window).
expected=$'Salt Roads\n  next: Ferry at Dawn\n  next: Undertow\n  next: Gulls\n  next: Tidewater'
for entry in quick_start.cjs quick_start.mjs; do
  out=$(node "$entry")
  [ "$out" = "$expected" ] || { echo "node $entry printed '$out', not '$expected'" >&2; exit 1; }
done
# The package's own copies.
mapped=$(node -e "require('pbq'); process.stdout.write(require('fs').readFileSync('/proc/self/maps', 'utf8'))" |
  grep -oE '/[^ ]*/(libpbq[^ ]*|pbq\.node)' | sort -u)
# The folder is named as Node names this platform (dist-node.sh does the same).
native=$PWD/node_modules/pbq/prebuilds/$(node -p 'process.platform + "-" + process.arch')
[ "$mapped" = "$native/libpbq.so.1"$'\n'"$native/pbq.node" ] || { echo "node mapped: $mapped" >&2; exit 1; }
[ -f node_modules/pbq/index.d.ts ] || { echo "the package has no TypeScript declarations" >&2; exit 1; }
./check-elf.sh "$native/pbq.node" "$native/libpbq.so.1"

# Without its libpbq.so.1 the addon is found but cannot load: the message says that.
rm "$native/libpbq.so.1"
if err=$(node quick_start.cjs 2>&1); then echo "pbq loaded without libpbq.so.1" >&2; exit 1; fi
grep -q 'pbq.node was found but cannot load libpbq.so.1' <<<"$err" && grep -q 'pbq.node was found, but not libpbq.so.1' <<<"$err" &&
  ! grep -qi 'build pbq.node' <<<"$err" || { echo "the message for a missing libpbq.so.1 is wrong: $err" >&2; exit 1; }
echo "node: $(ls pbq-*.tgz) installs into a fresh folder and runs the quick start (require and import)"
SCRIPT
run_without_tree run.sh

#!/usr/bin/env bash
# The web package for `make dist`: DIST_DIR/web/pbq-web-<version>.tgz (npm pack of
# build/wasm/package), then checked as a user gets it: installed offline from a copy of
# the tarball into a fresh folder and imported in Node, with this checkout out of reach.
# A folder of its own, so that the Node package's `npm install ./dist/pbq-*.tgz` never
# matches it.
#   scripts/dist-web.sh DIST_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: scripts/dist-web.sh DIST_DIR" >&2; exit 2; }
top=$(cd "$(dirname "$0")/.." && pwd)
rm -f "$1"/pbq-web-*.tgz   # an older layout's, which `npm install ./dist/pbq-*.tgz` would catch
mkdir -p "$1/web"
dist=$(cd "$1/web" && pwd)

if [ ! -f "$top/build/wasm/package/package.json" ]; then
  echo "dist-web: no web package in build/wasm/package: make wasm builds it" >&2
  exit 1
fi
tarball=$(cd "$top/build/wasm/package" && npm pack --silent --pack-destination "$dist")
echo "$dist/$tarball"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$dist/$tarball" "$scratch/"
cat > "$scratch/check.mjs" <<'JS'
import pbq, { Queue, Action, capi } from 'pbq-web';
const q = new Queue();
q.setTracks([{ streamURL: 'a.m4a', title: 'Ä' }, { streamURL: 'b.m4a' }], 0, 7n);
if (q.next() !== Action.PLAY || q.state().currentTrack.streamURL !== 'b.m4a') process.exit(3);
if (JSON.parse(q.exportResume(1.5)).lastTrackURL !== 'b.m4a') process.exit(4);
if (Object.keys(capi).filter((k) => k.startsWith('pbq_')).length !== 26) process.exit(5);
q.close();
console.log(`pbq-web ${pbq.version()} installed and imported`);
JS
"$top/tests/install/without-tree.sh" bash -c '
  set -euo pipefail
  cd "$1" && mkdir app && cd app && printf "{\"name\": \"app\", \"private\": true}\n" > package.json
  npm install --offline --no-audit --no-fund --loglevel=error "../$2" >/dev/null
  cp ../check.mjs . && node check.mjs' check "$scratch" "$tarball"

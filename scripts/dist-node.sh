#!/usr/bin/env bash
# The npm package DIST_DIR/pbq-VERSION.tgz (npm pack): CommonJS, ES module and
# TypeScript entry points, with the addon prebuilt for this platform and the library
# of BUILD_DIR beside it, prebuilds/linux-x64/{pbq.node,libpbq.so.1} (the addon's
# RUNPATH is $ORIGIN). The addon is built against the Node-API headers pinned by
# bindings/node/package-lock.json, so it loads in every Node from 18 on.
#   scripts/dist-node.sh BUILD_DIR DIST_DIR
set -euo pipefail
. "$(dirname "$0")/dist-common.sh"
dist_init "$@"
source_dir=$top/bindings/node
dist_check_version "$source_dir/package.json" "$(node -p "require('$source_dir/package.json').version")"

if [ ! "$source_dir/node_modules/.package-lock.json" -nt "$source_dir/package-lock.json" ]; then
  (cd "$source_dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
dist_build_bindings bindings-node -DPBQ_BINDINGS_JAVA=OFF -- pbq_node

stage=$build/node-package
platform=$(node -p 'process.platform + "-" + process.arch')
rm -rf "$stage"
mkdir -p "$stage/prebuilds/$platform" "$stage/src"
cp "$source_dir"/{index.js,index.mjs,index.d.ts,package.json,README.md} "$top/LICENSE" "$stage/"
cp "$source_dir/src/pbq_node.c" "$source_dir/../native/state_view.h" "$stage/src/"
dist_ship_copy "$build/bindings-node/node/pbq.node" "$stage/prebuilds/$platform/pbq.node"
dist_ship_copy "$library" "$stage/prebuilds/$platform/libpbq.so.1"
# npm refuses the package where its only addon cannot load, instead of failing at require.
node -e '
  const fs = require("node:fs"), file = process.argv[1], p = JSON.parse(fs.readFileSync(file, "utf8"));
  p.os = [process.platform];
  p.cpu = [process.arch];
  fs.writeFileSync(file, JSON.stringify(p, null, 2) + "\n");' "$stage/package.json"

rm -f "$dist"/pbq-[0-9]*.tgz
(cd "$stage" && npm pack --pack-destination "$dist" --loglevel=error >/dev/null)
if [ ! -f "$dist/pbq-$version.tgz" ]; then
  echo "$0: npm pack made no $dist/pbq-$version.tgz" >&2
  exit 1
fi
echo "$dist/pbq-$version.tgz"

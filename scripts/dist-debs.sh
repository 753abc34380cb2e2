#!/usr/bin/env bash
# The Debian packages DIST_DIR/libpbq1_VERSION_ARCH.deb, libpbq-dev_... and pbq-tools_...,
# made by CPack from BUILD_DIR: a Release build configured with the prefix /usr and yyjson
# compiled in (PBQ_YYJSON_FROM_SOURCE), the command-line host and pbq-play built, so that the
# packages need nothing outside Debian 12.
#   scripts/dist-debs.sh BUILD_DIR DIST_DIR
set -euo pipefail
build=$1 dist=$2
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
if [ "$(cache CMAKE_INSTALL_PREFIX)" != /usr ] || [ "$(cache PBQ_YYJSON_FROM_SOURCE)" != ON ]; then
  echo "dist-debs: $build must be configured with CMAKE_INSTALL_PREFIX=/usr and PBQ_YYJSON_FROM_SOURCE=ON" >&2
  exit 1
fi
rm -rf "$build/debs"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$build/debs" >"$build/cpack.log" 2>&1 ||
  { cat "$build/cpack.log" >&2; exit 1; }
for package in libpbq1 libpbq-dev pbq-tools; do
  if ! compgen -G "$build/debs/${package}_*.deb" >/dev/null; then
    echo "dist-debs: CPack made no $package package (see $build/cpack.log)" >&2
    exit 1
  fi
done
tools_files=$(dpkg-deb -c "$build"/debs/pbq-tools_*.deb)
if ! grep -q ' \./usr/bin/pbq-play$' <<<"$tools_files"; then
  echo "dist-debs: pbq-tools has no pbq-play: GStreamer's development files were not found" >&2
  exit 1
fi
mkdir -p "$dist"
rm -f "$dist"/*.deb
cp "$build"/debs/*.deb "$dist/"
ls "$dist"/*.deb

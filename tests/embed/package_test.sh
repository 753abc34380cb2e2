#!/usr/bin/env bash
# The Debian packages: cpack makes libpbq1 and libpbq-dev (and pbq-tools when the
# command-line host is built) from the build, with the right dependencies: yyjson's
# packages only when the build uses the system's yyjson (not PBQ_YYJSON_FROM_SOURCE).
# Unpacked (dpkg -x) into a scratch root, they build and run a host through
# find_package(pbq) and through pkg-config. lintian, when installed, must find no error
# (it runs for builds configured with the prefix /usr).
# Usage: package_test.sh BUILD_DIR CONSUMER_DIR WORK_DIR C_COMPILER CXX_COMPILER
set -euo pipefail
build=$1 consumer=$2 work=$3 cc=$4 cxx=$5
rm -rf "$work"
mkdir -p "$work/debs" "$work/root"

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/debs" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
runtime=$(echo "$work"/debs/libpbq1_*.deb)
dev=$(echo "$work"/debs/libpbq-dev_*.deb)
[ -f "$runtime" ] && [ -f "$dev" ] || { echo "missing packages:"; ls "$work/debs"; exit 1; }
version=$(dpkg-deb -f "$runtime" Version)
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
tools=""
if [ -f "$build/cli/pbq" ]; then
  tools=$(echo "$work"/debs/pbq-tools_*.deb)
  [ -f "$tools" ] || { echo "no pbq-tools package:"; ls "$work/debs"; exit 1; }
fi

expect_field() {  # DEB FIELD PATTERN
  local value
  value=$(dpkg-deb -f "$1" "$2")
  [[ "$value" =~ $3 ]] || { echo "$(basename "$1") $2: '$value' does not match $3"; exit 1; }
}
refuse_field() {  # DEB FIELD PATTERN
  if [[ "$(dpkg-deb -f "$1" "$2")" =~ $3 ]]; then echo "$(basename "$1") $2 has $3"; exit 1; fi
}
expect_field "$runtime" Depends 'libc6 \(>= [^)]*\)'
expect_field "$dev" Depends "libpbq1 \\(= ${version//./\\.}\\)"
expect_field "$dev" Depends 'libstdc\+\+-dev'
if [ "$(cache PBQ_YYJSON_FROM_SOURCE)" = ON ]; then
  refuse_field "$runtime" Depends yyjson
  refuse_field "$dev" Depends yyjson
else
  expect_field "$runtime" Depends 'libyyjson0 \(>= [^)]*\)'
  expect_field "$dev" Depends 'libyyjson-dev'
fi
if [ -n "$tools" ]; then
  expect_field "$tools" Depends "libpbq1 \\(= ${version//./\\.}\\)"
  tools_files=$(dpkg-deb -c "$tools")
  for program in pbq pbq-play pbq-make-album; do
    [ $program != pbq ] && [ ! -f "$build/player/$program" ] && continue
    grep -q " \./usr/bin/$program\$" <<<"$tools_files" || { echo "pbq-tools lacks $program"; exit 1; }
  done
  grep -q ' \./usr/share/pbq/album.json$' <<<"$tools_files" || { echo "pbq-tools lacks the example album"; exit 1; }
fi
# The runtime package holds the library only; the link and the rest are -dev's.
runtime_files=$(dpkg-deb -c "$runtime")
dev_files=$(dpkg-deb -c "$dev")
if grep -E 'include/|\.a$|libpbq\.so -> |pkgconfig|cmake/|bin/' <<<"$runtime_files"; then
  echo "libpbq1 holds development files"; exit 1
fi
grep -q 'libpbq\.so -> libpbq\.so\.1$' <<<"$dev_files" || { echo "libpbq-dev lacks the libpbq.so link"; exit 1; }
echo "ok   packages: $(basename "$runtime") $(basename "$dev") ${tools:+$(basename "$tools")}"

dpkg -x "$runtime" "$work/root"
dpkg -x "$dev" "$work/root"
so=$(find "$work/root" -name 'libpbq.so.1' | head -n 1)
libdir=$(dirname "$so")

cmake -S "$consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/root/usr" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >"$work/consumer.log" 2>&1 &&
  cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1 || { cat "$work/consumer.log"; exit 1; }
for program in consumer_c consumer_cpp consumer_static consumer_static_cpp; do
  [ "$(LD_LIBRARY_PATH="$libdir" "$work/consumer/$program")" = "consumer ok" ] || { echo "$program failed"; exit 1; }
done
PKG_CONFIG_PATH="$libdir/pkgconfig" "$cc" "$consumer/consumer.c" \
  $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs pbq) -o "$work/pc_consumer"
[ "$(LD_LIBRARY_PATH="$libdir" "$work/pc_consumer")" = "consumer ok" ] || { echo "pkg-config consumer failed"; exit 1; }
echo "ok   consumers built against the unpacked packages (find_package, pkg-config)"

prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
if ! command -v lintian >/dev/null; then
  echo "lintian not installed: not run"
elif [ "$prefix" != /usr ]; then
  echo "lintian: not run (the build's prefix is $prefix, not /usr)"
else
  lintian --fail-on error --suppress-tags-from-file /dev/null "$runtime" "$dev" $tools || { echo "lintian found errors"; exit 1; }
  echo "ok   lintian: no error"
fi

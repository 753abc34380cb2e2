#!/usr/bin/env bash
# The one build of each other platform, shared by `make test-platforms` (its tests, run
# under qemu and wine) and `make dist` (its packages and zip): build/platform/<target>,
# a Release library with yyjson inside as shipped, warnings as errors, no hosts, with the
# tests; Linux targets for the prefix /usr and Debian's multiarch directory. First this
# machine's trace of the random programs, which every target's identity test compares with.
# `make platform-builds` runs it once for both; the two scripts only read these trees.
#   scripts/platform-builds.sh [JOBS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/platforms.sh
platform_arguments "$@"
common=(-DCMAKE_BUILD_TYPE=Release -DPBQ_WERROR=ON -DPBQ_YYJSON_FROM_SOURCE=ON
        -DPBQ_BUILD_CLI=OFF -DPBQ_BUILD_EXAMPLES=OFF -DPBQ_BUILD_PLAYER=OFF)

build() {  # build DIR [ARGS...]: quiet, but the log's end when it fails
  local dir=$1
  shift
  cmake --build "$dir" -j "$jobs" "$@" >"$dir/build.log" 2>&1 || { tail -n 40 "$dir/build.log"; return 1; }
}

reference=$PWD/$root/trace-x86_64-linux-gnu.txt
cmake -S . -B $root/x86_64-linux-gnu "${common[@]}" -DPBQ_INSTALL=OFF >/dev/null
build $root/x86_64-linux-gnu --target pbq_trace
$root/x86_64-linux-gnu/tests/model/pbq_trace write "$reference"

# wine's prefix, once, before anything runs under it.
if command -v wineboot >/dev/null; then
  . scripts/wine-prefix.sh
  [ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1
fi

for target in "${targets[@]}"; do
  case $target in
    *-linux-*) options=(-DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=lib/$target) ;;
    *) options=(-DPBQ_INSTALL=OFF) ;;
  esac
  cmake -S . -B $root/$target --toolchain cmake/toolchains/$target.cmake "${common[@]}" "${options[@]}" \
    -DPBQ_TRACE_REFERENCE="$reference" >/dev/null
  build $root/$target
  echo "platform-builds: $root/$target"
done

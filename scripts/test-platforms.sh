#!/usr/bin/env bash
# `make test-platforms`: the library and its own tests cross-built for every platform
# this machine can run, each into build/platform/<target>/, and run there: arm64 and
# armhf Linux under qemu-user with the target's sysroot, 64-bit Windows under wine.
# Each runs the unit tests, the model test, threads, the unload rules, its exports, and
# the same random programs as this machine's build, compared byte for byte.
#   scripts/test-platforms.sh [JOBS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${1:-2}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(aarch64-linux-gnu arm-linux-gnueabihf x86_64-w64-mingw32)
root=build/platform
# What every platform's build shares: a Release library with yyjson inside, as shipped,
# warnings as errors, no hosts.
common=(-DCMAKE_BUILD_TYPE=Release -DPBQ_WERROR=ON -DPBQ_YYJSON_FROM_SOURCE=ON -DPBQ_INSTALL=OFF
        -DPBQ_BUILD_CLI=OFF -DPBQ_BUILD_EXAMPLES=OFF -DPBQ_BUILD_PLAYER=OFF)
SECONDS=0

# The reference: this machine's trace of the random programs.
reference=$PWD/$root/trace-x86_64-linux-gnu.txt
cmake -S . -B $root/x86_64-linux-gnu "${common[@]}" >/dev/null
build() {  # build DIR [ARGS...]: quiet, but the log's end when it fails
  local dir=$1
  shift
  cmake --build "$dir" -j "$jobs" "$@" >"$dir/build.log" 2>&1 || { tail -n 40 "$dir/build.log"; return 1; }
}
build $root/x86_64-linux-gnu --target pbq_trace
$root/x86_64-linux-gnu/tests/model/pbq_trace write "$reference"

# wine's own files stay in the build tree; its first start sets them up, without the
# .NET and HTML runtimes it would offer to fetch.
export WINEPREFIX=$PWD/$root/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
for target in "${targets[@]}"; do
  if [ "$target" = x86_64-w64-mingw32 ] && [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1
  fi
  echo "== $target"
  cmake -S . -B $root/$target --toolchain cmake/toolchains/$target.cmake "${common[@]}" \
    -DPBQ_TRACE_REFERENCE="$reference" >/dev/null
  build $root/$target
  ctest --test-dir $root/$target -j "$jobs" --output-on-failure
done
echo "test-platforms: ${targets[*]} passed in $((SECONDS / 60)) min $((SECONDS % 60)) s"

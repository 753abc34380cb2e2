#!/usr/bin/env bash
# `make test-platforms`: the library and its own tests as scripts/platform-builds.sh built
# them for every platform this machine can run, in build/platform/<target>/, run there:
# arm64 and armhf Linux under qemu-user with the target's sysroot, 64-bit Windows under
# wine. Each runs the unit tests, the model test, threads, the unload rules, its exports,
# and the same random programs as this machine's build, compared byte for byte.
#   scripts/test-platforms.sh [JOBS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${1:-2}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(aarch64-linux-gnu arm-linux-gnueabihf x86_64-w64-mingw32)
root=build/platform
SECONDS=0
. scripts/wine-prefix.sh
for target in "${targets[@]}"; do
  if [ ! -f $root/$target/CTestTestfile.cmake ]; then
    echo "test-platforms: no build in $root/$target: scripts/platform-builds.sh makes it (make platform-builds)" >&2
    exit 1
  fi
  echo "== $target"
  ctest --test-dir $root/$target -j "$jobs" --output-on-failure
done
echo "test-platforms: ${targets[*]} passed in $((SECONDS / 60)) min $((SECONDS % 60)) s"

#!/usr/bin/env bash
# `make test-platforms`: the library and its own tests as scripts/platform-builds.sh built
# them for every platform this machine can run, in build/platform/<target>/, run there:
# arm64 and armhf Linux under qemu-user with the target's sysroot, 64-bit Windows under
# wine. Each runs the unit tests, the model test, threads, the unload rules, its exports,
# and the same random programs as this machine's build, compared byte for byte.
#   scripts/test-platforms.sh [JOBS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/platforms.sh
platform_arguments "$@"
SECONDS=0
. scripts/wine-prefix.sh
for target in "${targets[@]}"; do
  need_platform_build test-platforms "$target" CTestTestfile.cmake
  echo "== $target"
  ctest --test-dir $root/$target -j "$jobs" --output-on-failure
done
echo "test-platforms: ${targets[*]} passed in $((SECONDS / 60)) min $((SECONDS % 60)) s"

#!/usr/bin/env bash
# The other platforms' artifacts in DIST_DIR used as a host gets them: the arm64 and armhf
# packages unpacked, tests/embed/consumer's C host built against them (shared and static)
# with the cross compiler and run under qemu; the Windows zip unpacked, the host built
# against its headers and import library and run under wine beside pbq.dll.
# They are where make dist puts them: DIST_DIR/arm64/, DIST_DIR/armhf/, DIST_DIR/windows/.
#   tests/platform/artifacts.sh DIST_DIR   (scripts/dist-platforms.sh runs it)
set -euo pipefail
cd "$(dirname "$0")/../.."
dist=$1
version=$(sed -n 's/^#define PBQ_VERSION_STRING "\(.*\)"$/\1/p' include/pbq.h)
host=tests/embed/consumer/consumer.c
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expect_ok() {  # expect_ok WHAT COMMAND...: the host prints "consumer ok"
  local what=$1 out
  shift
  out=$("$@" 2>&1 | tr -d '\r') || true
  if [ "$out" != "consumer ok" ]; then
    echo "artifacts: $what: $out" >&2
    return 1
  fi
  echo "artifacts: $what: consumer ok"
}

for target in arm64:aarch64-linux-gnu:qemu-aarch64 armhf:arm-linux-gnueabihf:qemu-arm; do
  IFS=: read -r arch triplet qemu <<<"$target"
  root=$work/$arch
  dpkg-deb -x "$dist/$arch/libpbq${version%%.*}_${version}_$arch.deb" "$root"
  dpkg-deb -x "$dist/$arch/libpbq-dev_${version}_$arch.deb" "$root"
  libdir=$root/usr/lib/$triplet
  $triplet-gcc -Wall -Werror -I"$root/usr/include" "$host" -L"$libdir" -lpbq -o "$work/$arch-shared"
  $triplet-gcc -Wall -Werror -I"$root/usr/include" "$host" "$libdir/libpbq.a" -lstdc++ -lm -lpthread \
    -o "$work/$arch-static"
  expect_ok "libpbq1 $arch" env LD_LIBRARY_PATH="$libdir" $qemu -L /usr/$triplet "$work/$arch-shared"
  expect_ok "libpbq-dev $arch, libpbq.a" $qemu -L /usr/$triplet "$work/$arch-static"
done

name=pbq-$version-windows-x86_64
python3 -m zipfile -e "$dist/windows/$name.zip" "$work"
zip=$work/$name
x86_64-w64-mingw32-gcc-posix -Wall -Werror -I"$zip/include" "$host" -L"$zip/lib" -lpbq -o "$zip/bin/consumer.exe"
export WINEPREFIX=${WINEPREFIX:-$PWD/build/platform/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
expect_ok "$name.zip" wine "$zip/bin/consumer.exe"

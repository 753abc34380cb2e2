#!/usr/bin/env bash
# The other platforms' artifacts in DIST_DIR used as a host gets them: the arm64 and armhf
# packages unpacked, tests/embed/consumer's C host built against them (shared and static)
# with the cross compiler and run under qemu; the Windows zip unpacked, the host built
# against its headers and import library and run under wine beside pbq.dll, then again the
# MSVC way against pbq.lib made from the zip's pbq.def.
# They are where make dist puts them: DIST_DIR/arm64/, DIST_DIR/armhf/, DIST_DIR/windows/.
#   tests/platform/artifacts.sh DIST_DIR   (scripts/dist-platforms.sh runs it)
set -euo pipefail
cd "$(dirname "$0")/../.."
dist=$1
version=$(cmake -P cmake/pbq_header.cmake version)
host=tests/embed/consumer/consumer.c
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expect_ok() {  # expect_ok WHAT COMMAND...: the host prints "consumer ok" and exits 0
  local what=$1 out status=0
  shift
  out=$("$@" 2>&1) || status=$?
  out=$(tr -d '\r' <<<"$out")
  if [ "$status" -ne 0 ] || [ "$out" != "consumer ok" ]; then
    echo "artifacts: $what: exit status $status: $out" >&2
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
  # libpbq.a hides yyjson's names and pbq's own: strong globals are the pbq_ functions only.
  others=$($triplet-nm --defined-only --extern-only "$libdir/libpbq.a" | awk 'NF == 3 && $2 ~ /^[BDGRST]$/ && $3 !~ /^pbq_/ {print $3}')
  [ -z "$others" ] || { echo "artifacts: $arch's libpbq.a has names a host could clash with: $others" >&2; exit 1; }
  echo "artifacts: libpbq-dev $arch, libpbq.a: no global names but pbq_'s"
done

name=pbq-$version-windows-x86_64
python3 -m zipfile -e "$dist/windows/$name.zip" "$work"
zip=$work/$name
x86_64-w64-mingw32-gcc-posix -Wall -Werror -I"$zip/include" "$host" -L"$zip/lib" -lpbq -o "$zip/bin/consumer.exe"
. scripts/wine-prefix.sh
expect_ok "$name.zip, MinGW's libpbq.dll.a" wine "$zip/bin/consumer.exe"

# The MSVC route of the zip: pbq.lib made from pbq.def alone, as `lib /def:pbq.def
# /machine:x64` makes it (llvm-dlltool, whose import library is of the same short-import
# form), a host compiled for the MSVC target and linked by lld-link (MSVC's link) against
# it, with no C runtime (tests/platform/msvc_consumer.c), run beside pbq.dll.
msvc=$work/msvc
mkdir -p "$msvc"
llvm-dlltool -m i386:x86-64 -d "$zip/lib/pbq.def" -l "$msvc/pbq.lib"
printf 'LIBRARY kernel32.dll\nEXPORTS\n  GetStdHandle\n  WriteFile\n  ExitProcess\n' >"$msvc/kernel32.def"
llvm-dlltool -m i386:x86-64 -d "$msvc/kernel32.def" -l "$msvc/kernel32.lib"
functions=$(cmake -P cmake/pbq_header.cmake exports | sed 's/.*/every[n++] = (void (*)(void))&;/' | tr -d '\n')
clang --target=x86_64-pc-windows-msvc -ffreestanding -fno-stack-protector -fno-builtin -O1 -Wall -Werror \
  -I"$zip/include" "-DPBQ_FUNCTIONS=$functions" -c tests/platform/msvc_consumer.c -o "$msvc/consumer.obj"
lld-link -nologo -entry:start -subsystem:console -nodefaultlib -out:"$zip/bin/consumer-msvc.exe" \
  "$msvc/consumer.obj" "$msvc/pbq.lib" "$msvc/kernel32.lib"
expect_ok "$name.zip, pbq.lib from pbq.def (MSVC's lib and link)" wine "$zip/bin/consumer-msvc.exe"

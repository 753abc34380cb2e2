#!/usr/bin/env bash
# The other platforms' artifacts, cross-built with yyjson inside (PBQ_YYJSON_FROM_SOURCE),
# each into a folder of DIST_DIR named for its platform (arm64/, armhf/, windows/), so that
# nothing in DIST_DIR itself is another architecture's (`make dist` runs it):
#   libpbq1 and libpbq-dev for arm64 and armhf, the same Debian packages as amd64's
#     (cmake/package.cmake), for Debian's multiarch directories;
#   pbq-VERSION-windows-x86_64.zip: pbq.dll, its import library libpbq.dll.a and pbq.def
#     (from which MSVC's `lib /def:pbq.def /machine:x64` makes pbq.lib), pbq.h, pbq.hpp
#     and LICENSE.
# From the builds of scripts/platform-builds.sh (make platform-builds), one per target,
# which `make test-platforms` tests.
#   scripts/dist-platforms.sh DIST_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 1 ] || { echo "usage: dist-platforms.sh DIST_DIR" >&2; exit 2; }
mkdir -p "$1"
dist=$(cd "$1" && pwd)
# Left by an older layout, these would be caught by the globs of the README's commands.
rm -f "$dist"/*_arm64.deb "$dist"/*_armhf.deb "$dist"/pbq-*-windows-*.zip
. scripts/platforms.sh
version=$(cmake -P cmake/pbq_header.cmake version)
for target in "${platform_targets[@]}"; do
  need_platform_build dist-platforms "$target" CMakeCache.txt
done

for target in aarch64-linux-gnu:arm64 arm-linux-gnueabihf:armhf; do
  IFS=: read -r target arch <<<"$target"
  dir=$root/$target
  # The library's dependencies as dpkg-shlibdeps reads them from the cross libraries'
  # shlibs and symbols files, with the cross packages' names made the target's own
  # (libc6:arm64 and libgcc-s1-armhf-cross are libc6 and libgcc-s1 on the target);
  # CPack's own call cannot look in the cross sysroot.
  mkdir -p "$dir/shlibdeps/debian"
  touch "$dir/shlibdeps/debian/control"
  depends=$(cd "$dir/shlibdeps" &&
    dpkg-shlibdeps --ignore-missing-info -l/usr/$target/lib -O "$PWD/../libpbq.so.$version" 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p' | sed 's/:[a-z0-9]*\([ ,]\|$\)/\1/g; s/-[a-z0-9]*-cross\([ ,]\|$\)/\1/g')
  [ -n "$depends" ] || { echo "dist-platforms: no dependencies found for $target's libpbq.so" >&2; exit 1; }
  rm -f "$dir"/*.deb
  (cd "$dir" && cpack -G DEB -D CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS=OFF \
     -D "CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS=$depends" >cpack.log 2>&1) ||
    { tail -n 40 "$dir/cpack.log"; exit 1; }
  mkdir -p "$dist/$arch"
  rm -f "$dist/$arch"/*.deb
  cp "$dir"/*.deb "$dist/$arch/"
done

# Windows: the zip's files, the DLL stripped.
target=x86_64-w64-mingw32
dir=$root/$target
name=pbq-$version-windows-x86_64
stage=$dir/$name
rm -rf "$stage"
mkdir -p "$stage/bin" "$stage/lib" "$stage/include"
x86_64-w64-mingw32-strip -o "$stage/bin/pbq.dll" "$dir/bin/pbq.dll"
cp "$dir/libpbq.dll.a" "$stage/lib/"
{
  echo "LIBRARY pbq.dll"
  echo "EXPORTS"
  x86_64-w64-mingw32-objdump -p "$stage/bin/pbq.dll" |
    sed -n '/\[\(Name Pointer\/Ordinal\|Ordinal\/Name Pointer\)\] Table/,/^$/p' |
    sed -n 's/^\t\[ *[0-9]*\] \([A-Za-z_][A-Za-z0-9_]*\)$/  \1/p'
} >"$stage/lib/pbq.def"
cp include/pbq.h include/pbq.hpp "$stage/include/"
cp LICENSE "$stage/"
mkdir -p "$dist/windows"
rm -f "$dist/windows/$name.zip"
(cd "$dir" && python3 -m zipfile -c "$dist/windows/$name.zip" "$name")
echo "dist-platforms: $(cd "$dist" && ls -- arm64/*.deb armhf/*.deb "windows/$name.zip" | tr '\n' ' ')"

# Each artifact used as a host uses it, under qemu and wine (the test and platforms
# profiles of install-deps.sh install them; the dist profile has only the compilers), and
# the zip's pbq.def made into an import library and linked the MSVC way (llvm-dlltool, lld-link).
. scripts/require-tools.sh
if require_tools "dist-platforms: the artifacts run as a host would" qemu-aarch64 qemu-arm wine \
     clang llvm-dlltool lld-link; then
  tests/platform/artifacts.sh "$dist"
fi

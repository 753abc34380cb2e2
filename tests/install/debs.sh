#!/usr/bin/env bash
# The Debian packages of DIST_DIR as a user of a stock Debian 12 gets them: `apt-get install
# ./*.deb` in a throwaway root that has only Debian 12's archive (debootstrap, minbase, plus a
# C compiler and sudo): every `<!-- test: debian12 -->` block of the README and docs/ run
# there as typed, as root, from a folder holding a copy of DIST_DIR as dist/ (all of it: the
# other platforms' folders too, which the README's globs must not catch) and the pages'
# `<!-- test: file NAME -->` blocks (the C quick start); then the packages, the quick start
# built against the shared library and statically, and pbq, pbq-play and pbq-make-album are
# checked. The checkout is out of the root's reach.
# Before that, on the packages themselves: lintian finds no error, and the shipped
# libpbq.so.1 exports exactly the 26 functions of pbq.h and has no RUNPATH.
#
# The base system is cached in build/debian12 (PBQ_DEBIAN12_CACHE): debootstrap's tarball of
# Debian 12's minbase, the root made from it with gcc and pkg-config installed, and apt's
# archive of the packages the tests pulled in. The first run downloads about 150 MB and takes
# about 6 minutes more; later ones copy the root (seconds) and download nothing new.
#   tests/install/debs.sh DIST_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "$1" && pwd)
cache=${PBQ_DEBIAN12_CACHE:-$top/build/debian12}
apt_lock=(-o DPkg::Lock::Timeout=900)

shopt -s nullglob
# This machine's architecture: dist/ may hold other architectures' packages too.
arch=$(dpkg --print-architecture)
debs=("$dist"/libpbq1_*_"$arch".deb "$dist"/libpbq-dev_*_"$arch".deb "$dist"/pbq-tools_*_"$arch".deb)
[ ${#debs[@]} -eq 3 ] || { echo "expected libpbq1, libpbq-dev and pbq-tools for $arch in $dist, found: $(ls "$dist")"; exit 1; }

. "$(dirname "$0")/roots.sh"

# The packages themselves.
lintian --fail-on error --suppress-tags-from-file /dev/null "${debs[@]}" >"$cache/lintian.log" 2>&1 ||
  { cat "$cache/lintian.log"; echo "lintian found errors"; exit 1; }
echo "ok   lintian: no error in $(for deb in "${debs[@]}"; do basename "$deb"; done | tr '\n' ' ')"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$unpacked"; done
so=$(echo "$unpacked"/usr/lib/*/libpbq.so.1)
exported=$(nm -D --defined-only "$so" | awk '{print $3}')
expected=$(cmake -P "$top/cmake/pbq_header.cmake" exports | LC_ALL=C sort)
if [ "$(LC_ALL=C sort <<<"$exported")" != "$expected" ]; then
  echo "libpbq.so.1 exports:"; echo "$exported"; echo "pbq.h declares:"; echo "$expected"; exit 1
fi
for elf in "$so" "$unpacked"/usr/bin/*; do
  if readelf -d "$elf" | grep -E 'RPATH|RUNPATH'; then echo "$(basename "$elf") has a search path"; exit 1; fi
done
echo "ok   libpbq.so.1 exports the 26 functions of pbq.h only; no shipped ELF file has a RUNPATH"

# The cached root: Debian 12's minbase from debootstrap, with what a C developer has (gcc,
# pkg-config), and apt's index of Debian 12's archive, which is all it knows.
if [ ! -f "$cache/root/.pbq-ready" ]; then
  base_tarball bookworm
  echo "making the Debian 12 root from it (once)"
  unpack_root bookworm "$cache/root" "$cache/debootstrap.log"
  in_root "$cache/root" apt-get "${apt_lock[@]}" -qq update
  in_root "$cache/root" apt-get "${apt_lock[@]}" -qq -y --no-install-recommends install gcc libc6-dev pkgconf \
    >"$cache/root-setup.log" 2>&1 || { cat "$cache/root-setup.log"; exit 1; }
  touch "$cache/root/.pbq-ready"
fi

work=$(mktemp -d /var/tmp/pbq-debs.XXXXXX)
trap 'rm -rf "$unpacked" "$work"' EXIT
cp -a "$cache/root" "$work/root"
cp /etc/resolv.conf "$work/root/etc/resolv.conf"
mkdir -p "$work/root/tmp/pbq-test"
cp -r "$dist" "$work/root/tmp/pbq-test/dist"
# The pages' debian12 blocks, one script per page (README first), and their files.
python3 "$top/tests/docs/blocks.py" script "$top" debian12 "$work/pages" >"$work/pages.list"
grep -qx README "$work/pages.list" || { echo "README.md has no <!-- test: debian12 --> block"; exit 1; }
mkdir -p "$work/root/tmp/pbq-test/pages"
while read -r page; do
  cp -r "$work/pages/$page/." "$work/root/tmp/pbq-test/"
  cp "$work/pages/$page.sh" "$work/root/tmp/pbq-test/pages/"
done <"$work/pages.list"
cp "$work/pages.list" "$work/root/tmp/pbq-test/pages/list"
cat >"$work/root/tmp/pbq-test/run.sh" <<'EOF'
set -eu
cd /tmp/pbq-test
fail() { echo "$1"; [ -f "${2:-}" ] && cat "$2"; exit 1; }
grep -v '^#' /etc/apt/sources.list | grep -q . && [ -z "$(ls /etc/apt/sources.list.d)" ] ||
  fail "the root knows more than Debian 12's archive"
apt-get -o DPkg::Lock::Timeout=900 -qq update
# The pages say `sudo`: a Debian 12 user has it (the cached root may predate it).
command -v sudo >/dev/null || apt-get -o DPkg::Lock::Timeout=900 -qq -y install sudo >/dev/null 2>&1 || fail "no sudo"
# apt answers the pages' `apt-get install` itself; dpkg may skip its syncs in a throwaway root.
printf 'APT::Get::Assume-Yes "true";\nDPkg::Options:: "--force-unsafe-io";\nDPkg::Lock::Timeout "900";\n' \
  >/etc/apt/apt.conf.d/99pbq-test
while read -r page; do
  bash "pages/$page.sh" >"$page.log" 2>&1 || fail "a command of $page failed, as typed:" "$page.log"
  echo "ok   $page: $(grep -c '^\$ ' "$page.log") commands as typed in Debian 12"
done <pages/list
grep -q 'self-test passed' README.log || fail "the README's pbq --script did not pass its self-test:" README.log
for p in libpbq1 libpbq-dev pbq-tools; do
  [ "$(dpkg-query -W -f='${Status}' "$p")" = "install ok installed" ] || fail "$p is not installed"
done
echo "ok   the README's apt-get install on Debian 12: $(grep -c '^Setting up' README.log) packages set up"

check_quickstart() {  # PROGRAM
  ./"$1" >"$1.out" 2>&1 || fail "$1 failed:" "$1.out"
  grep -q '"title":"Harbour Lights"' "$1.out" && grep -q '"lastTrackTime":42.5' "$1.out" ||
    fail "$1 printed something else:" "$1.out"
}
gcc -std=c99 -Wall -Wextra -Werror quickstart.c $(pkg-config --cflags --libs pbq) -o quickstart-strict
check_quickstart quickstart
check_quickstart quickstart-strict
ldd quickstart | grep -qE 'libpbq.so.1 => /(usr/)?lib/' || fail "quickstart does not use the installed libpbq.so.1"
echo "ok   README's C quick start, built with pkg-config pbq, runs"
check_quickstart quickstart-static
readelf -d quickstart-static | grep -q NEEDED && fail "quickstart-static is not static"
echo "ok   the same, linked statically with pkg-config --static pbq (libpbq.a, no yyjson package)"

pbq --version | grep -q '^pbq 1\.' || fail "pbq --version failed"
pbq --help >help.txt 2>&1 && grep -q 'usage: pbq' help.txt || fail "pbq --help failed:" help.txt
pbq --script /usr/share/pbq/session.pbq >session.txt 2>&1 || fail "pbq did not play its session:" session.txt
grep -q 'self-test passed' session.txt || fail "pbq's session did not pass its self-test:" session.txt
pbq-play --help >play-help.txt 2>&1 && grep -q 'pbq-play' play-help.txt || fail "pbq-play --help failed:" play-help.txt
echo "ok   pbq --help, pbq's example session and pbq-play --help"
pbq-make-album album 2 1 >album.txt 2>&1 || fail "pbq-make-album failed:" album.txt
printf 'until ended\nquit\n' | XDG_STATE_HOME=/tmp/pbq-test/state timeout 120 pbq-play --sink fake --fresh album/album.json \
  >play.txt 2>&1 || fail "pbq-play failed on the album:" play.txt
grep -q 'play #1' play.txt || fail "pbq-play did not play the album through:" play.txt
echo "ok   pbq-make-album makes an album and pbq-play plays it (fake sink) with the plug-ins apt installed"
EOF
in_root "$work/root" sh /tmp/pbq-test/run.sh

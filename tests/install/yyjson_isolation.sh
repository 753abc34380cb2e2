#!/usr/bin/env bash
# pbq's yyjson stays pbq's. libpbq1 and libpbq-dev of DIST_DIR, unpacked into a scratch
# folder, link hosts that have a yyjson of their own: one defines yyjson_read_opts itself
# (exported, so that it would interpose on any yyjson name libpbq.so.1 left open), one uses
# Debian's libyyjson. Each is linked with the shared and with the static library, through
# pkg-config: the links succeed (no clash), pbq works, and the host's yyjson calls reach
# the host's yyjson. Then the host project tests/embed/consumer is built against the
# packages' CMake package with clang at its default standard (C++14: pbq::pbq asks for
# C++17), from C and C++, shared and static. All of it runs with the checkout hidden.
#   tests/install/yyjson_isolation.sh DIST_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/root"
arch=$(dpkg --print-architecture)
for package in libpbq1 libpbq-dev; do
  debs=("$dist/${package}"_*_"$arch".deb)
  [ -f "${debs[0]}" ] || { echo "no $package package in $dist"; exit 1; }
  dpkg-deb -x "${debs[0]}" "$work/root"
done
cp -r "$top/tests/install/yyjson_hosts" "$work/hosts"
cp -r "$top/tests/embed/consumer" "$work/consumer"

cat >"$work/run.sh" <<'EOF'
set -euo pipefail
work=$1
cd "$work"
libdir=$(dirname "$(echo root/usr/lib/*/libpbq.so.1)")
libdir=$work/$libdir
export PKG_CONFIG_PATH=$libdir/pkgconfig
fail() { echo "$1"; [ -f "${2:-}" ] && cat "$2"; exit 1; }

undefined=$(nm -D --undefined-only "$libdir/libpbq.so.1" | grep -i yyjson || true)
[ -z "$undefined" ] || fail "libpbq.so.1 looks for yyjson names: $undefined"

shared=$(pkg-config --cflags --libs pbq)
# The static library, chosen over the shared one beside it, with what pbq.pc says it needs.
static=$(pkg-config --static --cflags --libs pbq)
static=${static/-lpbq/-l:libpbq.a}
for host in own_yyjson debian_yyjson; do
  extra=""
  [ $host = debian_yyjson ] && extra="-lyyjson"
  for link in shared static; do
    flags=$shared
    [ $link = static ] && flags=$static
    program=$host-$link
    gcc -std=c99 -Wall -Wextra -Werror -Wl,--export-dynamic hosts/$host.c $flags $extra -o $program \
      >$program.log 2>&1 || fail "$program did not link:" $program.log
    if [ $link = static ] && readelf -d $program | grep -q 'libpbq'; then fail "$program uses a shared libpbq"; fi
    names=$(nm $program | grep -E ' [BDRT] (unsafe_)?yyjson_' | grep -v ' T yyjson_read_opts$' || true)
    [ -z "$names" ] || fail "$program holds pbq's yyjson names: $names"
    LD_LIBRARY_PATH=$libdir ./$program >$program.out 2>&1 || fail "$program failed:" $program.out
    grep -qx 'host ok' $program.out || fail "$program said:" $program.out
    echo "ok   $program: pbq and the host each use their own yyjson"
  done
done

cmake -S consumer -B consumer-build -DCMAKE_PREFIX_PATH="$work/root/usr" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >consumer.log 2>&1 &&
  cmake --build consumer-build >>consumer.log 2>&1 || fail "the consumer project did not build:" consumer.log
for program in consumer_c consumer_cpp consumer_static consumer_static_cpp; do
  [ "$(LD_LIBRARY_PATH=$libdir consumer-build/$program)" = "consumer ok" ] || fail "$program failed"
done
echo "ok   find_package(pbq) with clang at its default standard: C and C++, shared and static"
EOF
"$top/tests/install/without-tree.sh" bash "$work/run.sh" "$work"

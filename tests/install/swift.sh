#!/usr/bin/env bash
# The Swift package (bindings/swift) as a Swift developer on Debian 13 gets it: in a throwaway
# root that has only Debian 13's archive, its Swift toolchain (swiftlang) and the libpbq1 and
# libpbq-dev packages of DIST_DIR (`make dist-debs`: the Release build, yyjson inside),
# installed with apt. There `swift build` and `swift test` run on a copy of the package and the
# behaviour table, the commands of docs/swift.md run as typed, its quick start runs again as a
# package of its own that depends on ours, its actor compiles in Swift 6 and a queue used
# from two tasks does not.
# Only the .deb files, the package and the table are copied in; the checkout is out of reach.
#
# The root is cached in PBQ_DEBIAN13_CACHE (default /var/cache/pbq/debian13): debootstrap's
# tarball of Debian 13's minbase, the root made from it with the toolchain installed, and
# apt's archive of what that pulled in. The first run downloads about 510 MB and takes about
# 5 minutes more; the root takes about 3.3 GB. Each run lays a scratch layer over the cached
# root (overlayfs), so the root itself never changes and nothing is copied.
#   tests/install/swift.sh DIST_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "$1" && pwd)
cache=${PBQ_DEBIAN13_CACHE:-/var/cache/pbq/debian13}
apt_lock=(-o DPkg::Lock::Timeout=900)
# Debian 13 packages Swift 6.0; another release line is a change to review, not to take silently.
swift_release=6.0

. "$(dirname "$0")/roots.sh"
work=$(mktemp -d /var/tmp/pbq-swift.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The page's ```swift block that contains TEXT.
page_block() {  # TEXT
  awk -v text="$1" '
    !inside && $0 == "```swift" { inside = 1; block = ""; next }
    inside && $0 == "```" { inside = 0; if (index(block, text)) { printf "%s", block; found = 1; exit } next }
    inside { block = block $0 "\n" }
    END { exit !found }' "$top/docs/swift.md" || { echo "docs/swift.md has no swift block with '$1'"; exit 1; }
}
page_block 'let album' >"$work/quickstart.swift"
diff -u "$top/bindings/swift/Examples/QuickStart/main.swift" "$work/quickstart.swift" ||
  { echo "the quick start of docs/swift.md is not bindings/swift/Examples/QuickStart/main.swift"; exit 1; }

# This machine's libpbq1 and libpbq-dev: dist/ may hold other architectures' packages too.
arch=$(dpkg --print-architecture)
shopt -s nullglob
debs=("$dist"/libpbq1_*_"$arch".deb "$dist"/libpbq-dev_*_"$arch".deb)
[ ${#debs[@]} -eq 2 ] || { echo "expected libpbq1 and libpbq-dev for $arch in $dist, found: $(ls "$dist")"; exit 1; }

# The cached root: Debian 13's minbase from debootstrap with the Swift toolchain, and apt's
# index of Debian 13's archive, which is all it knows.
if [ ! -f "$cache/root/.pbq-ready" ]; then
  SECONDS=0
  base_tarball trixie
  echo "making the Debian 13 root with Swift from it (once)"
  unpack_root trixie "$cache/root" "$cache/debootstrap.log"
  in_root "$cache/root" apt-get "${apt_lock[@]}" -qq update
  in_root "$cache/root" apt-get "${apt_lock[@]}" -qq -y --no-install-recommends install \
    swiftlang libc6-dev libstdc++-14-dev pkgconf sudo >"$cache/root-setup.log" 2>&1 || { cat "$cache/root-setup.log"; exit 1; }
  touch "$cache/root/.pbq-ready"
  echo "the Debian 13 root is ready after $((SECONDS / 60)) min $((SECONDS % 60)) s: $(du -sh "$cache" | cut -f1) in $cache"
fi

# What goes in: the packages in dist/, our Swift package and its behaviour table in the
# checkout's layout, and the blocks of docs/swift.md.
test=$work/upper/layer/tmp/pbq-test
mkdir -p "$test/dist" "$test/pbq/bindings"
chmod 1777 "$work/upper/layer/tmp"
cp "${debs[@]}" "$test/dist/"
cp "$top/bindings/behaviours.json" "$top/bindings/light-read.json" "$test/pbq/bindings/"
tar -C "$top/bindings" --exclude=.build --exclude=.swiftpm -cf - swift | tar -C "$test/pbq/bindings" -xf -
mkdir -p "$test/quickstart/Sources/QuickStart"
cp "$work/quickstart.swift" "$test/quickstart/Sources/QuickStart/main.swift"
page_block 'swift-tools-version' >"$test/quickstart/Package.swift"
page_block 'actor Player' >"$test/actor.swift"
cp "$top/tests/install/swift-sendable.swift" "$test/"

# The commands of docs/swift.md, each line as the page has it (tests/docs/blocks.py checks).
cat >"$test/install.sh" <<'EOF'
cd /tmp/pbq-test
sudo apt-get install swiftlang libc6-dev libstdc++-14-dev pkgconf ./dist/libpbq1_*.deb ./dist/libpbq-dev_*.deb
EOF
cat >"$test/commands.sh" <<'EOF'
cd /tmp/pbq-test/pbq
cd bindings/swift
swift build
swift test
swift run QuickStart
EOF

cat >"$test/run.sh" <<EOF
swift_release=$swift_release
EOF
cat >>"$test/run.sh" <<'EOF'
set -eu
cd /tmp/pbq-test
fail() { echo "$1"; [ -f "${2:-}" ] && tail -n 60 "$2"; exit 1; }
grep -v '^#' /etc/apt/sources.list | grep -q . && [ -z "$(ls /etc/apt/sources.list.d)" ] ||
  fail "the root knows more than Debian 13's archive"
version=$(swift --version 2>&1 | sed -n 's/^Swift version \([0-9.]*\).*/\1/p')
case $version in
  "$swift_release" | "$swift_release".*) ;;
  *) fail "Debian 13's swiftlang gives Swift '$version', not $swift_release: review the package with it, then change swift_release in tests/install/swift.sh" ;;
esac
# apt answers the page's `apt-get install` itself; dpkg may skip its syncs in a throwaway root.
printf 'APT::Get::Assume-Yes "true";\nDPkg::Options:: "--force-unsafe-io";\nDPkg::Lock::Timeout "900";\n' \
  >/etc/apt/apt.conf.d/99pbq-test

# The page's commands as typed: the install in the folder that holds dist/, then the build,
# the tests and the example in the checkout.
sh -eux install.sh >install.log 2>&1 || fail "docs/swift.md's install command failed:" install.log
for p in swiftlang libpbq1 libpbq-dev; do
  [ "$(dpkg-query -W -f='${Status}' "$p")" = "install ok installed" ] || fail "$p is not installed"
done
echo "ok   docs/swift.md's apt-get install on Debian 13: Swift $version (swiftlang $(dpkg-query -W -f='${Version}' swiftlang)), libpbq1, libpbq-dev"
started=$(date +%s)
sh -eux commands.sh >commands.log 2>&1 || fail "docs/swift.md's commands failed:" commands.log
tests=$(grep -E "Executed [0-9]+ tests?, with 0 failures" commands.log | tail -1) || fail "swift test ran no tests:" commands.log
echo "ok   swift build, swift test and swift run QuickStart ($(($(date +%s) - started)) s): ${tests#"${tests%%Executed*}"}"
grep -h '^heap growth' commands.log | sed 's/^/     /'
check_quickstart() {  # OUTPUT
  grep -q '"title":"Harbour Lights"' "$1" && grep -q '"lastTrackTime":42.5' "$1" &&
    grep -q '^resumed Harbour Lights at 42.5 s$' "$1" || fail "the quick start printed something else:" "$1"
}
check_quickstart commands.log
cd pbq/bindings/swift
ldd .build/debug/QuickStart | grep -qE 'libpbq.so.1 => /(usr/)?lib/' || fail "QuickStart does not use the installed libpbq.so.1"
echo "ok   QuickStart prints the state and resume documents and resumes, with the installed libpbq.so.1"

# Swift 6 on concurrency: the page's actor compiles; a queue used from two tasks does not.
modules=$(dirname "$(find .build/debug/ -name Pbq.swiftmodule -print -quit)")
# The data-race checks run on SIL, after type checking: compile that far.
typecheck() { swiftc -swift-version 6 -emit-sil -o /dev/null -I "$modules" -I Sources/CPbq "$@"; }
typecheck /tmp/pbq-test/actor.swift >actor.log 2>&1 || fail "the page's actor does not compile in Swift 6:" actor.log
if typecheck /tmp/pbq-test/swift-sendable.swift >sendable.log 2>&1; then
  fail "Swift 6 let one PlayQueue be used from two tasks at once"
fi
grep -qE "data race|Sendable" sendable.log || fail "the Swift 6 check failed for another reason:" sendable.log
echo "ok   Swift 6: the page's actor owning a queue compiles; one queue used from two tasks does not:"
grep -m1 'error:' sendable.log | sed 's/^.*error: /     /'

cd /tmp/pbq-test/quickstart
swift run >run.log 2>&1 || fail "the quick start as a host's package failed:" run.log
check_quickstart run.log
echo "ok   the quick start runs in a package of its own with the page's Package.swift"
EOF
in_root "$cache/root" --layer "$work/upper" sh /tmp/pbq-test/run.sh

#!/usr/bin/env bash
# Installs what one job of pbq's needs (the CLI, the player, the artifacts, the docs or the
# tests), and nothing more. Idempotent and quiet when everything is already there. The jobs
# that build yyjson in (run, play, dist) leave apt's configuration as it is; the others take
# the system yyjson or emscripten from Debian's next release (trixie), pinned low so that
# no other package is ever taken from that suite.
set -euo pipefail

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The URI of the Debian archive that serves the release's main suite (not -security,
# -updates or -backports), from apt's sources under APT_DIR (/etc/apt): the deb822
# files sources.list.d/*.sources (Debian 12's default) or the one-line sources.list
# and sources.list.d/*.list (roots made by debootstrap). Prints nothing when none is
# found.
debian_uri() {
  local dir=$1 files=() f
  for f in "$dir"/sources.list.d/*.sources "$dir"/sources.list "$dir"/sources.list.d/*.list; do
    [ -f "$f" ] && [ "$(basename "$f")" != pbq-trixie.sources ] && files+=("$f")
  done
  [ ${#files[@]} -gt 0 ] || return 0
  awk '
    function main_suite(s) { return s !~ /-(security|updates|backports)$/ }
    function found(u) { print u; done = 1; exit }
    function stanza_end() {
      if (!done && types ~ /(^| )deb( |$)/ && tolower(enabled) != "no" && uri != "" && found_suite) found(uri)
      types = ""; uri = ""; enabled = ""; found_suite = 0
    }
    FNR == 1 { stanza_end() }
    /^[ \t]*#/ { next }
    FILENAME ~ /\.sources$/ {
      if ($0 ~ /^[ \t]*$/) { stanza_end(); next }
      key = tolower($1)
      if (key == "types:") { types = ""; for (i = 2; i <= NF; i++) types = types " " $i; sub(/^ /, "", types) }
      else if (key == "uris:") uri = $2
      else if (key == "enabled:") enabled = $2
      else if (key == "suites:") for (i = 2; i <= NF; i++) if (main_suite($i)) found_suite = 1
      next
    }
    $1 == "deb" {
      i = 2
      if ($i ~ /^\[/) while (i <= NF && $i !~ /\]$/) i++
      if ($i ~ /^\[/ || $i ~ /\]$/) i++
      if (i + 1 <= NF && main_suite($(i + 1))) found($i)
    }
    END { stanza_end() }
  ' "${files[@]}"
}

# debian_uri, or a message saying what to do and a failure.
require_debian_uri() {
  local uri
  uri=$(debian_uri "$1")
  if [ -z "$uri" ]; then
    echo "install-deps: found no Debian archive in apt's sources under $1 (sources.list.d/*.sources," >&2
    echo "  sources.list or sources.list.d/*.list), so yyjson cannot be taken from Debian's next" >&2
    echo "  release. Add the archive, e.g. the line 'deb http://YOUR-DEBIAN-MIRROR/debian bookworm main'" >&2
    echo "  to $1/sources.list, or install libyyjson-dev (0.10 or later) yourself; then run this again." >&2
    return 1
  fi
  echo "$uri"
}

# `install-deps.sh --debian-uri [APT_DIR]` only prints the archive's URI (for tests).
if [ "${1:-}" = --debian-uri ]; then
  require_debian_uri "${2:-/etc/apt}"
  exit
fi

# One install at a time on this machine: `make -j test` starts the jobs' profiles together,
# and apt's package lists have a lock that apt-get update does not wait for.
exec 9>"${TMPDIR:-/tmp}/pbq-install-deps.lock"
flock 9

# What each job needs, from Debian 12:
#   run    the CLI (make run): compiler, CMake, make, pkg-config, xxhash's header, and yyjson's
#          source fetched into build/ and built in; nothing in apt's configuration changes.
#   play   pbq-play (make play): run's and GStreamer; yyjson's source, as run.
#   build  the release build with its tests (make, make build): run's, GoogleTest, GStreamer,
#          and the system yyjson (libyyjson-dev) from Debian's next release.
#   dist   the artifacts of `make dist`: the library with yyjson's source built in (no yyjson
#          package), the Debian packages (pbq-play needs GStreamer), the wheel, the npm
#          package, the jar, and the other platforms' packages and zip (cross compilers);
#          nothing in apt's configuration changes.
#   docs   the API reference (make docs): doxygen and python3 (the docs' own checks).
#   web    the WebAssembly build and the web package's tests (make wasm, make test-web):
#          emscripten from Debian's next release.
#   platforms  the cross compilers, qemu-user and wine of `make test-platforms`.
#   test   everything the tests, benchmarks and checks use (a superset of the others).
# The build, web and test profiles add Debian's next release (trixie) to apt's sources,
# pinned low so that only the packages named are ever taken from it.
# `install-deps.sh [run|play|build|dist|docs|web|platforms|test]`; test when none is given.
profile=${1:-test}
apt_extra=()
run_packages=(g++ cmake make pkg-config libxxhash-dev xz-utils)
# pbq-play: GStreamer, its base plug-ins (playbin, the test tones, ALSA) and good
# ones (WAV, FLAC, scaletempo), the discoverer (pbutils) for a folder's tags.
player_packages=(libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
                 gstreamer1.0-plugins-good gstreamer1.0-alsa)
build_packages=("${run_packages[@]}" "${player_packages[@]}" libgtest-dev libgmock-dev)
docs_packages=(doxygen python3)
dist_packages=("${run_packages[@]}" "${player_packages[@]}" dpkg-dev file xz-utils
               python3 python3-pip python3-setuptools python3-wheel python3-venv openjdk-17-jdk-headless)
# Cross compilers for arm64, armhf and 64-bit Windows (with POSIX threads): the other
# platforms' packages and zip, from their one build each with its tests (GoogleTest's
# sources, libgtest-dev, built for each target): scripts/platform-builds.sh.
cross_packages=(g++-aarch64-linux-gnu g++-arm-linux-gnueabihf g++-mingw-w64-x86-64-posix libgtest-dev)
dist_packages+=("${cross_packages[@]}")
test_packages=("${dist_packages[@]}" "${docs_packages[@]}" clang libgtest-dev libgmock-dev libbenchmark-dev
               valgrind libclang-rt-14-dev binutils gcovr lintian)
# The Debian packages' install test and the fresh-root test of `make run`: Debian 12 roots
# made by debootstrap.
test_packages+=(debootstrap)
# `make test-platforms`: the cross compilers, qemu-user and wine to run what they build,
# GoogleTest's sources (libgtest-dev) to build it for each target.
# The Windows zip's pbq.def made into pbq.lib and a host linked the MSVC way:
# llvm-dlltool and lld-link (llvm, lld), clang for the MSVC target.
platform_packages=(g++ cmake make libxxhash-dev "${cross_packages[@]}" qemu-user wine64 wine clang llvm lld)
test_packages+=("${platform_packages[@]}")
# The language bindings' tests: pytest, JUnit (and gson, which reads the shared
# behaviour table in the Java tests).
test_packages+=(python3-pytest junit4 libgoogle-gson-java)
# pbq-play's MPRIS test: a private session bus and a real client.
test_packages+=(dbus playerctl)
# The web build: emscripten from Debian's next release (Debian 12's 3.1.6 has no
# floating-point std::to_chars), Debian 12's binaryen (wasm-opt) and chromium for the
# browser tests (and the docs' screenshot); the library's build tools and xxhash's header
# as for the CLI.
web_packages=("${run_packages[@]}" binaryen chromium)
web_trixie_packages=(emscripten)
test_packages+=(binaryen chromium)
trixie_packages=()
# The compiler's recommends (libc-devtools, manual pages, image libraries) are not needed
# by run, play and build.
case $profile in
  run) packages=("${run_packages[@]}"); need_node=0; need_source=1; need_system_yyjson=0
       apt_extra=(--no-install-recommends) ;;
  play) packages=("${run_packages[@]}" "${player_packages[@]}"); need_node=0; need_source=1; need_system_yyjson=0
       apt_extra=(--no-install-recommends) ;;
  build) packages=("${build_packages[@]}"); need_node=0; need_source=0; need_system_yyjson=1
       apt_extra=(--no-install-recommends) ;;
  dist) packages=("${dist_packages[@]}"); need_node=1; need_source=1; need_system_yyjson=0 ;;
  docs) packages=("${docs_packages[@]}"); need_node=0; need_source=0; need_system_yyjson=0
       apt_extra=(--no-install-recommends) ;;
  web) packages=("${web_packages[@]}"); need_node=1; need_source=1; need_system_yyjson=0
       trixie_packages=("${web_trixie_packages[@]}") ;;
  platforms) packages=("${platform_packages[@]}"); need_node=0; need_source=1; need_system_yyjson=0 ;;
  test) packages=("${test_packages[@]}"); need_node=1; need_source=1; need_system_yyjson=1
        trixie_packages=("${web_trixie_packages[@]}") ;;
  *) echo "usage: install-deps.sh [run|play|build|dist|docs|web|platforms|test] | --debian-uri [APT_DIR]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
# Node and npm for the Node binding: Debian's, unless the machine already has a node.
if [ $need_node -eq 1 ]; then
  command -v node >/dev/null 2>&1 || missing+=(nodejs)
  command -v npm >/dev/null 2>&1 || missing+=(npm)
fi
need_yyjson=0
if [ $need_system_yyjson -eq 1 ]; then
  dpkg-query -W -f='${Status}' libyyjson-dev 2>/dev/null | grep -q '^install ok installed$' || need_yyjson=1
fi
missing_trixie=()
for p in "${trixie_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing_trixie+=("$p")
done

# yyjson's source, for the builds that compile it into the library.
fetch_source() {
  if [ $need_source -eq 1 ]; then "$(dirname "$0")/fetch-yyjson.sh"; fi
}

if [ ${#missing[@]} -eq 0 ] && [ $need_yyjson -eq 0 ] && [ ${#missing_trixie[@]} -eq 0 ]; then
  fetch_source
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
  updated=1
  as_root apt-get -o DPkg::Lock::Timeout=900 install -y -qq ${apt_extra[@]+"${apt_extra[@]}"} "${missing[@]}" >/dev/null
fi

if [ $need_yyjson -eq 1 ] || [ ${#missing_trixie[@]} -gt 0 ]; then
  list=/etc/apt/sources.list.d/pbq-trixie.sources
  pin=/etc/apt/preferences.d/pbq-trixie
  if [ ! -f "$list" ]; then
    uri=$(require_debian_uri /etc/apt) || exit 1
    printf 'Types: deb\nURIs: %s\nSuites: trixie\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' "$uri" |
      as_root tee "$list" >/dev/null
  fi
  if [ ! -f "$pin" ]; then
    printf 'Package: *\nPin: release n=trixie\nPin-Priority: 100\n' | as_root tee "$pin" >/dev/null
  fi
  as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
fi
if [ $need_yyjson -eq 1 ]; then
  echo "installing: libyyjson-dev (trixie)"
  as_root apt-get -o DPkg::Lock::Timeout=900 install -y -qq ${apt_extra[@]+"${apt_extra[@]}"} -t trixie libyyjson-dev >/dev/null
fi
# Only the named package from trixie (pkg/trixie); its dependencies come from Debian 12
# wherever Debian 12 satisfies them.
if [ ${#missing_trixie[@]} -gt 0 ]; then
  echo "installing: ${missing_trixie[*]} (trixie)"
  as_root apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing_trixie[@]/%//trixie}" >/dev/null
fi
fetch_source

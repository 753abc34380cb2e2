#!/usr/bin/env bash
# The commands of the README and docs/ that are typed in a clone of this repository (their
# blocks are marked `<!-- test: by tests/docs/checkout.sh -->`), each line below exactly as
# the page has it; tests/docs/blocks.py check fails when a page's line is missing here. HOME
# is a throwaway folder, so that ~/pbq, ~/example_host and ~/Music are the test's own.
#   tests/docs/checkout.sh   (make test-docs; after the release build of make test)
set -euo pipefail
cd "$(dirname "$0")/../.."
export HOME
HOME=$(mktemp -d /tmp/pbq-docs-home-XXXXXX)
trap 'rm -rf "$HOME"' EXIT
log=$HOME/log
fail() { cat "$log"; echo "checkout.sh: $1" >&2; exit 1; }

# docs/player.md. Without a sound device the player says how to play in silence and exits
# with 4; make then fails, which is what the page says happens.
status=0
{
make play
} </dev/null >"$log" 2>&1 || status=$?
if [ $status -ne 0 ]; then
  grep -q 'fake plays in silence' "$log" || fail "make play failed, and not for want of a sound device"
  echo "ok   make play: no sound device here; it says that SINK=fake plays in silence"
else
  grep -q '^play #4 ' "$log" || fail "make play did not play the demo album through"
  echo "ok   make play: the demo album played"
fi
build/play/player/pbq-make-album "$HOME/Music" 2 1 >/dev/null
{
make play TRACKS=~/Music SINK=fake
} </dev/null >"$log" 2>&1 || fail "make play TRACKS=~/Music SINK=fake failed"
grep -q '^play #1 ' "$log" || fail "make play TRACKS=~/Music SINK=fake did not play the folder through"
echo "ok   make play TRACKS=~/Music SINK=fake: the folder played"

# docs/c-and-cpp.md: the release build installed into ~/pbq and a C host built with pkg-config.
{
make build
cmake --install build/release --prefix ~/pbq
export PKG_CONFIG_PATH=~/pbq/lib/pkgconfig
cc examples/example_host.c $(pkg-config --cflags --libs pbq) -o ~/example_host
LD_LIBRARY_PATH=~/pbq/lib ~/example_host
} >"$log" 2>&1 || fail "building a host against the installed release build failed"
grep -q 'restored: resumed at 42.5 s' "$log" || fail "the example host printed something else"
echo "ok   make build, cmake --install into ~/pbq, a C host built with pkg-config and run"

# docs/c-and-cpp.md: the Python ctypes host.
{
python3 examples/python/pbq_demo.py --library build/release/libpbq.so.1
} >"$log" 2>&1 || fail "pbq_demo.py failed"
echo "ok   python3 examples/python/pbq_demo.py --library build/release/libpbq.so.1"

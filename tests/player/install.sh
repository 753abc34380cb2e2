#!/usr/bin/env bash
# The tools as `cmake --install` lays them out: pbq-play and pbq-make-album run from
# the prefix (beside the library), and the desktop entry opens audio files,
# playlists and folders with the installed player.
#   tests/player/install.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: install.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

for component in runtime tools; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
for tool in pbq-play pbq-make-album; do
  [ -x "$prefix/bin/$tool" ] || fail "$tool is not installed in bin/"
done
entry="$prefix/share/applications/pbq-play.desktop"
[ -f "$entry" ] || fail "no desktop entry in share/applications/"

# Run from the prefix, away from the build tree.
"$prefix/bin/pbq-play" --help | head -1 | grep -q '^Usage: pbq-play' || fail "pbq-play --help"
"$prefix/bin/pbq-play" --version | grep -q '^pbq-play ' || fail "pbq-play --version"
"$prefix/bin/pbq-make-album" --help | grep -q '^usage: pbq-make-album' || fail "pbq-make-album --help"

# The entry names the installed program and what a file manager may hand it.
value() { sed -n "s/^$1=//p" "$entry"; }
[ "$(value Type)" = Application ] || fail "Type"
[ "$(value Exec)" = "pbq-play %F" ] || fail "Exec: $(value Exec)"
[ -x "$prefix/bin/$(value TryExec)" ] || fail "TryExec names no installed program"
for type in audio/mpeg audio/flac audio/ogg audio/x-wav audio/x-mpegurl inode/directory; do
  value MimeType | tr ';' '\n' | grep -qx "$type" || fail "MimeType lacks $type"
done
# The bus's DesktopEntry property names this file.
[ "$(basename "$entry" .desktop)" = pbq-play ] || fail "the entry's name"
echo "installed: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"

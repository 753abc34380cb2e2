#!/usr/bin/env bash
# Every `<!-- test: folder -->` block of the README and docs/, run as typed: each page's
# blocks in order, in a throwaway folder of its own that holds a copy of DIST_DIR as dist/,
# examples/ and the page's `<!-- test: file NAME -->` blocks, with this checkout out of reach
# (without-tree.sh). npm is kept offline: the packages need nothing from a registry.
#   tests/docs/commands.sh DIST_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "${1:?usage: commands.sh DIST_DIR}" && pwd)
[ "$(basename "$dist")" = dist ] || { echo "commands.sh: DIST_DIR must be a folder named dist" >&2; exit 2; }
work=$(mktemp -d /tmp/pbq-docs-XXXXXX)
trap 'rm -rf "$work"' EXIT

# The documented globs, against dist/ as make dist lays it out: one file each.
python3 "$top/tests/docs/blocks.py" globs "$top" "$(dirname "$dist")"
python3 "$top/tests/docs/blocks.py" script "$top" folder "$work/scripts" >"$work/pages"
[ -s "$work/pages" ] || { echo "commands.sh: no <!-- test: folder --> block found" >&2; exit 1; }
while read -r page; do
  place=$work/$page
  mkdir -p "$place"
  cp -r "$dist" "$place/dist"
  cp -r "$top/examples" "$place/examples"
  cp -r "$work/scripts/$page/." "$place/"
  cp "$work/scripts/$page.sh" "$place/.commands.sh"
  if ! (cd "$place" && npm_config_offline=true npm_config_audit=false npm_config_fund=false \
          PIP_DISABLE_PIP_VERSION_CHECK=1 "$top/tests/install/without-tree.sh" bash .commands.sh) \
        >"$work/$page.log" 2>&1; then
    cat "$work/$page.log"
    echo "commands.sh: a command of $page failed (above)" >&2
    exit 1
  fi
  echo "ok   $page: $(grep -c '^\$ ' "$work/$page.log") commands as typed"
done <"$work/pages"

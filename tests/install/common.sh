# What tests/install/python.sh, node.sh and java.sh share; sourced, not run. Each copies
# its artifact, the album and its page's quick start (docs/) into a fresh folder, then runs
# its install and the quick start there through without-tree.sh, with this checkout
# out of reach.

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/../.." && pwd)
dist=$(cd "${1:-$top/dist}" && pwd)
# The fresh folder: the artifact, examples/album.json (the quick starts read it) and
# check-elf.sh.
place=$(mktemp -d /tmp/pbq-install-XXXXXX)
trap 'rm -rf "$place"' EXIT
mkdir "$place/examples"
cp "$top/examples/album.json" "$place/examples/"
cp "$here/check-elf.sh" "$place/"

# The one artifact in dist/ whose name matches PATTERN, copied into the fresh folder;
# prints its name.
take_artifact() { # PATTERN
  local found=("$dist"/$1)
  if [ ${#found[@]} -ne 1 ] || [ ! -f "${found[0]}" ]; then
    echo "$0: expected one $1 in $dist, found: ${found[*]}" >&2
    exit 1
  fi
  cp "${found[0]}" "$place/"
  basename "${found[0]}"
}

# A quick start of the docs: the first ```LANGUAGE block of PAGE (docs/python.md, ...) that
# contains TEXT.
quick_start() { # PAGE LANGUAGE TEXT
  awk -v lang="$2" -v text="$3" '
    !inside && $0 == "```" lang { inside = 1; block = ""; next }
    inside && $0 == "```" { inside = 0; if (index(block, text)) { printf "%s", block; found = 1; exit } next }
    inside { block = block $0 "\n" }
    END { exit !found }' "$top/$1" || {
    echo "$0: $1 has no \`\`\`$2 block containing '$3'" >&2
    exit 1
  }
}

# Runs SCRIPT (a file in the fresh folder) with bash there, the checkout hidden.
run_without_tree() { # SCRIPT
  (cd "$place" && "$here/without-tree.sh" bash "$place/$1" "$place")
}

#!/usr/bin/env bash
# Runs the quick start of a binding's README (the first ```LANGUAGE block) from the
# repository's root, as a reader who copied it would, against this build.
#   bindings/readme-quick-start.sh python|js|java README [PBQ_JAR]
# The library and the addon come from the environment (PBQ_LIBRARY, PBQ_ADDON).
set -euo pipefail
language=$1 readme=$2
repo=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
awk -v lang="$language" '
  !inside && $0 == "```" lang { inside = 1; next }
  inside && $0 == "```" { found = 1; exit }
  inside { print }
  END { exit !found }' "$readme" >"$scratch/quick_start" || { echo "$readme has no \`\`\`$language block" >&2; exit 1; }
cd "$repo"
case $language in
  python) PYTHONPATH=$repo/bindings/python /usr/bin/python3 "$scratch/quick_start" ;;
  js)
    # `require('pbq')` finds the package as an installed one is found.
    mkdir "$scratch/node_modules" && ln -s "$repo/bindings/node" "$scratch/node_modules/pbq"
    mv "$scratch/quick_start" "$scratch/quick_start.js" && node "$scratch/quick_start.js" ;;
  java)
    { echo 'public class App {'; echo '  public static void main(String[] args) throws Exception {'
      cat "$scratch/quick_start"; echo '  }'; echo '}'; } >"$scratch/App.java"
    javac -d "$scratch" -cp "$3" "$scratch/App.java" && java -cp "$3:$scratch" App ;;
  *) echo "no language $language" >&2; exit 2 ;;
esac

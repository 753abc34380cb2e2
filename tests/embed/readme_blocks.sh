#!/usr/bin/env bash
# The C and C++ code blocks of the README and docs/ are complete programs: each is compiled
# as it stands, with strict warnings, against the built library, and run.
# Usage: readme_blocks.sh TOP INCLUDE_DIR LIBRARY_DIR C_COMPILER CXX_COMPILER WORK_DIR
set -euo pipefail
top=$1 include=$2 libdir=$3 cc=$4 cxx=$5 work=$6
rm -rf "$work"
mkdir -p "$work"

# Each ```c and ```cpp block to PAGE-block-N.c or PAGE-block-N.cpp.
for page in "$top/README.md" "$top"/docs/*.md; do
  name=$(basename "$page" .md)
  awk -v dir="$work" -v name="$name" '
    /^```(c|cpp)$/ { n++; ext = substr($0, 4); file = dir "/" name "-block-" n "." ext; next }
    /^```/ { file = ""; next }
    file != "" { print > file }
  ' "$page"
done

shopt -s nullglob
blocks=("$work"/*-block-*.c "$work"/*-block-*.cpp)
[ -f "$work/README-block-1.c" ] || { echo "expected the README's C quick start"; exit 1; }
[ ${#blocks[@]} -ge 2 ] || { echo "expected the C and the C++ block, found ${#blocks[@]}"; exit 1; }
for block in "${blocks[@]}"; do
  case $block in
    *.c) "$cc" -std=c99 -Wall -Wextra -pedantic -Werror -I"$include" "$block" -L"$libdir" -lpbq -o "$block.out" ;;
    *.cpp) "$cxx" -std=c++17 -Wall -Wextra -pedantic -Werror -I"$include" "$block" -L"$libdir" -lpbq -o "$block.out" ;;
  esac
  LD_LIBRARY_PATH="$libdir" "$block.out" >"$block.log" 2>&1 || { echo "$(basename "$block") failed:"; cat "$block.log"; exit 1; }
  echo "ok   $(basename "$block"): $(head -c 200 "$block.log" | tr '\n' ' ')"
done

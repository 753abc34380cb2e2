#!/usr/bin/env bash
# make bench-hosts: every host's benchmark in one run, at the sizes in BENCH_SIZES.
#
# Builds the release preset (the library, pbq and pbq-play), then runs each piece
# bench/hosts/*.sh (this file aside) from the repository root, in a fixed order,
# with BENCH_SIZES and PBQ_RELEASE in its environment. Prints each piece's output
# under a heading, then every target line of every piece. Exits 1 when a piece
# exits non-zero or misses a target.
#
# A piece prints its figures as `name: value` lines and each target as
# `target <text>: held` or `target <text>: MISSED (why)`, builds whatever else it
# needs, and exits 1 when it misses a target.
#
# Environment: BENCH_SIZES (default "10 100000 1000000"); BENCH_PIECES, the pieces to
# run by name (default all); BENCH_SKIP_BUILD=1 uses PBQ_RELEASE as it is built.
set -u
cd "$(dirname "$0")/../.."

export BENCH_SIZES="${BENCH_SIZES:-10 100000 1000000}"
export PBQ_RELEASE="${PBQ_RELEASE:-build/release}"
jobs=$(nproc 2>/dev/null || echo 2)

# The library first: it is the unit the others are counted in.
order=(library play mpris bindings web folder missing)

pieces=()
for name in "${order[@]}"; do
  [ -f "bench/hosts/$name.sh" ] && pieces+=("$name")
done
# A piece the order does not name yet runs after the named ones, by name.
for path in bench/hosts/*.sh; do
  name=$(basename "$path" .sh)
  [ "$name" = run ] && continue
  case " ${order[*]} " in *" $name "*) ;; *) pieces+=("$name") ;; esac
done
if [ -n "${BENCH_PIECES:-}" ]; then
  chosen=()
  for name in $BENCH_PIECES; do
    if [ ! -f "bench/hosts/$name.sh" ] || [ "$name" = run ]; then
      echo "bench-hosts: no piece named $name" >&2
      exit 2
    fi
    chosen+=("$name")
  done
  pieces=("${chosen[@]}")
fi

if [ "${BENCH_SKIP_BUILD:-0}" != 1 ]; then
  if [ "$PBQ_RELEASE" != build/release ]; then
    echo "bench-hosts: PBQ_RELEASE is $PBQ_RELEASE; the release preset builds build/release" >&2
    exit 2
  fi
  mkdir -p build
  echo "== build: the release preset (library, pbq, pbq-play) =="
  if ! { cmake --preset release && cmake --build --preset release -j "$jobs" --target pbq pbq_cli pbq_play; } \
    >build/bench-hosts-build.log 2>&1; then
    cat build/bench-hosts-build.log
    echo "bench-hosts: the release build failed" >&2
    exit 1
  fi
fi

echo "sizes: $BENCH_SIZES"
log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
failed=()
for name in "${pieces[@]}"; do
  echo
  echo "== $name =="
  bash "bench/hosts/$name.sh" 2>&1 | tee "$log/$name.out"
  status=${PIPESTATUS[0]}
  if [ "$status" -ne 0 ]; then
    failed+=("$name")
    echo "($name exited $status)"
  fi
done

echo
echo "== targets =="
missed=0
for name in "${pieces[@]}"; do
  while IFS= read -r line; do
    echo "$name: $line"
    case $line in *": MISSED"*) missed=$((missed + 1)) ;; esac
  done < <(grep -E '^target .*: (held|MISSED)' "$log/$name.out")
done
if [ "$missed" -gt 0 ] || [ "${#failed[@]}" -gt 0 ]; then
  echo "$missed target(s) missed; pieces that failed: ${failed[*]:-none}"
  exit 1
fi
echo "every target held"

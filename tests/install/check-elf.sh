#!/usr/bin/env bash
# Fails unless every named ELF file has no RPATH or RUNPATH other than $ORIGIN: what a
# shipped library or addon loads must come from beside it or from the system, never
# from the folder that built it.
#   check-elf.sh FILE...
set -euo pipefail
status=0
for f in "$@"; do
  if ! readelf -h "$f" >/dev/null 2>&1; then
    echo "check-elf: $f is not an ELF file" >&2
    status=1
    continue
  fi
  # "Library runpath: [$ORIGIN]" -> $ORIGIN; one line per RPATH or RUNPATH entry.
  paths=$(readelf -d "$f" | sed -n 's/.*(\(RPATH\|RUNPATH\)).*: \[\(.*\)\]$/\1 \2/p')
  while read -r kind path; do
    [ -z "$kind" ] && continue
    if [ "$path" != '$ORIGIN' ]; then
      echo "check-elf: $(basename "$f") has $kind $path (only \$ORIGIN may ship)" >&2
      status=1
    fi
  done <<<"$paths"
done
exit $status

#!/usr/bin/env bash
# Runs a command as a host that has only the artifact would: in a private mount namespace
# where this checkout (sources, build trees, dist/) is covered by an empty folder. Copy the
# artifact somewhere else (a mktemp folder) before calling this.
#   tests/install/without-tree.sh COMMAND [ARG...]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
exec unshare --mount --propagation private \
  bash -c 'mount -t tmpfs -o size=1m pbq-hidden "$1" && shift && exec "$@"' hide "$top" "$@"

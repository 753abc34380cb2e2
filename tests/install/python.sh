#!/usr/bin/env bash
# The wheel as a Python host gets it: installed offline into a fresh venv of Debian's
# Python, with this checkout out of reach; then the quick start of docs/python.md. The package
# must load its own copy of libpbq.so.1, and PBQ_LIBRARY must still override it.
#   tests/install/python.sh [DIST_DIR]
set -euo pipefail
. "$(dirname "$0")/common.sh"
wheel=$(take_artifact 'pbq-*-py3-none-linux_*.whl')
# Built from a copy: nothing of the build in the package's source folder.
leftovers=$(find "$top/bindings/python" \( -name '*.egg-info' -o -name build -o -name dist \) -print)
[ -z "$leftovers" ] || { echo "the wheel's build left $leftovers" >&2; exit 1; }
quick_start docs/python.md python 'import pbq' >"$place/quick_start.py"
cat >"$place/run.sh" <<'SCRIPT'
set -euo pipefail
cd "$1"
wheel=$(ls pbq-*.whl)
/usr/bin/python3 -m venv venv
PIP_DISABLE_PIP_VERSION_CHECK=1 venv/bin/pip install -q --no-index "$wheel"
# The current track, then the rest of the album after it (the light read's window).
expected=$'Salt Roads\n  next: Ferry at Dawn\n  next: Undertow\n  next: Gulls\n  next: Tidewater'
out=$(venv/bin/python quick_start.py)
[ "$out" = "$expected" ] || { echo "python quick start printed '$out', not '$expected'" >&2; exit 1; }

# The copy inside the package, not one the loader finds elsewhere.
package=$(venv/bin/python -c 'import os, pbq; print(os.path.dirname(pbq.__file__))')
loaded=$(venv/bin/python -c 'import pbq._native as n; print(n.library()._name)')
[ "$loaded" = "$package/libpbq.so.1" ] || { echo "pbq loaded $loaded, not $package/libpbq.so.1" >&2; exit 1; }
./check-elf.sh "$package/libpbq.so.1"

# PBQ_LIBRARY names the library to use, and is never silently replaced by the package's.
if err=$(PBQ_LIBRARY=/nonexistent/libpbq.so.1 venv/bin/python quick_start.py 2>&1); then
  echo "PBQ_LIBRARY=/nonexistent/libpbq.so.1 was ignored" >&2; exit 1
fi
grep -q 'cannot load libpbq.so.1' <<<"$err" && grep -q '\$PBQ_LIBRARY: /nonexistent/libpbq.so.1' <<<"$err" ||
  { echo "PBQ_LIBRARY's failure does not say so: $err" >&2; exit 1; }
echo "python: $wheel installs into a fresh venv and runs the quick start"
SCRIPT
run_without_tree run.sh

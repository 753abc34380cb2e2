#!/usr/bin/env bash
# The wheel DIST_DIR/pbq-VERSION-py3-none-linux_ARCH.whl: the Python package with the
# library of BUILD_DIR inside it (pbq/libpbq.so.1, which it loads first). Built offline
# by Debian's pip, setuptools and wheel, without build isolation, from a copy under
# BUILD_DIR, so that bindings/python stays clean. The platform tag is honest: the
# package is pure Python over ctypes (py3-none) but carries a Linux library for one
# architecture.
#   scripts/dist-python.sh BUILD_DIR DIST_DIR
set -euo pipefail
. "$(dirname "$0")/dist-common.sh"
dist_init "$@"
python=/usr/bin/python3
source_dir=$top/bindings/python
dist_check_version "$source_dir/pyproject.toml" "$(sed -n 's/^version = "\(.*\)"$/\1/p' "$source_dir/pyproject.toml")"

stage=$build/python-wheel
rm -rf "$stage"
mkdir -p "$stage/src/pbq" "$stage/out"
cp "$source_dir/pyproject.toml" "$source_dir/README.md" "$top/LICENSE" "$stage/src/"
cp "$source_dir"/pbq/*.py "$source_dir/pbq/py.typed" "$stage/src/pbq/"
dist_ship_copy "$library" "$stage/src/pbq/libpbq.so.1"
platform=$("$python" -c 'import sysconfig; print(sysconfig.get_platform().replace("-", "_").replace(".", "_"))')
printf '[bdist_wheel]\nplat_name = %s\n' "$platform" >"$stage/src/setup.cfg"

(cd "$stage/src" && PIP_DISABLE_PIP_VERSION_CHECK=1 "$python" -m pip wheel -q --no-index \
  --no-build-isolation --no-deps -w "$stage/out" .)
wheel=pbq-$version-py3-none-$platform.whl
if [ ! -f "$stage/out/$wheel" ]; then
  echo "$0: pip made $(ls "$stage/out"), not $wheel" >&2
  exit 1
fi
rm -f "$dist"/pbq-*.whl
cp "$stage/out/$wheel" "$dist/"
echo "$dist/$wheel"

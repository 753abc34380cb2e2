# What scripts/dist-python.sh, dist-node.sh and dist-java.sh share; sourced, not run.
# Each is called as `scripts/dist-LANGUAGE.sh BUILD_DIR DIST_DIR`, where BUILD_DIR holds
# the libpbq.so.1 to ship (built with yyjson inside: PBQ_YYJSON_FROM_SOURCE).

# Sets top (the checkout), build and dist (absolute; dist is made), library (the
# libpbq.so.1 to ship) and version (pbq.h's, read as the build reads it).
dist_init() {
  if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR DIST_DIR" >&2
    exit 2
  fi
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  build=$(cd "$1" && pwd)
  mkdir -p "$2"
  dist=$(cd "$2" && pwd)
  library=$build/libpbq.so.1
  if [ ! -f "$library" ]; then
    echo "$0: no libpbq.so.1 in $build: build the target pbq there first" >&2
    exit 1
  fi
  version=$(cmake -P "$top/cmake/pbq_header.cmake" version)
}

# Fails unless a binding's manifest gives the library's version.
dist_check_version() { # MANIFEST VERSION
  if [ "$2" != "$version" ]; then
    echo "$0: $1 gives version '$2' but the library is $version: give both the same version" >&2
    exit 1
  fi
}

# A native file as it ships: the file itself (not the symlink), its symbol table
# stripped (the dynamic symbols stay).
dist_ship_copy() { # SOURCE DEST
  cp -L "$1" "$2"
  chmod 0755 "$2"
  strip --strip-unneeded "$2"
}

# Builds the named targets of bindings/ (the addon, the JNI glue, the jar) against the
# library to ship, without tests, in BUILD_DIR/NAME; prints nothing but errors.
dist_build_bindings() { # NAME CMAKE_OPTION... -- TARGET...
  local dir=$build/$1 options=() targets=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  targets=("$@")
  cmake -S "$top/bindings" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPBQ_LIBRARY="$library" \
    -DPBQ_BINDINGS_TESTS=OFF -DPBQ_BINDINGS_PYTHON=OFF "${options[@]}" >/dev/null
  cmake --build "$dir" -j "${JOBS:-2}" --target "${targets[@]}" >/dev/null
}

#!/usr/bin/env bash
# Fetches yyjson's source, Debian's own source package of yyjson 0.10.0 from Debian's next
# release, into build/yyjson-0.10.0 (or the folder given), for the builds that compile yyjson
# into pbq: the Debian packages, the wheel, the npm package and the jar, the WebAssembly and
# cross builds. apt checks the tarball against the release's signed Sources index; the sha256
# below pins it further. The deb-src entry lives in a private apt configuration under
# build/, so the machine's own apt sources are never touched. Only the orig tarball is
# needed: the .dsc and the Debian diff may be missing from the archive, which is tolerated.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:-$top/build/yyjson-0.10.0}
version=${PBQ_YYJSON_DEBIAN_VERSION:-0.10.0+ds-1}   # the Debian revision (overridable for a test)
tarball=yyjson_0.10.0+ds.orig.tar.xz
sha256=ae6fde69a193e10afab426ef13f113d6903446405f9db9ee98bfb572bd6c961a

[ -f "$dest/src/yyjson.c" ] && [ -f "$dest/src/yyjson.h" ] && exit 0

work=$top/build/yyjson-fetch
mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
# One fetch at a time (`make -j test` sets up several jobs at once): the others wait,
# then find the source there.
exec 9>"$work/lock"
flock 9
[ -f "$dest/src/yyjson.c" ] && [ -f "$dest/src/yyjson.h" ] && exit 0
if [ ! -f "$work/$tarball" ]; then
  uri=$("$top/scripts/install-deps.sh" --debian-uri)
  echo "deb-src $uri trixie main" > "$work/sources.list"
  opts=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/nonexistent
        -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o Debug::NoLocking=1
        -o APT::Sandbox::User=root -qq)
  echo "fetching: yyjson $version source (trixie)"
  apt-get "${opts[@]}" update >/dev/null
  # The .dsc and the .debian.tar.xz may answer 404; the tarball alone is what is kept.
  (cd "$work" && apt-get "${opts[@]}" source --download-only "yyjson=$version" >/dev/null 2>&1) || true
  if [ ! -f "$work/$tarball" ]; then
    # Which yyjson the archive has now: a new Debian revision replaces the pinned one.
    now=$(apt-cache "${opts[@]}" showsrc yyjson 2>/dev/null | sed -n 's/^Version: //p' | sort -u | tr '\n' ' ')
    {
      echo "fetch-yyjson: apt could not fetch $tarball (yyjson $version) from trixie's deb-src."
      if [ -n "$now" ] && [ "${now% }" != "$version" ]; then
        echo "  Debian's next release now has yyjson ${now% } instead: the pinned revision has left the archive."
      fi
      echo "  What to do, either of:"
      echo "  - pin the archive's revision: set version= (and tarball= and sha256= when its upstream"
      echo "    version changed) at the top of scripts/fetch-yyjson.sh, after checking that the new"
      echo "    tarball is yyjson 0.10 or later; a new Debian revision of 0.10.0 keeps the same tarball"
      echo "    and sha256, so only version= changes;"
      echo "  - or unpack yyjson 0.10's source yourself into $dest (src/yyjson.c and src/yyjson.h),"
      echo "    or configure with -DPBQ_YYJSON_SOURCE_DIR=THAT_FOLDER."
      echo "  Check the network and the archive in apt's sources too ($uri)."
    } >&2
    exit 1
  fi
fi
if ! echo "$sha256  $work/$tarball" | sha256sum -c --quiet -; then
  echo "fetch-yyjson: $tarball does not have the expected sha256" >&2
  rm -f "$work/$tarball"
  exit 1
fi
rm -rf "$dest.tmp" && mkdir -p "$dest.tmp"
tar -xJf "$work/$tarball" -C "$dest.tmp" --strip-components=1
rm -rf "$dest" && mv "$dest.tmp" "$dest"

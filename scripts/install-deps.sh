#!/usr/bin/env bash
# Installs what pbq needs to build and test, and nothing more. Idempotent and quiet
# when everything is already there. yyjson comes from Debian's next release (trixie),
# pinned low so that no other package is ever taken from that suite.
set -euo pipefail

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Debian packages the build, the tests, the benchmarks and the checks use.
packages=(g++ clang cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          valgrind python3 libclang-rt-14-dev binutils)
# pbq-play: GStreamer, its base plug-ins (playbin, the test tones, ALSA) and good
# ones (WAV, scaletempo).
packages+=(libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-alsa)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
need_yyjson=0
dpkg-query -W -f='${Status}' libyyjson-dev 2>/dev/null | grep -q '^install ok installed$' || need_yyjson=1

if [ ${#missing[@]} -eq 0 ] && [ $need_yyjson -eq 0 ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root apt-get update -qq
  updated=1
  as_root apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if [ $need_yyjson -eq 1 ]; then
  sources=/etc/apt/sources.list.d/debian.sources
  list=/etc/apt/sources.list.d/pbq-trixie.sources
  pin=/etc/apt/preferences.d/pbq-trixie
  if [ ! -f "$list" ]; then
    # The URI of the stanza that serves the main suite (not the security one).
    uri=$(awk '
      /^URIs:/ { u = $2 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i !~ /-security$/ && $i !~ /-updates$/) { print u; exit } }
    ' "$sources")
    if [ -z "$uri" ]; then
      echo "install-deps: no Debian source found in $sources" >&2
      exit 1
    fi
    printf 'Types: deb\nURIs: %s\nSuites: trixie\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' "$uri" |
      as_root tee "$list" >/dev/null
  fi
  if [ ! -f "$pin" ]; then
    printf 'Package: *\nPin: release n=trixie\nPin-Priority: 100\n' | as_root tee "$pin" >/dev/null
  fi
  echo "installing: libyyjson-dev (trixie)"
  as_root apt-get update -qq
  as_root apt-get install -y -qq -t trixie libyyjson-dev >/dev/null
fi

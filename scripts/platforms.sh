# shellcheck shell=bash
# Sourced by the scripts of the other platforms' builds (platform-builds.sh,
# test-platforms.sh, dist-platforms.sh): the targets, where their builds are (root,
# build/platform/<target>), and the arguments [JOBS] [TARGET...] that the first two take.
root=build/platform
platform_targets=(aarch64-linux-gnu arm-linux-gnueabihf x86_64-w64-mingw32)

# platform_arguments [JOBS] [TARGET...]: sets jobs (2 by default) and targets (every one
# by default), for the caller.
# shellcheck disable=SC2034
platform_arguments() {
  jobs=${1:-2}
  shift || true
  targets=("$@")
  [ ${#targets[@]} -gt 0 ] || targets=("${platform_targets[@]}")
}

# need_platform_build CALLER TARGET FILE: exits with a message when the target's build
# has no FILE, that is when scripts/platform-builds.sh has not made it.
need_platform_build() {
  if [ ! -f "$root/$2/$3" ]; then
    echo "$1: no build in $root/$2: scripts/platform-builds.sh makes it (make platform-builds)" >&2
    exit 1
  fi
}

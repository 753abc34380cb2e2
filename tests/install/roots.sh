# Throwaway Debian roots for tests/install/debs.sh, fresh-run.sh and swift.sh; sourced, not
# run. The caller sets `top` (the checkout) and `cache` (the folder that keeps the base
# tarball, the roots made from it and apt's archive of downloaded packages; sourcing makes
# it) first. After sourcing, `root_env` may take NAME=VALUE words that in_root's commands get
# in their environment besides the fixed ones.

root_env=()
mkdir -p "$cache/archives/partial"

# The Debian archive this machine's apt uses, once.
debian_uri() {
  [ -n "${uri:-}" ] || uri=$("$top/scripts/install-deps.sh" --debian-uri)
}

debian_release() {  # SUITE
  case $1 in
    bookworm) echo 12 ;;
    trixie) echo 13 ;;
    *) echo "$1" ;;
  esac
}

# "$cache/SUITE-minbase.tgz": debootstrap's tarball of SUITE's minbase, made once.
base_tarball() {  # SUITE
  local suite=$1
  [ ! -f "$cache/$suite-minbase.tgz" ] || return 0
  debian_uri
  echo "making the Debian $(debian_release "$suite") base tarball (debootstrap, once)"
  rm -rf "$cache/tarball-work"
  debootstrap --variant=minbase --make-tarball="$cache/$suite-minbase.part.tgz" "$suite" \
    "$cache/tarball-work" "$uri" >"$cache/debootstrap.log" 2>&1 || { cat "$cache/debootstrap.log"; exit 1; }
  mv "$cache/$suite-minbase.part.tgz" "$cache/$suite-minbase.tgz"
}

# A new root in DIR from SUITE's base tarball, with this machine's resolv.conf; debootstrap's
# output goes to LOG, shown if it fails.
unpack_root() {  # SUITE DIR LOG
  local suite=$1 dir=$2 log=$3
  debian_uri
  rm -rf "$dir"
  debootstrap --variant=minbase --unpack-tarball="$cache/$suite-minbase.tgz" "$suite" "$dir" "$uri" \
    >"$log" 2>&1 || { cat "$log"; exit 1; }
  cp /etc/resolv.conf "$dir/etc/resolv.conf"
}

# A command in ROOT, with /proc and the cached apt archive mounted, or, given --layer UPPER,
# in a scratch layer (overlayfs) over ROOT kept in UPPER, so that ROOT itself never changes.
# A private mount namespace: nothing stays mounted.
in_root() {  # ROOT [--layer UPPER] COMMAND...
  local root=$1 upper=
  shift
  if [ "${1:-}" = --layer ]; then
    upper=$2
    shift 2
  fi
  unshare --mount --propagation private bash -c '
    root=$1 upper=$2 archives=$3; shift 3
    if [ -n "$upper" ]; then
      mkdir -p "$upper/layer" "$upper/overlay-work" "$upper/merged"
      mount -t overlay overlay -o "lowerdir=$root,upperdir=$upper/layer,workdir=$upper/overlay-work" \
        "$upper/merged" || exit 1
      root=$upper/merged
    fi
    mount -t proc proc "$root/proc" && mount --bind "$archives" "$root/var/cache/apt/archives" &&
      exec chroot "$root" "$@"' in-root "$root" "$upper" "$cache/archives" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 "${root_env[@]}" "$@"
}

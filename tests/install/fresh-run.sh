#!/usr/bin/env bash
# The README's first command on a fresh Debian 12, as a new user meets it: a minbase root
# from debootstrap with make added, this checkout's files copied in, then `make run` typed
# there (the heredoc below holds the README's line as it stands), once with apt's sources
# in the one-line form (/etc/apt/sources.list, as debootstrap writes them) and once in the deb822 form (sources.list.d/*.sources, as
# Debian 12's installer writes them). Each time: the example session plays and passes its
# self-test, and /etc/apt is byte for byte what it was (make run takes yyjson's source into
# build/, never a source or pin into the machine's apt configuration). Prints the time and
# the packages installed.
#
# The pristine root is cached beside the Debian packages' test root (PBQ_DEBIAN12_CACHE,
# build/debian12 by default), and so is apt's archive of downloaded packages.
#   tests/install/fresh-run.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cache=${PBQ_DEBIAN12_CACHE:-$top/build/debian12}
. "$(dirname "$0")/roots.sh"
# A user types make run at a terminal: a dumb one here, as the output goes to a log.
root_env=(TERM=dumb)

debian_uri
base_tarball bookworm
# The pristine root: debootstrap's minbase and make, which a user installs to type make run.
if [ ! -f "$cache/fresh-root/.pbq-ready" ]; then
  echo "making the fresh Debian 12 root (once)"
  unpack_root bookworm "$cache/fresh-root" "$cache/debootstrap-fresh.log"
  in_root "$cache/fresh-root" apt-get -o DPkg::Lock::Timeout=900 -qq update
  in_root "$cache/fresh-root" apt-get -o DPkg::Lock::Timeout=900 -qq -y install make >"$cache/fresh-root.log" 2>&1 ||
    { cat "$cache/fresh-root.log"; exit 1; }
  touch "$cache/fresh-root/.pbq-ready"
fi

work=$(mktemp -d /var/tmp/pbq-fresh-run.XXXXXX)
trap 'rm -rf "$work"' EXIT
for form in one-line deb822; do
  root=$work/root-$form
  cp -a "$cache/fresh-root" "$root"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  if [ $form = deb822 ]; then
    # The same archive in the deb822 form, as Debian 12's installer writes it.
    suites=$(awk '$1 == "deb" { print $3 }' "$root/etc/apt/sources.list" | tr '\n' ' ')
    printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$uri" "${suites% }" >"$root/etc/apt/sources.list.d/debian.sources"
    rm "$root/etc/apt/sources.list"
  fi
  # The checkout's files (tracked, and new ones not ignored), without its build or dist.
  mkdir -p "$root/root/pbq"
  (cd "$top" && git ls-files -z --cached --others --exclude-standard |
     tar -cf - --null --ignore-failed-read -T - 2>/dev/null) | tar -xf - -C "$root/root/pbq"
  apt_before=$(cd "$root/etc/apt" && find . -type f -print0 | sort -z | xargs -0 sha256sum; find . | sort)
  packages_before=$(in_root "$root" dpkg-query -W -f='${Package}\n' | sort)
  cat >"$root/root/typed.sh" <<'TYPED'
set -e
cd /root/pbq
make run
TYPED
  SECONDS=0
  in_root "$root" bash /root/typed.sh >"$work/run-$form.log" 2>&1 ||
    { cat "$work/run-$form.log"; echo "fresh-run: make run failed on a fresh Debian 12 ($form sources)" >&2; exit 1; }
  took=$SECONDS
  grep -q 'self-test passed' "$work/run-$form.log" ||
    { cat "$work/run-$form.log"; echo "fresh-run: the session did not pass its self-test ($form sources)" >&2; exit 1; }
  apt_after=$(cd "$root/etc/apt" && find . -type f -print0 | sort -z | xargs -0 sha256sum; find . | sort)
  if [ "$apt_before" != "$apt_after" ]; then
    diff <(echo "$apt_before") <(echo "$apt_after") || true
    echo "fresh-run: make run changed /etc/apt ($form sources)" >&2
    exit 1
  fi
  installed=$(comm -13 <(echo "$packages_before") <(in_root "$root" dpkg-query -W -f='${Package}\n' | sort) | wc -l)
  echo "ok   make run on a fresh Debian 12 ($form sources): $took s, $installed packages installed, /etc/apt unchanged"
done

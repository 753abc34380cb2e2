#!/usr/bin/env bash
# scripts/install-deps.sh finds the Debian archive in either form of apt's sources:
# the deb822 *.sources files and the one-line sources.list (and *.list), and says
# what to do when there is none. Each case is a scratch /etc/apt.
set -euo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

# check NAME EXPECTED_URI (empty: none found) FILE CONTENT [FILE CONTENT...]
check() {
  local name=$1 expected=$2 dir="$scratch/$1" out err status=0
  shift 2
  mkdir -p "$dir/sources.list.d"
  while [ $# -gt 0 ]; do
    printf '%s\n' "$2" >"$dir/$1"
    shift 2
  done
  out=$("$script" --debian-uri "$dir" 2>"$scratch/err") || status=$?
  err=$(cat "$scratch/err")
  if [ -n "$expected" ] && { [ $status -ne 0 ] || [ "$out" != "$expected" ]; }; then
    echo "FAIL $name: expected $expected, got '$out' (status $status) $err"
    failures=$((failures + 1))
  elif [ -z "$expected" ] && { [ $status -eq 0 ] || [ -n "$out" ] || [[ "$err" != *"found no Debian archive"* ]]; }; then
    echo "FAIL $name: expected no archive and a message, got '$out' (status $status) '$err'"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

check deb822 http://mirror.example/debian \
  sources.list.d/debian.sources "Types: deb
# a comment
URIs: http://mirror.example/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://mirror.example/debian-security
Suites: bookworm-security
Components: main"

check deb822-security-first http://mirror.example/debian \
  sources.list.d/debian.sources "Types: deb deb-src
URIs: http://security.example/debian-security
Suites: bookworm-security

types: deb-src
uris: http://src-only.example/debian
suites: bookworm

Types: deb
URIs: http://disabled.example/debian
Suites: bookworm
Enabled: no

Types: deb-src deb
URIs: http://mirror.example/debian
Suites: bookworm"

check one-line http://mirror.example/debian \
  sources.list "deb http://mirror.example/debian bookworm main"

check one-line-debootstrap http://ftp.example.org/debian \
  sources.list "# deb http://commented.example/debian bookworm main
deb-src http://ftp.example.org/debian bookworm main

deb http://security.debian.org/debian-security bookworm-security main
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://ftp.example.org/debian bookworm main contrib
deb http://ftp.example.org/debian bookworm-updates main"

check one-line-options-with-spaces http://mirror.example/debian \
  sources.list "deb [ arch=amd64 ] http://mirror.example/debian bookworm main"

check list-file http://mirror.example/debian \
  sources.list.d/debian.list "deb http://mirror.example/debian bookworm main"

check ignores-own-trixie-source http://mirror.example/debian \
  sources.list.d/pbq-trixie.sources "Types: deb
URIs: http://elsewhere.example/debian
Suites: trixie" \
  sources.list "deb http://mirror.example/debian bookworm main"

check empty ""
check only-security "" sources.list "deb http://security.debian.org/debian-security bookworm-security main"

[ $failures -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }

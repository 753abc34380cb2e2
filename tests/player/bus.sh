# What the MPRIS tests (tests/player/mpris.sh, mpris_window.sh) share; sourced, not run.

# Each TOOL must be installed: under CI its absence fails the run, elsewhere it skips the
# test (77, ctest's skip).
needs_tools() {  # TOOL...
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      if [ "${CI:-}" = true ]; then echo "FAILED: $tool is not installed (scripts/install-deps.sh test installs it)" >&2; exit 1; fi
      echo "skipped: $tool is not installed" >&2
      exit 77
    fi
  done
}

# Runs the test again on a private session bus of its own (ARGS are the test's arguments),
# then, there, makes its work folder $work, removed at the end with the player
# ($player_pid) and the bus monitor ($monitor_pid) stopped if they still run.
on_private_bus() {  # ARGS...
  if [ -z "${PBQ_MPRIS_PRIVATE_BUS:-}" ]; then
    PBQ_MPRIS_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
  fi
  work=$(mktemp -d)
  player_pid=
  monitor_pid=
  trap cleanup EXIT
}

cleanup() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null || true
  [ -n "$monitor_pid" ] && kill "$monitor_pid" 2>/dev/null || true
  rm -rf "$work"
}

# Fails the test with the player's output ($work/out): all of it, or its last
# $player_output_lines lines when the test sets that.
fail() {
  echo "FAILED: $*" >&2
  if [ -n "${player_output_lines:-}" ]; then
    echo "--- player output (last lines) ---" >&2
    tail -n "$player_output_lines" "$work/out" >&2 || true
  else
    echo "--- player output ---" >&2
    cat "$work/out" >&2 || true
  fi
  exit 1
}

check() {  # check WHAT EXPECTED ACTUAL
  [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
  echo "ok: $1"
}

# Sourced: require_tools WHAT TOOL... is true when every TOOL is installed. When one is
# not, under CI (CI=true) the run fails, naming it; elsewhere WHAT is left out with a
# note saying why, and the answer is false. A check is never skipped in CI.
require_tools() {
  local what=$1 tool missing=()
  shift
  for tool in "$@"; do command -v "$tool" >/dev/null || missing+=("$tool"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "${CI:-}" = true ]; then
    echo "$what: ${missing[*]} not installed (scripts/install-deps.sh test installs it): failing, as CI runs every check" >&2
    exit 1
  fi
  echo "$what: left out here, ${missing[*]} not installed" >&2
  return 1
}

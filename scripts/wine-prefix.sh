# Sourced by the scripts that run Windows programs under wine: wine's own files stay in
# the build tree (build/platform/wine, set up once by scripts/platform-builds.sh, without
# the .NET and HTML runtimes wine would offer to fetch).
export WINEPREFIX=${WINEPREFIX:-$PWD/build/platform/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="

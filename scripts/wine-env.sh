# Sourced by the scripts that cross-build for Windows: installs MinGW-w64 and
# Wine when missing, and starts a Wine prefix of the build's own
# (build/wine-prefix) with its server, stopped again when the script ends. The
# build needs Wine (it runs kelvane_help_page to write the help page), and
# without a running server and prefix every test program pays for them, and
# Wine's helpers hold a test's output open until they exit.
#   source scripts/wine-env.sh [more Debian packages...]
bash scripts/install-deps.sh g++-mingw-w64-x86-64 wine wine64 "$@"

export WINEPREFIX="$PWD/build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$WINEPREFIX"
# A server of this prefix that already runs (another build's) serves as well.
wineserver -p </dev/null >/dev/null 2>&1 || true
wine wineboot -i </dev/null >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

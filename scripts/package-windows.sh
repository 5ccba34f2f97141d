#!/usr/bin/env bash
# Builds the Windows x64 release archive with MinGW-w64:
#   dist/Kelvane-<version>-win64.zip
# holding Kelvane/ (Kelvane.dll, Kelvane.js, HelpFolder/: what goes into the
# host's plug-in folder), stand-in/ (our stand-in host Nimbrel.exe, the example
# workspaces and README.txt), INSTALL.txt and SHA256SUMS.txt; and beside it
#   dist/Kelvane-<version>-win64-debug.zip
# with the modules' debug information, which the archive's modules go without.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-env.sh
# The plug-in and the stand-in host, in a build folder of their own: no tests.
build=build/package-win64
cmake --preset mingw -B "$build" -DKELVANE_BUILD_TESTS=OFF
cmake --build "$build" --target kelvane_archive
rm -f dist/Kelvane-*-win64.zip dist/Kelvane-*-win64-debug.zip
mkdir -p dist
cp "$build"/dist/Kelvane-*-win64.zip "$build"/dist/Kelvane-*-win64-debug.zip dist/
ls -l dist/Kelvane-*-win64*.zip

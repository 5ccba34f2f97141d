#!/usr/bin/env bash
# Builds the Windows x64 release archive of the plug-in with MinGW-w64:
#   dist/Kelvane-<version>-win64.zip
# holding Kelvane.dll, Kelvane.js, HelpFolder/, INSTALL.txt and SHA256SUMS.txt.
# Its contents go into the host's plug-in folder.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh g++-mingw-w64-x86-64
# The plug-in alone, in a build folder of its own: no tests, no stand-in host.
build=build/package-win64
cmake --preset mingw -B "$build" -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_STANDIN=OFF
cmake --build "$build" --target kelvane_archive
rm -f dist/Kelvane-*-win64.zip
mkdir -p dist
cp "$build"/dist/Kelvane-*-win64.zip dist/
ls -l dist/Kelvane-*-win64.zip

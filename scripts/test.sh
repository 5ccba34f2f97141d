#!/usr/bin/env bash
# Builds and runs every test: the Linux build, and the Windows build under
# Wine. Name suites to run only those: scripts/test.sh linux windows
set -euo pipefail
cd "$(dirname "$0")/.."

suites=("$@")
[[ ${#suites[@]} -gt 0 ]] || suites=(linux windows)

for suite in "${suites[@]}"; do
  echo "=== $suite"
  case "$suite" in
    linux)
      # Chromium opens the help page; here it is installed, so its tests must run.
      bash scripts/install-deps.sh chromium
      export KELVANE_REQUIRE_CHROMIUM=1
      cmake --preset default
      cmake --build --preset default
      ctest --preset default
      ;;
    windows) bash scripts/test-windows.sh ;;
    *) echo "unknown suite: $suite (linux, windows)" >&2; exit 2 ;;
  esac
done

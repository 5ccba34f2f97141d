#!/usr/bin/env bash
# Builds and runs the test suites, by default all five in this order; name
# suites to run only those:
#   scripts/test.sh
#   scripts/test.sh linux windows
#
#   linux     the code's format (scripts/check-format.sh), then the Linux
#             build's tests
#   windows   the same tests built for Windows, run under Wine
#   sanitize  the whole suite built with AddressSanitizer and
#             UndefinedBehaviorSanitizer (build/asan)
#   fuzz      every fuzz target for FUZZ_SECONDS (60) each, with Clang and
#             libFuzzer (build/fuzz)
#   valgrind  the Linux build's tests under valgrind memcheck: no leak, no
#             invalid access
set -euo pipefail
cd "$(dirname "$0")/.."

suites=("$@")
[[ ${#suites[@]} -gt 0 ]] || suites=(linux windows sanitize fuzz valgrind)

for suite in "${suites[@]}"; do
  echo "=== $suite"
  start=$SECONDS
  case "$suite" in
    linux)
      # Chromium opens the help page; here it is installed, so its tests must run.
      bash scripts/install-deps.sh chromium
      export KELVANE_REQUIRE_CHROMIUM=1
      bash scripts/check-format.sh
      cmake --preset default
      cmake --build --preset default
      ctest --preset default
      ;;
    windows) bash scripts/test-windows.sh ;;
    sanitize)
      bash scripts/install-deps.sh
      cmake --preset asan
      cmake --build --preset asan
      ctest --preset asan
      ;;
    fuzz)
      bash scripts/install-deps.sh clang libclang-rt-14-dev
      cmake --preset fuzz
      cmake --build --preset fuzz
      bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
      ;;
    valgrind)
      bash scripts/install-deps.sh valgrind
      cmake --preset default
      cmake --build --preset default
      bash scripts/memcheck.sh build/default
      ;;
    *) echo "unknown suite: $suite (linux, windows, sanitize, fuzz, valgrind)" >&2; exit 2 ;;
  esac
  echo "=== $suite passed in $((SECONDS - start)) s"
done

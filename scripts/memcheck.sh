#!/usr/bin/env bash
# Runs a build's whole test suite under valgrind memcheck, with the programs
# the tests start (the stand-in host run as a user runs it, through the shell)
# but not the system's own tools they use (nm, cmake, chromium: anything under
# /usr). A test fails on any invalid read or write, any use of an
# uninitialised value that matters, and any definitely or indirectly lost
# block. Programs that replace the global allocation functions themselves
# (label own-allocator) or measure the heap through the allocator's count
# (label heap-measure) are left out: memcheck replaces the allocator; so are
# the tests of a plug-in that crashes on purpose (label deliberate-crash).
# Two tests are left out by name: the run under ulimit -v (memcheck's own
# memory does not fit under the limit) and the test of run-example.sh, a bash
# script (bash's own leaks are not ours).
#
#   scripts/memcheck.sh [build folder (build/default)] [ctest options...]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/default}
[[ $# -gt 0 ]] && shift

options=(
  --leak-check=full
  --errors-for-leak-kinds=definite,indirect
  --error-exitcode=1
  --trace-children=yes
  --trace-children-skip='/usr/*,/lib/*,/lib64/*'
  --num-callers=40
)
ctest --test-dir "$build" -T memcheck -j 2 --timeout 1200 --output-on-failure -LE 'own-allocator|heap-measure|deliberate-crash' \
  -E '^(NimbrelExe\.OutOfMemorySaysWhatItWasDoing|RunExample\..*)$' \
  --overwrite MemoryCheckCommand="$(command -v valgrind)" \
  --overwrite "MemoryCheckCommandOptions=${options[*]}" "$@"

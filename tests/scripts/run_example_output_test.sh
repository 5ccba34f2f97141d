#!/usr/bin/env bash
# run-example.sh sends what the install and the build print to standard error:
# standard output carries only the stand-in host's run. The script runs in a
# copy of the tree whose install script, cmake and Nimbrel.exe are stand-ins
# that print on standard output.
#   run_example_output_test.sh <source folder>
set -euo pipefail
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

mkdir -p "$tree/scripts" "$tree/tools" "$tree/build/example/bin" "$tree/build/example/plugin"
cp "$1/scripts/run-example.sh" "$tree/scripts/"
printf '#!/bin/sh\necho "Installing: cmake"\n' >"$tree/scripts/install-deps.sh"
printf '#!/bin/sh\necho "ninja: no work to do."\n' >"$tree/tools/cmake"
printf '#!/bin/sh\necho "run in $(pwd):" "$@"\n' >"$tree/build/example/bin/Nimbrel.exe"
chmod +x "$tree/tools/cmake" "$tree/build/example/bin/Nimbrel.exe"

mkdir "$tree/caller"
cd "$tree/caller"
output=$(PATH="$tree/tools:$PATH" bash "$tree/scripts/run-example.sh" ws.json --report-json - 2>"$tree/errors")
expected="run in $tree/caller: --plugin $tree/build/example/plugin/Kelvane.so ws.json --report-json -"
if [[ "$output" != "$expected" ]]; then
  printf 'standard output:\n%s\nexpected only:\n%s\n' "$output" "$expected" >&2
  exit 1
fi
errors=$(<"$tree/errors")
if [[ "$errors" != $'Installing: cmake\nninja: no work to do.' ]]; then
  printf 'standard error:\n%s\nexpected what the install and the build print\n' "$errors" >&2
  exit 1
fi
echo "run-example.sh: the build's output on standard error, the run alone on standard output"

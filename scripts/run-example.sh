#!/usr/bin/env bash
# The main job: build the plug-in and the stand-in host, then run the plug-in
# on a workspace (the bundled example unless one is given). Extra arguments go
# to the stand-in host, e.g. --param MinP=0.01. Runs from any folder: paths
# are taken relative to the folder it is called from. What the install and the
# build print goes to standard error: standard output carries only the run, so
# `scripts/run-example.sh --report-json - | jq` reads the report alone.
#
#   scripts/run-example.sh [WORKSPACE.json] [Nimbrel.exe options...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Only what building the plug-in and the stand-in needs; build/example has no tests.
(
  bash "$root/scripts/install-deps.sh" --build-only
  cd "$root"
  cmake --preset example >/dev/null
  cmake --build --preset example
) >&2

# The bundled example sets no dialog parameter: every value is the default of
# the plug-in's dialog script, Kelvane.js, as when the dialog first opens.
workspace=$root/examples/dialog-defaults.json
if [[ $# -gt 0 && "$1" != -* ]]; then
  workspace=$1
  shift
fi
exec "$root/build/example/bin/Nimbrel.exe" --plugin "$root/build/example/plugin/Kelvane.so" "$workspace" "$@"

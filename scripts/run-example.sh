#!/usr/bin/env bash
# The main job: build the plug-in and the stand-in host, then run the plug-in
# on a workspace (the bundled example unless one is given). Extra arguments go
# to the stand-in host, e.g. --param MinP=0.01.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target Kelvane nimbrel

# The bundled example sets no dialog parameter: every value is the default of
# the plug-in's dialog script, Kelvane.js, as when the dialog first opens.
workspace=examples/dialog-defaults.json
if [[ $# -gt 0 && "$1" != -* ]]; then
  workspace=$1
  shift
fi
exec build/default/bin/Nimbrel.exe --plugin build/default/plugin/Kelvane.so "$workspace" "$@"

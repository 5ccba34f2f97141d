#!/usr/bin/env bash
# Builds everything and runs every test of the plain Linux build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default

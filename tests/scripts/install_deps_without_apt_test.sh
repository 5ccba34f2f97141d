#!/usr/bin/env bash
# install-deps.sh on a machine without apt-get: it names what is missing and
# fails, or succeeds quietly when everything is there.
#   install_deps_without_apt_test.sh <source folder>
set -euo pipefail
script=$1/scripts/install-deps.sh
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT

# A PATH with only these tools, and no apt-get.
run() {
  env PATH="$bin" /bin/bash "$script" --build-only
}
expect() {
  if [[ "$1" != "$2" ]]; then
    printf 'expected:\n%s\ngot:\n%s\n' "$1" "$2" >&2
    exit 1
  fi
}

ln -s "$(command -v g++)" "$bin/g++"
ln -s "$(command -v g++)" "$bin/c++"
status=0
output=$(run 2>&1) || status=$?
expect 1 "$status"
expect "install-deps.sh: missing, and no apt-get here to install them: cmake ninja-build
  (Debian package names; install the same with this system's package manager;
  CMake must be 3.25 or later)" "$output"

ln -s "$(command -v cmake)" "$bin/cmake"
ln -s "$(command -v ninja)" "$bin/ninja"
status=0
output=$(run 2>&1) || status=$?
expect 0 "$status"
expect "" "$output"
echo "install-deps.sh without apt-get: names what is missing, else succeeds quietly"

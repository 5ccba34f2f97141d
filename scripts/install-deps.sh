#!/usr/bin/env bash
# Installs what building and testing Kelvane needs on a Debian machine, when it
# is missing. Safe to run again.
#
#   scripts/install-deps.sh [--build-only] [package...]
#
# --build-only: only what building the plug-in and the stand-in host needs
# (no test or benchmark libraries). Further Debian packages may be named.
#
# Without apt-get nothing is installed: the script says what is missing and
# fails, or, when everything is there, succeeds quietly.
set -euo pipefail

build_packages=(cmake ninja-build g++ nlohmann-json3-dev libcli11-dev)
# electric-fence: the guard-page allocator Nimbrel.exe --check preloads to guard a plug-in's heap.
test_packages=(pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev electric-fence)

packages=("${build_packages[@]}")
if [[ ${1:-} == --build-only ]]; then
  shift
else
  packages+=("${test_packages[@]}")
fi
packages+=("$@")

# Whether a C++ compiler finds the header.
has_header() {
  local compiler
  compiler=$(command -v c++ || command -v g++ || command -v clang++) || return 1
  echo "#include <$1>" | "$compiler" -std=c++17 -x c++ -fsyntax-only - 2>/dev/null
}

# Whether what a Debian package gives is there, on any system.
present() {
  case "$1" in
    ninja-build) command -v ninja >/dev/null ;;
    g++) command -v g++ >/dev/null || command -v c++ >/dev/null ;;
    nlohmann-json3-dev) has_header nlohmann/json.hpp ;;
    libcli11-dev) has_header CLI/CLI.hpp ;;
    googletest) [[ -d /usr/src/googletest ]] ;;
    libgtest-dev) has_header gtest/gtest.h ;;
    libgmock-dev) has_header gmock/gmock.h ;;
    libbenchmark-dev) has_header benchmark/benchmark.h ;;
    electric-fence) compgen -G "/usr/lib/libefence.so.0" >/dev/null || compgen -G "/usr/lib/*/libefence.so.0" >/dev/null ;;
    *) command -v "$1" >/dev/null ;;
  esac
}

if ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
  missing=()
  for package in "${packages[@]}"; do
    present "$package" || missing+=("$package")
  done
  if ((${#missing[@]} > 0)); then
    echo "install-deps.sh: missing, and no apt-get here to install them: ${missing[*]}" >&2
    echo "  (Debian package names; install the same with this system's package manager;" >&2
    echo "  CMake must be 3.25 or later)" >&2
    exit 1
  fi
  exit 0
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

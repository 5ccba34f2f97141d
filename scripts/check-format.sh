#!/usr/bin/env bash
# Checks that every C++ file of the project is formatted by .clang-format;
# lists the files that are not. --fix formats them in place.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh clang-format
# Generated files keep their generator's layout: the reference tables, and the
# C header for plug-in authors (authoring/).
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.inc' ':!tests/stats/*_reference.inc' ':!**/nimbrel_plugin.h')
if [[ ${1:-} == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
unformatted=()
for file in "${files[@]}"; do
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if ((${#unformatted[@]} > 0)); then
  echo "Not formatted by .clang-format (scripts/check-format.sh --fix formats them):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "All ${#files[@]} C++ files are formatted by .clang-format."

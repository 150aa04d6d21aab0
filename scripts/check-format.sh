#!/usr/bin/env bash
# Checks that every C and C++ source of the tree is laid out as .clang-format says.
# Usage: scripts/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' 2>/dev/null || find src sim cli tests bench docs -name '*.cpp' -o -name '*.h' -o -name '*.c')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "some sources are not formatted: run scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "format: ${#files[@]} sources as .clang-format says"

#!/usr/bin/env bash
# Formats the C++ sources with the committed .clang-format, or with --check only
# reports the files that differ from it (and fails when there are any).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests bench fuzz firmware -name '*.cpp' -o -name '*.h' | sort)
if [[ ${1:-} == --check ]]; then
  clang-format --dry-run --Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi

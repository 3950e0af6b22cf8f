#!/usr/bin/env bash
# Every C++ file of the project as .clang-format lays it out: fails and names the files that are
# not, so that `clang-format -i` on them mends it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v '^tests/fuzz/corpus/')
if clang-format --dry-run --Werror "${files[@]}" 2>/dev/null; then
  echo "format: ${#files[@]} files as .clang-format lays them out"
else
  echo "format: these files differ from .clang-format (run clang-format -i on them):"
  for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || echo "  $f"
  done
  exit 1
fi

#!/usr/bin/env bash
# Peak resident size of quillfen-cli phrases, save, export (XLIFF, PO) and merge on a page of short
# paragraphs, as a multiple of the page's size (at most 3; a merge 4). Builds what it runs in BUILD
# (default build).
#   bench/memory.sh [BUILD] [MEGABYTES]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake --build "$build" --target memory_bench quillfen-cli -j2 >/dev/null
"$build/bench/memory_bench" "${2:-100}"

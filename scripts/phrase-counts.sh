#!/usr/bin/env bash
# Prints, for each page given (by default the real pages of tests/data/pages), how many phrases
# it has as text runs and as sentences: page, runs, sentences.
# QUILLFEN_CLI names the tool (default build/app/quillfen-cli).
set -euo pipefail
cli=${QUILLFEN_CLI:-build/app/quillfen-cli}
top=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -eq 0 ]; then
  set -- "$top"/tests/data/pages/*.htm*
fi
printf 'page\truns\tsentences\n'
for page in "$@"; do
  runs=$("$cli" phrases "$page" --units runs | wc -l) || runs=-
  sentences=$("$cli" phrases "$page" --units sentences | wc -l) || sentences=-
  printf '%s\t%s\t%s\n' "$(basename "$page")" "$runs" "$sentences"
done

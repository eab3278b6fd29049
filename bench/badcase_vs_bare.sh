#!/usr/bin/env bash
# The badcase spreadsheet against its speed limit: `nlpeval ner --badcase` on generated data,
# and the bare libxlsxwriter loop (nlpeval_bare_xlsx) writing the very cells that run wrote,
# read back with bench/xlsx_cells.py: once the values alone, once with what else the sheet
# holds (blank cells under merges, formats, merges). Runs alternate; the best of each is kept.
#   bench/badcase_vs_bare.sh [BUILD_DIR] [INSTANCES] [RUNS]
# The defaults are build, 100000 and 3. The data is generated once into $TMPDIR and reused.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-build}
instances=${2:-100000}
runs=${3:-3}
data=${TMPDIR:-/tmp}/nlpeval-badcase-$instances
mkdir -p "$data"
[[ -s $data/gold.jsonl && -s $data/pred.jsonl ]] ||
  "$build/bench/nlpeval_gen_jsonl" "$data/gold.jsonl" "$data/pred.jsonl" "$instances"

seconds_of() { /usr/bin/time -f "%e" "$@" 2>&1 >/dev/null | tail -1; }

best_run=999999
best_bare=999999
best_look=999999
for ((run = 0; run < runs; run++)); do
  took=$(seconds_of "$build/cli/nlpeval" ner "$data/gold.jsonl" "$data/pred.jsonl" \
    --badcase "$data/badcase.xlsx")
  best_run=$(awk -v a="$best_run" -v b="$took" 'BEGIN { print (b < a ? b : a) }')
  if ((run == 0)); then python3 "$here/xlsx_cells.py" "$data/badcase.xlsx" >"$data/cells.jsonl"; fi
  bare=$("$build/bench/nlpeval_bare_xlsx" "$data/cells.jsonl" "$data/bare.xlsx" 1)
  took=$(sed -E 's/.*: ([0-9.]+) s .*/\1/' <<<"$bare")
  best_bare=$(awk -v a="$best_bare" -v b="$took" 'BEGIN { print (b < a ? b : a) }')
  look=$("$build/bench/nlpeval_bare_xlsx" "$data/cells.jsonl" "$data/bare.xlsx" 1 --badcase-look)
  took=$(sed -E 's/.*: ([0-9.]+) s .*/\1/' <<<"$look")
  best_look=$(awk -v a="$best_look" -v b="$took" 'BEGIN { print (b < a ? b : a) }')
done
echo "values alone: $bare" | sed -E 's/best of 1: [0-9.]+ s/last run/'
echo "badcase look: $look" | sed -E 's/best of 1: [0-9.]+ s/last run/'
awk -v n="$instances" -v ours="$best_run" -v bare="$best_bare" -v look="$best_look" -v runs="$runs" 'BEGIN {
  printf "ner %d instances, best of %d: nlpeval --badcase %.2f s; bare loop over the same values %.2f s: %.2fx; with the same blanks, formats and merges %.2f s: %.2fx\n",
         n, runs, ours, bare, ours / bare, look, ours / look }'

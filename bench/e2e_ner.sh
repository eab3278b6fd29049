#!/usr/bin/env bash
# End-to-end "ner" run of the command-line tool on generated data: instances per second and
# peak memory, without and with a badcase spreadsheet.
#   bench/e2e_ner.sh [BUILD_DIR] [INSTANCES]   (defaults: build, 1000000)
# The data (20 to 120 characters of mixed Chinese and ASCII, about three entities each, a
# prediction 85% right) is generated once into $TMPDIR and reused.
set -euo pipefail

build=${1:-build}
instances=${2:-1000000}
data=${TMPDIR:-/tmp}/nlpeval-e2e-ner-$instances
gold=$data/gold.jsonl
pred=$data/pred.jsonl
mkdir -p "$data"
[[ -s $gold && -s $pred ]] || "$build/bench/nlpeval_gen_jsonl" "$gold" "$pred" "$instances"

input_mb=$(( ($(stat -c %s "$gold") + $(stat -c %s "$pred")) / 1048576 ))
echo "$instances instances, $input_mb MB of input"

# Prints one result line for a run of nlpeval with the given extra arguments.
measure() {
  local label=$1
  shift
  local stats
  stats=$( { /usr/bin/time -f "%e %M" "$build/cli/nlpeval" ner "$gold" "$pred" "$@" >/dev/null; } 2>&1 | tail -1)
  local seconds=${stats% *} peak_kb=${stats#* }
  awk -v label="$label" -v n="$instances" -v s="$seconds" -v kb="$peak_kb" -v in_mb="$input_mb" \
    'BEGIN { printf "%-16s %7.2f s  %9.0f instances/s  peak %6.0f MB (%.1fx input)\n",
             label, s, n / s, kb / 1024, kb / 1024 / in_mb }'
}

measure "scores only"
measure "with --badcase" --badcase "$data/badcase.xlsx"

#!/usr/bin/env bash
# End-to-end run of the command-line tool on generated data: instances per second and peak
# memory, without and with a badcase spreadsheet.
#   bench/e2e.sh TASK [BUILD_DIR] [INSTANCES]
# TASK is ner, relation, attribute, event, pos or cws; the defaults are build and 1000000. The
# data (20 to 120 characters of mixed Chinese and ASCII with about three entities, four
# relations, two subjects of two attributes or two events of three arguments each, or for pos
# and cws 20 to 60 Chinese characters in words of one to four; a prediction 85% right) is
# generated once into $TMPDIR and reused.
set -euo pipefail

task=${1:?usage: bench/e2e.sh TASK [BUILD_DIR] [INSTANCES]}
build=${2:-build}
instances=${3:-1000000}
case $task in
  ner) generator=$build/bench/nlpeval_gen_jsonl ;;
  relation) generator=$build/bench/nlpeval_gen_relation_jsonl ;;
  attribute) generator=$build/bench/nlpeval_gen_attribute_jsonl ;;
  event) generator=$build/bench/nlpeval_gen_event_jsonl ;;
  pos) generator=$build/bench/nlpeval_gen_pos_jsonl ;;
  cws) generator=$build/bench/nlpeval_gen_cws_jsonl ;;
  *) echo "bench/e2e.sh: no generator for '$task'" >&2; exit 2 ;;
esac
data=${TMPDIR:-/tmp}/nlpeval-e2e-$task-$instances
gold=$data/gold.jsonl
pred=$data/pred.jsonl
mkdir -p "$data"
[[ -s $gold && -s $pred ]] || "$generator" "$gold" "$pred" "$instances"

input_mb=$(( ($(stat -c %s "$gold") + $(stat -c %s "$pred")) / 1048576 ))
echo "$instances instances, $input_mb MB of input"

# Prints one result line for a run of nlpeval with the given extra arguments.
measure() {
  local label=$1
  shift
  local stats
  stats=$( { /usr/bin/time -f "%e %M" "$build/cli/nlpeval" "$task" "$gold" "$pred" "$@" >/dev/null; } 2>&1 | tail -1)
  local seconds=${stats% *} peak_kb=${stats#* }
  awk -v label="$label" -v n="$instances" -v s="$seconds" -v kb="$peak_kb" -v in_mb="$input_mb" \
    'BEGIN { printf "%-16s %7.2f s  %9.0f instances/s  peak %6.0f MB (%.1fx input)\n",
             label, s, n / s, kb / 1024, kb / 1024 / in_mb }'
}

measure "scores only"
measure "with --badcase" --badcase "$data/badcase.xlsx"

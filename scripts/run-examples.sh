#!/usr/bin/env bash
# Builds nlpeval and evaluates the bundled examples with the nlpeval command.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target nlpeval_cli >/dev/null

nlpeval=build/cli/nlpeval
echo "== dp: dependency parsing (examples/dp)"
"$nlpeval" dp examples/dp/gold.conll examples/dp/pred.conll

echo
echo "== srl: semantic role labelling (examples/srl), CoNLL-2005 props files"
"$nlpeval" srl examples/srl/gold.props examples/srl/pred.props

echo
echo "== ner: named entities (examples/ner), with a badcase spreadsheet"
"$nlpeval" ner examples/ner/gold.jsonl examples/ner/pred.jsonl \
  --entity-count examples/ner/entity_count.tsv --badcase build/ner-badcase.xlsx

echo
echo "== relation: relations between mentions (examples/relation), with a badcase spreadsheet"
"$nlpeval" relation examples/relation/gold.jsonl examples/relation/pred.jsonl \
  --badcase build/relation-badcase.xlsx

echo
echo "== attribute: attributes of subjects (examples/attribute)"
"$nlpeval" attribute examples/attribute/gold.jsonl examples/attribute/pred.jsonl \
  --badcase build/attribute-badcase.xlsx

echo
echo "== event: event triggers and their arguments (examples/event), with a badcase spreadsheet"
"$nlpeval" event examples/event/gold.jsonl examples/event/pred.jsonl \
  --badcase build/event-badcase.xlsx

echo
echo "== pos: part-of-speech tagging (examples/pos), with a badcase spreadsheet"
"$nlpeval" pos examples/pos/gold.jsonl examples/pos/pred.jsonl --badcase build/pos-badcase.xlsx

echo
echo "== cws: word segmentation (examples/cws), with a badcase spreadsheet"
"$nlpeval" cws examples/cws/gold.jsonl examples/cws/pred.jsonl --badcase build/cws-badcase.xlsx

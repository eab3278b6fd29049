#!/usr/bin/env python3
"""Evaluates "ner" instances passed as Python dicts with the nlpeval package, and the same data
with a pure-Python chunk scorer (seqeval's algorithm) and with scikit-learn's flat metrics.

    PYTHONPATH=build-py/python /usr/bin/python3 bench/python_bench.py GOLD PRED [INSTANCES]

GOLD and PRED are "ner" JSON Lines files (bench/gen_jsonl.cc writes them); the first INSTANCES
lines are used (default 100000). Prints the seconds nlpeval.evaluate takes, and when the
files hold no more than INSTANCES lines, evaluate_file on them; then the pure-Python and
scikit-learn paths.
"""

import itertools
import json
import os
import sys
import time

import nlpeval


def read_records(path, count):
    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in itertools.islice(lines, count)]


def count_lines(path):
    with open(path, "rb") as lines:
        return sum(1 for _ in lines)


def timed(function, *args, **kwargs):
    """(seconds, result); CPU seconds when NLPEVAL_BENCH_CPU is set, which a shared machine
    disturbs less than wall time."""
    clock = time.process_time if os.environ.get("NLPEVAL_BENCH_CPU") else time.perf_counter
    start = clock()
    result = function(*args, **kwargs)
    return clock() - start, result


# A pure-Python scorer, the way seqeval does it: records to BIO tags, tags to chunks, then
# micro-averaged precision, recall and F1 over (type, start, end) chunks.
def record_tags(record):
    tags = ["O"] * len(record["text"])
    for entity in record["entities"]:
        start, length, kind = entity["offset"], entity["length"], entity["type"]
        for position in range(max(start, 0), min(start + max(length, 1), len(tags))):
            tags[position] = ("B-" if position == start else "I-") + kind
    return tags


def end_of_chunk(prev_tag, tag, prev_type, type_):
    return (prev_tag in "ES" or (prev_tag == "B" and tag in "BSO")
            or (prev_tag == "I" and tag in "BSO")
            or (prev_tag != "O" and prev_tag != "." and prev_type != type_))


def start_of_chunk(prev_tag, tag, prev_type, type_):
    return (tag in "BS" or (prev_tag in "ESO" and tag in "IE")
            or (tag != "O" and tag != "." and prev_type != type_))


def get_entities(sequences):
    chunks = set()
    offset = 0
    for sequence in sequences:
        prev_tag, prev_type, begin = "O", "", 0
        for i, chunk in enumerate(sequence + ["O"]):
            tag, type_ = chunk[0], chunk[2:] if len(chunk) > 1 else "_"
            if end_of_chunk(prev_tag, tag, prev_type, type_):
                chunks.add((prev_type, offset + begin, offset + i - 1))
            if start_of_chunk(prev_tag, tag, prev_type, type_):
                begin = i
            prev_tag, prev_type = tag, type_
        offset += len(sequence) + 1
    return chunks


def python_scores(gold_records, pred_records):
    gold = get_entities([record_tags(record) for record in gold_records])
    pred = get_entities([record_tags(record) for record in pred_records])
    correct = len(gold & pred)
    precision = correct / len(pred) if pred else 0.0
    recall = correct / len(gold) if gold else 0.0
    f1 = 2 * precision * recall / (precision + recall) if precision + recall else 0.0
    return precision, recall, f1


def sklearn_flat(gold_records, pred_records):
    from sklearn.metrics import classification_report

    gold = [tag for record in gold_records for tag in record_tags(record)]
    pred = [tag for record in pred_records for tag in record_tags(record)]
    return classification_report(gold, pred, zero_division=0)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    gold = read_records(sys.argv[1], count)
    pred = read_records(sys.argv[2], count)
    print(f"instances: {len(gold)}")

    # evaluate() converts the lists a batch at a time on its reading threads, under the GIL,
    # while the library scores the batches before: the conversion has no time of its own to
    # show, and the measure of its cost is evaluate_file on the same data, below.
    total_seconds, result = min((timed(nlpeval.evaluate, "ner", gold, pred, do_print=False)
                                 for _ in range(3)), key=lambda run: run[0])
    print(f"nlpeval.evaluate, total:            {total_seconds:7.3f} s")
    print(f"  f1 = {result['f1']:.6f}")
    if all(len(records) == count_lines(path) for records, path in
           [(gold, sys.argv[1]), (pred, sys.argv[2])]):
        # The whole files were taken: the same data read by the library itself.
        file_seconds = min(timed(nlpeval.evaluate_file, "ner", sys.argv[1], sys.argv[2],
                                 do_print=False)[0] for _ in range(5))
        total_seconds = min(total_seconds, min(
            timed(nlpeval.evaluate, "ner", gold, pred, do_print=False)[0] for _ in range(2)))
        print(f"nlpeval.evaluate_file, same files:  {file_seconds:7.3f} s   (evaluate() from "
              f"dicts, best of 5: {total_seconds:.3f} s, {total_seconds / file_seconds:.2f}x)")

    python_seconds, (precision, recall, f1) = timed(python_scores, gold, pred)
    print(f"pure-Python chunk scorer:           {python_seconds:7.3f} s   f1 = {f1:.6f}")
    # scikit-learn has no chunk scorer; its flat report over the character tags is the nearest
    # path, and so slow on millions of string labels that it runs on a tenth of the data.
    try:
        tenth = len(gold) // 10
        sklearn_seconds, _ = timed(sklearn_flat, gold[:tenth], pred[:tenth])
        print(f"scikit-learn flat report, character tags of {tenth} instances: "
              f"{sklearn_seconds:7.3f} s")
    except ImportError:
        print("scikit-learn: not installed")
    if abs(f1 - result["f1"]) > 1e-9:
        print("warning: the pure-Python scorer disagrees with nlpeval")


if __name__ == "__main__":
    main()

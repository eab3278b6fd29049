"""Evaluates a pair of JSON Lines files in shards on a Dask cluster and folds the shards'
states into one result, equal to nlpeval.evaluate_file on the whole files.

    python3 examples/dask_evaluate.py ner examples/ner/gold.jsonl examples/ner/pred.jsonl

Each worker process reads its own range of lines, evaluates it with nlpeval.Evaluation and
returns the state (a small JSON text of counts); the client merges the states in shard
order. The same fold runs anywhere states can travel: Spark's mapPartitions (one state per
partition, collected in partition order), or torch.distributed's all_gather_object (states in
rank order).
"""

import json
import sys

import nlpeval


def line_count(path):
    with open(path, "rb") as data:
        return sum(1 for line in data if line.strip())


def evaluate_shard(task, gold_file, pred_file, first, last):
    """The state of lines [first, last) of both files (blank lines not counted)."""
    def records(path):
        with open(path, encoding="utf-8") as data:
            lines = (line for line in data if line.strip())
            return [json.loads(line) for k, line in enumerate(lines) if first <= k < last]

    evaluation = nlpeval.Evaluation(task)
    evaluation.add(records(gold_file), records(pred_file))
    return evaluation.save_state()


def evaluate_on_cluster(client, task, gold_file, pred_file, shards):
    total = line_count(gold_file)
    cuts = [total * k // shards for k in range(shards + 1)]
    futures = [client.submit(evaluate_shard, task, gold_file, pred_file, cuts[k], cuts[k + 1],
                             pure=False)
               for k in range(shards)]
    states = client.gather(futures)  # in shard order
    whole = nlpeval.Evaluation(task)
    for state in states:
        whole.merge(nlpeval.Evaluation.from_state(state))
    return whole.result()


def main(task, gold_file, pred_file, shards=4):
    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        result = evaluate_on_cluster(client, task, gold_file, pred_file, int(shards))
    print(json.dumps(result, ensure_ascii=False))


if __name__ == "__main__":
    main(*sys.argv[1:])

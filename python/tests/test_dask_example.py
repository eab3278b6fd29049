"""The Dask example: two worker processes evaluate shards, the client folds their states."""

import importlib.util
import pathlib

import pytest

import nlpeval

pytest.importorskip("distributed")
EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "dask_evaluate.py"


def load_example():
    spec = importlib.util.spec_from_file_location("dask_evaluate", EXAMPLE)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def test_shards_on_a_local_cluster_equal_one_evaluation(examples):
    from distributed import Client, LocalCluster

    example = load_example()
    with LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        for task, shards in (("ner", 4), ("relation", 3)):
            gold = str(examples / task / "gold.jsonl")
            pred = str(examples / task / "pred.jsonl")
            result = example.evaluate_on_cluster(client, task, gold, pred, shards)
            assert result == nlpeval.evaluate_file(task, gold, pred, do_print=False)

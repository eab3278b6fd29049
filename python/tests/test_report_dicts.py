"""Reports as dicts (output_dict) and the per-label numbers of evaluation results."""
import warnings

import pytest

import nlpeval
from nlpeval import metrics
from nlpeval.metrics import sequence

GOLD = [["B-PER", "I-PER", "O", "B-LOC"], ["B-ORG", "O", "B-LOC", "I-LOC"]]
PRED = [["B-PER", "I-PER", "O", "B-ORG"], ["B-ORG", "O", "B-LOC", "O"]]


def test_sequence_dict_has_seqeval_layout_and_the_report_numbers():
    report = sequence.classification_report(GOLD, PRED, output_dict=True)
    assert list(report) == ["LOC", "ORG", "PER", "micro avg", "macro avg", "weighted avg"]
    for row in report.values():
        assert list(row) == ["precision", "recall", "f1-score", "support"]
    assert report["LOC"] == {"precision": 0.0, "recall": 0.0, "f1-score": 0.0, "support": 2}
    assert report["ORG"]["precision"] == 0.5
    micro = report["micro avg"]
    assert micro["precision"] == sequence.precision_score(GOLD, PRED)
    assert micro["recall"] == sequence.recall_score(GOLD, PRED)
    assert micro["support"] == 4
    only = sequence.classification_report(GOLD, PRED, labels=["PER"], output_dict=True)
    assert list(only) == ["PER", "micro avg", "macro avg", "weighted avg"]


def test_flat_dict_of_number_labels_is_keyed_as_sklearn_keys_it():
    sklearn_metrics = pytest.importorskip("sklearn.metrics")
    gold, pred = [1, 2, 10, 2, 1], [1, 10, 10, 2, 2]
    ours = metrics.classification_report(gold, pred, output_dict=True)
    assert list(ours) == ["1", "2", "10", "accuracy", "macro avg", "weighted avg"]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        assert ours == sklearn_metrics.classification_report(gold, pred, output_dict=True)
    chosen = metrics.classification_report(gold, pred, labels=[2, 1], output_dict=True)
    assert list(chosen) == ["2", "1", "micro avg", "macro avg", "weighted avg"]


def test_results_carry_the_report_rows_as_numbers():
    gold = [{"text": "李明在北京", "entities": [{"offset": 0, "length": 2, "type": "PER"},
                                           {"offset": 3, "length": 2, "type": "LOC"}]}]
    pred = [{"text": "李明在北京", "entities": [{"offset": 0, "length": 2, "type": "PER"}]}]
    result = nlpeval.evaluate("ner", gold, pred, do_print=False)
    assert list(result)[:5] == ["precision", "recall", "f1", "classification_report",
                                "per_label"]
    assert result["per_label"] == {
        "LOC": {"precision": 0.0, "recall": 0.0, "f1": 0.0, "support": 1},
        "PER": {"precision": 1.0, "recall": 1.0, "f1": 1.0, "support": 1},
    }


def test_relation_results_carry_the_rows_of_the_scored_labels(examples):
    result = nlpeval.evaluate_file("relation", examples / "relation" / "gold.jsonl",
                                   examples / "relation" / "pred.jsonl", do_print=False)
    rows = [line.split() for line in result["classification_report"].split("\n\n")[1].splitlines()]
    assert list(result["per_label"]) == [row[0] for row in rows]
    assert [value["support"] for value in result["per_label"].values()] == [
        int(row[-1]) for row in rows]
    assert all(not label.startswith("na") for label in result["per_label"])

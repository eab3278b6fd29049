"""Flat-label, chunk-level and character-level metrics."""

import pytest

from nlpeval import char_metrics, metrics
from nlpeval.metrics import sequence


def test_flat_and_sequence_scorers_are_different_functions():
    gold, pred = [["B-A", "I-A"]], [["B-A", "O"]]
    assert sequence.precision_score(gold, pred) == 0.0
    assert metrics.precision_score(gold[0], pred[0]) == 0.5
    assert sequence.classification_report(y_true=gold, y_pred=pred, digits=3).count("0.000") > 0


def test_flat_defaults_are_micro_and_two_digits():
    gold, pred = ["a", "b", "b"], ["a", "a", "b"]
    assert metrics.f1_score(gold, pred) == metrics.f1_score(gold, pred, None, "micro")
    assert metrics.classification_report(gold, pred) == metrics.classification_report(
        gold, pred, labels=None, digits=2)
    with pytest.raises(ValueError):
        metrics.precision_score(gold, pred, average="binary")
    with pytest.raises(ValueError):
        metrics.accuracy_score(gold, pred[:2])
    with pytest.raises(ValueError):
        metrics.classification_report(gold, pred, digits=-1)


def test_sequence_errors():
    with pytest.raises(ValueError):
        sequence.f1_score([["B-A", "O"]], [["B-A"]])
    with pytest.raises(TypeError, match=r"^y_true: expected list, got str$"):
        sequence.recall_score("B-A", [["B-A"]])


def test_plot_confusion_matrix(tmp_path):
    target = tmp_path / "cm.png"
    metrics.plot_confusion_matrix(["a", "b"], ["a", "a"], ["a", "b"], "YlGnBu", str(target))
    assert target.read_bytes().startswith(b"\x89PNG")
    with pytest.raises(ValueError):
        metrics.plot_confusion_matrix(["a"], ["a"], ["a"], "viridis", str(target))
    with pytest.raises(OSError):
        metrics.plot_confusion_matrix(["a"], ["a"], ["a"], "YlGnBu",
                                      str(tmp_path / "no/such/dir/cm.png"))


def test_filter_o():
    kept = char_metrics.filter_O(["O", "B-a", "I-a", "O"], ["O", "B-a", "O", "B-b"])
    assert kept == (["B-a", "I-a", "O"], ["B-a", "O", "B-b"], ["B-a"])
    with pytest.raises(IndexError):
        char_metrics.filter_O(["B-a", "B-a"], ["B-a"])


def test_by_char_scores():
    gold = ["B-a", "I-a", "O", "B-b"]
    pred = ["B-a", "O", "O", "B-b"]
    assert char_metrics.accuracy_score_by_char(gold, pred) == pytest.approx(2 / 3)
    assert char_metrics.precision_score_by_char(gold, pred) == 1.0
    assert char_metrics.recall_score_by_char(gold, pred, labels=["I-a"]) == 0.0
    assert char_metrics.f1_score_by_char(gold, pred, average="macro") == 1.0
    assert "B-b" in char_metrics.classification_report_by_char(gold, pred, digits=4)


def test_transform_by_char():
    arguments = [{"offset": [2, 3], "type": "time"}, {"offset": 0, "length": 1, "role": "who"}]
    assert char_metrics.transform_by_char(arguments, ["A", "BC", "D"]) == [
        "B-who", "O", "O", "B-time"]
    with pytest.raises(KeyError) as missing:
        char_metrics.transform_by_char([{"offset": 0, "length": 1}], ["A"])
    assert missing.value.args == ("role",)
    with pytest.raises(TypeError, match="arguments: expected list, got dict"):
        char_metrics.transform_by_char({}, ["A"])

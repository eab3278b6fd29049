"""Labels given as scikit-learn takes them: containers, numbers, bools, paths, checked live."""

import os
import pathlib
import warnings

import pytest

from nlpeval import char_metrics, metrics, scoring
from nlpeval.metrics import sequence

np = pytest.importorskip("numpy")
pd = pytest.importorskip("pandas")
sklearn_metrics = pytest.importorskip("sklearn.metrics")

# (y_true, y_pred, labels): each of these scikit-learn scores without complaint.
CASES = [
    ([1, 2, 10, 2], [2, 2, 10, 1], None),                      # 2 < 10, not "10" < "2"
    (np.array([1.0, 2.0, 2.0]), [1, 2, 1], None),              # float rows show "1.0"
    ([True, False, True], [1, 0, 0], None),                    # True == 1
    (pd.Series([3, 1, 2]), pd.Series([3, 3, 2]), None),
    (np.array([1, 2, 10]), (1, 2, 3), [10, 2.0]),              # labels of another dtype
    ([1, 2, 2], [1, 2, 1], [2, 1.5]),                          # a label absent from the data
    (pd.Series(["b", "a", "c"]), np.array(["a", "a", "c"]), ("a", "c")),
    (np.array([1, 2], dtype=np.int8), [1, 2], None),
    (np.array([1, 2], dtype=np.float32), [1, 2], np.array([2])),
    (np.array([[1], [2]]), [2, 2], None),                      # a column
    (["a", 1, "b"], ["a", "1", "1"], None),                    # one list: numpy makes all text
    (np.array(["x", "y"]), ["y", "y"], None),
]


def quietly(function, *args, **kwargs):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return function(*args, zero_division=0, **kwargs)


@pytest.mark.parametrize("y_true, y_pred, labels", CASES)
def test_kinds_score_and_report_as_sklearn(y_true, y_pred, labels):
    for average in ["micro", "macro", "weighted"]:
        for ours, theirs in [(metrics.precision_score, sklearn_metrics.precision_score),
                             (metrics.recall_score, sklearn_metrics.recall_score),
                             (metrics.f1_score, sklearn_metrics.f1_score)]:
            assert ours(y_true, y_pred, labels, average) == pytest.approx(
                quietly(theirs, y_true, y_pred, labels=labels, average=average), abs=1e-12)
    assert metrics.accuracy_score(y_true, y_pred) == sklearn_metrics.accuracy_score(
        y_true, y_pred)
    assert metrics.classification_report(y_true, y_pred, labels=labels) == quietly(
        sklearn_metrics.classification_report, y_true, y_pred, labels=labels)


@pytest.mark.parametrize("y_true, y_pred", [
    (["a", "b"], [1, 2]),              # strings against numbers
    ([0.5, 1.0], [1.0, 1.0]),          # continuous values are no class labels
    ([float("nan")], [1.0]),
])
def test_sklearn_refusals_are_value_errors(y_true, y_pred):
    with pytest.raises(ValueError) as theirs:
        quietly(sklearn_metrics.precision_score, y_true, y_pred, average="micro")
    with pytest.raises(ValueError) as ours:
        metrics.precision_score(y_true, y_pred)
    if "Mix of label input types" in str(theirs.value):
        assert str(ours.value) == "Mix of label input types (string and number)"
    with pytest.raises(ValueError):
        scoring.label_na_score(y_true, y_pred, False, None)


def test_labels_of_the_other_kind_and_non_labels_are_refused():
    with pytest.raises(ValueError, match=r"^Mix of label input types \(string and number\)$"):
        metrics.f1_score(["a", "b"], ["a", "a"], labels=[1])
    with pytest.raises(TypeError, match=r"^y_true\[1\]: expected a label .*got NoneType$"):
        metrics.precision_score(["a", None], ["a", "a"])
    with pytest.raises(TypeError, match=r"^y_pred: expected list, got str$"):
        metrics.recall_score(["a"], "a")
    with pytest.raises(ValueError, match=r"y_true: expected one label per position"):
        metrics.accuracy_score(np.zeros((2, 2)), [0, 0])
    with pytest.raises(ValueError):
        metrics.accuracy_score(np.array([1, 2]), [1])


def test_label_na_score_sorts_numbers_as_numbers(tmp_path):
    precision, recall, f1, report = scoring.label_na_score(np.array([1, 2, 10]), [1, 10, 10],
                                                           False, None)
    assert (precision, recall, f1) == pytest.approx((2 / 3,) * 3)
    assert [line.split()[0] for line in report.split("\n\n")[1].splitlines()] == ["1", "2", "10"]
    assert report == quietly(sklearn_metrics.classification_report, [1, 2, 10], [1, 10, 10])
    # Text held in an array or a Series scores as the same list.
    as_list = scoring.label_na_score(["r1", "na", "na"], ["r1", "r1", "na"], False, None)
    assert scoring.label_na_score(pd.Series(["r1", "na", "na"]), np.array(["r1", "r1", "na"]),
                                  False, None) == as_list
    picture = tmp_path / "cm.png"
    scoring.label_na_score([1, 2], [1, 1], False, picture)
    assert picture.read_bytes().startswith(b"\x89PNG")


def test_char_metrics_take_arrays_and_numbers():
    gold, pred = np.array(["O", "B-a", "I-a", "O"]), pd.Series(["O", "B-a", "O", "B-b"])
    assert char_metrics.filter_O(gold, pred) == (["B-a", "I-a", "O"], ["B-a", "O", "B-b"],
                                                 ["B-a"])
    assert char_metrics.filter_O(np.array([1, 0]), [1, 2]) == ([1, 0], [1, 2], [1, 0, 2])
    assert char_metrics.precision_score_by_char(gold, pred) == char_metrics.precision_score_by_char(
        gold.tolist(), pred.tolist())
    assert char_metrics.f1_score_by_char([2, 10, 1], [2, 10, 10], labels=np.array([10])) == 2 / 3
    assert "10.0" in char_metrics.classification_report_by_char(np.array([2.0, 10.0]), [2, 10])
    assert char_metrics.transform_by_char([{"offset": 0, "length": 1, "role": "r"}],
                                          np.array(["A", "B"])) == ["B-r", "O"]


def test_sequence_scorers_take_arrays_and_tuples():
    gold = [["B-A", "I-A", "O"], ["B-B", "O", "O"]]
    pred = [["B-A", "I-A", "O"], ["O", "O", "B-B"]]
    expected = scoring.label_score(gold, pred, None)
    assert scoring.label_score(np.array(gold), pd.Series([tuple(s) for s in pred]),
                               None) == expected
    assert scoring.label_score(gold, pred, np.array(["A"]))[0] == 1.0
    assert sequence.f1_score(np.array(gold), np.array(pred)) == expected[2]
    with pytest.raises(TypeError, match=r"^y_pred\[0\]\[1\]: expected str, got int$"):
        sequence.precision_score(gold, (("O", 1, "O"), pred[1]))


class FsPath:
    """A path-like object that is not a pathlib path."""

    def __init__(self, path):
        self.path = str(path)

    def __fspath__(self):
        return self.path


def test_file_arguments_take_path_like_objects(tmp_path, examples):
    from nlpeval import evaluator

    result = evaluator.evaluate_file("ner", examples / "ner" / "gold.jsonl",
                                     FsPath(examples / "ner" / "pred.jsonl"), do_print=False,
                                     badcase_file=tmp_path / "bad.xlsx")
    assert 0 <= result["f1"] <= 1 and (tmp_path / "bad.xlsx").exists()
    counts = tmp_path / "counts.tsv"
    counts.write_text("北京\tLOC\t3\n", encoding="utf-8")
    assert evaluator.read_entity_count(counts) == {"北京": 3}
    metrics.plot_confusion_matrix(["a"], ["a"], ["a"], "YlGnBu", FsPath(tmp_path / "m.svg"))
    assert (tmp_path / "m.svg").exists()
    with pytest.raises(FileNotFoundError):
        evaluator.read_entity_count(pathlib.Path(tmp_path, "missing.tsv"))
    assert isinstance(FsPath("x"), os.PathLike)

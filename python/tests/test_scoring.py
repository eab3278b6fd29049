"""Scoring functions, CoNLL readers and span tools."""

import pytest

from nlpeval import scoring
from nlpeval.span_tools import align_spans, iob1_tags_to_spans

LINES = ["1\tA\ta\tN\tN\t_\t2\tnsubj\t_\t_\n", "2\tB\tb\tV\tV\t_\t0\troot\t_\t_\n"]


def test_iob1_tags_to_spans():
    assert iob1_tags_to_spans(["B-PER", "I-PER", "O", "B-LOC"]) == [("PER", (0, 1)),
                                                                    ("LOC", (3, 3))]
    assert iob1_tags_to_spans(["I-PER", "I-PER"]) == [("PER", (0, 1))]
    assert iob1_tags_to_spans(["B-PER", "I-PER", "B-LOC"], classes_to_ignore=["PER"]) == [
        ("LOC", (2, 2))]
    assert iob1_tags_to_spans([]) == []
    with pytest.raises(ValueError, match=r"^\['B-PER', 'X-PER'\] is invalid tag sequence$"):
        iob1_tags_to_spans(["B-PER", "X-PER"])
    with pytest.raises(IndexError):
        iob1_tags_to_spans(["B-PER", ""])
    with pytest.raises(TypeError, match="tag_sequence: expected list, got str"):
        iob1_tags_to_spans("B-PER")


def test_align_spans():
    gold = ["O", "O", "B-PER", "I-PER", "I-PER", "O", "O"]
    assert align_spans(gold, ["O", "O", "O", "B-PER", "I-PER", "I-PER", "I-PER"]) == [
        (("PER", (2, 4)), ("PER", (3, 6)))]
    assert align_spans(gold, ["O"] * 5 + ["B-PER", "I-PER"]) == [
        (("PER", (2, 4)), None), (None, ("PER", (5, 6)))]
    with pytest.raises(ValueError, match="^invalid BIO tag sequence$"):
        align_spans(["E"], ["O"])


def test_label_score_and_label_na_score():
    precision, recall, f1, report = scoring.label_score([["B-A", "O"]], [["B-A", "B-B"]], None)
    assert (precision, recall) == (0.5, 1.0)
    assert report.split("\n\n")[1].split() == ["A", "1.00", "1.00", "1.00", "1",
                                               "B", "0.00", "0.00", "0.00", "0"]
    assert scoring.label_na_score(["r1", "na", "na"], ["r1", "r1", "na"], False, None)[:3] == (
        0.5, 1.0, pytest.approx(2 / 3))
    with_na = scoring.label_na_score(["r1", "na", "na"], ["r1", "r1", "na"], True, "")
    assert with_na[:3] == pytest.approx((2 / 3,) * 3)
    with pytest.raises(TypeError, match="y_true: expected list, got dict"):
        scoring.label_na_score({}, [], False, None)
    with pytest.raises(TypeError, match=r"y_pred\[0\]\[1\]: expected str, got int"):
        scoring.label_score([["O", "O"]], [["O", 1]], None)


def test_cws_score():
    assert scoring.cws_score([[[0, 2], [2, 3]]], [[[0, 2], (2, 3)], []]) == (1.0, 1.0, 1.0, "")
    assert scoring.cws_score([], []) == (0.0, 0.0, 0.0, "")
    with pytest.raises(IndexError):
        scoring.cws_score([[[0, 1]]], [])
    with pytest.raises(TypeError, match=r"y_true\[0\]\[0\]: expected a pair"):
        scoring.cws_score([[[0, 1, 2]]], [[]])


def test_dp_score_prints_the_table(capsys):
    result = scoring.dp_score(LINES, LINES)
    assert result == {"UAS": 1.0, "LAS": 1.0, "classification": [
        {"item": "nsubj", "uas": 1.0, "las": 1.0, "support": 1},
        {"item": "root", "uas": 1.0, "las": 1.0, "support": 1}]}
    assert capsys.readouterr().out == ("UAS: 1.000\tLAS: 1.000\n\tUAS\tLAS\tsupport\n"
                                       "nsubj\t1.000\t1.000\t1\nroot\t1.000\t1.000\t1\n")
    assert scoring.dp_score(LINES, LINES, do_print=False) == result
    assert capsys.readouterr().out == ""
    assert scoring.dp_score([], [], False) == {"UAS": 0.0, "LAS": 0.0, "classification": []}
    with pytest.raises(IndexError):
        scoring.dp_score(LINES, LINES[:1], False)
    with pytest.raises(TypeError, match="y_pred: expected list, got NoneType"):
        scoring.dp_score(LINES, None)


def test_conll_readers(tmp_path):
    conll = tmp_path / "a.conll"
    conll.write_bytes(b"".join(line.encode() for line in LINES) + b"\r\nlast")
    assert scoring.read_conll(str(conll)) == LINES + ["\n", "last"]
    assert scoring.get_head(LINES[0]) == "2"
    assert scoring.get_dep(LINES[0]) == "nsubj"
    with pytest.raises(IndexError):
        scoring.get_head("a\tb")
    with pytest.raises(FileNotFoundError):
        scoring.read_conll(str(tmp_path / "missing.conll"))
    with pytest.raises(OSError):
        scoring.read_conll(str(tmp_path))


def test_srl_evaluate_over_conll_iterator(examples):
    gold = list(scoring.conll_iterator(str(examples / "srl/gold.props")))
    pred = list(scoring.conll_iterator(file=str(examples / "srl/pred.props")))
    assert gold and all(isinstance(sentence, list) for sentence in gold)
    summary = scoring.srl_evaluate(gold, pred)
    assert summary == scoring.srl_evaluate(gold, pred)
    assert "Overall" in summary
    perfect = scoring.srl_evaluate(gold, gold)
    assert "100.00" in perfect

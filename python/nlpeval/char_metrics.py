"""Character-level metrics of BIO tags: positions where both sides say "O" are dropped.

The remaining positions are scored with the flat-label primitives of nlpeval.metrics. The
labels scored are the caller's `labels` when given and not empty, otherwise the tags seen at
positions where neither side is "O", in order of first appearance (gold before predicted).
Tags are usually strings; ints, floats and bools are taken and shown as in nlpeval.metrics.
"""

from __future__ import annotations

from typing import Any, Sequence

from nlpeval import _labels
from nlpeval._nlpeval import char_metrics as _char

__all__ = [
    "filter_O",
    "precision_score_by_char",
    "recall_score_by_char",
    "f1_score_by_char",
    "accuracy_score_by_char",
    "classification_report_by_char",
    "transform_by_char",
]

_PARAMETERS = """
    Parameters
    ----------
    y_true : list, tuple, numpy array or pandas Series of str (or int, float, bool)
        The gold tag of each character, BIO scheme, "O" outside every span.
    y_pred : same kinds as y_true
        The predicted tag of each character; at least as long as y_true.
    labels : same kinds as y_true, or None, default=None
        The tags to score; None or an empty list takes the tags seen where neither side is "O".
"""

_RAISES = """
    Raises
    ------
    IndexError
        y_pred is shorter than y_true.
    ValueError
        Strings and numbers are mixed, or the primitive refuses its arguments.
    TypeError
        An argument or a tag of the wrong kind, naming it.
"""


def _scored(binding, y_true, y_pred, labels, *rest):
    if _labels.is_plain(y_true, y_pred, labels):
        try:
            return binding(y_true, y_pred, labels, *rest)
        except TypeError:
            pass  # a tag that is not a str: written as text below, or the error again
    text = _labels.as_text(y_true, y_pred, labels)
    return binding(text.y_true, text.y_pred, text.labels, *rest)


def filter_O(y_true: Sequence[Any], y_pred: Sequence[Any]) -> tuple[list, list, list]:
    """Drops the positions where both sides say "O".

    Parameters
    ----------
    y_true : list, tuple, numpy array or pandas Series of str (or int, float, bool)
        The gold tag of each character.
    y_pred : same kinds as y_true
        The predicted tag of each character; extra predicted tags are ignored.

    Returns
    -------
    (gold, predicted, labels) : tuple of three lists
        The gold and predicted tags of the kept positions, in order, and the distinct tags of
        the positions where neither side is "O", in order of first appearance (gold first).

    Raises
    ------
    IndexError
        y_pred is shorter than y_true.
    TypeError
        An argument of the wrong kind, naming it.
    """
    if _labels.is_plain(y_true, y_pred):
        try:
            return _char.filter_O(y_true, y_pred)
        except TypeError:
            pass  # tags that are not str: filtered below with their own values
    return _filter_values(_labels.label_array(y_true, "y_true").tolist(),
                          _labels.label_array(y_pred, "y_pred").tolist())


def _filter_values(gold: list, pred: list) -> tuple[list, list, list]:
    if len(pred) < len(gold):
        raise IndexError(f"y_pred: {len(pred)} tags for {len(gold)} gold tags")
    kept_gold, kept_pred, seen = [], [], {}
    for true_tag, pred_tag in zip(gold, pred):
        if true_tag == "O" and pred_tag == "O":
            continue
        kept_gold.append(true_tag)
        kept_pred.append(pred_tag)
        if true_tag != "O" and pred_tag != "O":
            seen.setdefault(true_tag, true_tag)
            seen.setdefault(pred_tag, pred_tag)
    return kept_gold, kept_pred, list(seen.values())


def precision_score_by_char(y_true: Sequence[Any], y_pred: Sequence[Any],
                            labels: Sequence[Any] | None = None,
                            average: str = "micro") -> float:
    return _scored(_char.precision_score_by_char, y_true, y_pred, labels, average)


def recall_score_by_char(y_true: Sequence[Any], y_pred: Sequence[Any],
                         labels: Sequence[Any] | None = None, average: str = "micro") -> float:
    return _scored(_char.recall_score_by_char, y_true, y_pred, labels, average)


def f1_score_by_char(y_true: Sequence[Any], y_pred: Sequence[Any],
                     labels: Sequence[Any] | None = None, average: str = "micro") -> float:
    return _scored(_char.f1_score_by_char, y_true, y_pred, labels, average)


def accuracy_score_by_char(y_true: Sequence[Any], y_pred: Sequence[Any],
                           labels: Sequence[Any] | None = None) -> float:
    return _scored(_char.accuracy_score_by_char, y_true, y_pred, labels)


def classification_report_by_char(y_true: Sequence[Any], y_pred: Sequence[Any],
                                  labels: Sequence[Any] | None = None, digits: int = 2) -> str:
    return _scored(_char.classification_report_by_char, y_true, y_pred, labels, digits)


def transform_by_char(arguments: Sequence[dict], words: Sequence[str]) -> list[str]:
    """The argument tags of one event over the characters of its words.

    Parameters
    ----------
    arguments : list of dict
        Gold arguments ("offset" = [start, end] word indices, role under "type") or predicted
        ones (character "offset", "length", role under "role"), mixed freely.
    words : list of str
        The words; their concatenation is the text.

    Returns
    -------
    list of str
        One tag per character: "B-" + role on an argument's first character, "I-" + role on
        the rest, "O" elsewhere; later arguments overwrite earlier ones.

    Raises
    ------
    KeyError
        A missing "offset", "role", "length" or "type"; the key is the exception's argument.
    IndexError
        A gold "offset" with fewer than two elements.
    TypeError
        A word that is not a str, a word index or length that is not an int.
    """
    return _char.transform_by_char(arguments, _labels.strings(words, "words"))


_AVERAGE = """    average : {"micro", "macro", "weighted"}, default="micro"
        How the per-tag values are combined, as in nlpeval.metrics.precision_score.
"""
precision_score_by_char.__doc__ = f"""Precision over the positions where a side is not "O".
{_PARAMETERS}{_AVERAGE}
    Returns
    -------
    float
{_RAISES}"""
recall_score_by_char.__doc__ = f"""Recall over the positions where a side is not "O".
{_PARAMETERS}{_AVERAGE}
    Returns
    -------
    float
{_RAISES}"""
f1_score_by_char.__doc__ = f"""F1 over the positions where a side is not "O".
{_PARAMETERS}{_AVERAGE}
    Returns
    -------
    float
{_RAISES}"""
accuracy_score_by_char.__doc__ = f"""Accuracy over the positions where a side is not "O".
{_PARAMETERS}        The labels play no part in the accuracy.

    Returns
    -------
    float
{_RAISES}"""
classification_report_by_char.__doc__ = f"""The flat report over the positions where a side is
    not "O".
{_PARAMETERS}    digits : int, default=2
        Decimals of the values; at most 1000.

    Returns
    -------
    str
        The report of nlpeval.metrics.classification_report.
{_RAISES}"""

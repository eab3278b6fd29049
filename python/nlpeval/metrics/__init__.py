"""Flat-label metric primitives (scikit-learn's definitions) and the confusion matrix.

Each position of the gold list is paired with the same position of the predicted list. Labels
may be strings, ints, floats or bools, given as lists, tuples, numpy arrays or pandas Series;
they are compared, sorted and shown as scikit-learn does (``unique_labels``: 2 < 10 for ints,
1 == 1.0 == True, a float label shows as "1.0"). The chunk-level scorers of tag sequences,
which share these names, are in nlpeval.metrics.sequence.
"""

from __future__ import annotations

import os
from typing import Any, Sequence

from nlpeval import _labels
from nlpeval._nlpeval import metrics as _metrics

__all__ = [
    "precision_score",
    "recall_score",
    "f1_score",
    "accuracy_score",
    "classification_report",
    "plot_confusion_matrix",
]


def _scored(binding, y_true, y_pred, labels, *rest):
    """Calls `binding` with the labels as text: plain lists of strings go straight through."""
    if _labels.is_plain(y_true, y_pred, labels):
        try:
            return binding(y_true, y_pred, labels, *rest)
        except TypeError:
            pass  # a label that is not a str: written as text below, or the error again
    text = _labels.as_text(y_true, y_pred, labels)
    return binding(text.y_true, text.y_pred, _labels.scored_labels(text), *rest)


def precision_score(y_true: Sequence[Any], y_pred: Sequence[Any],
                    labels: Sequence[Any] | None = None, average: str = "micro") -> float:
    """Precision: true positives over predicted positions, per label, then averaged.

    Parameters
    ----------
    y_true : list, tuple, numpy array or pandas Series of str, int, float or bool
        The gold label of each position.
    y_pred : same kinds as y_true
        The predicted label of each position; as long as y_true.
    labels : same kinds as y_true, or None, default=None
        The labels to score, which may include labels absent from the data. None scores
        every label of either list.
    average : {"micro", "macro", "weighted"}, default="micro"
        "micro" pools the counts of the labels; "macro" takes the plain mean of the per-label
        values; "weighted" the mean weighted by each label's support.

    Returns
    -------
    float
        A zero denominator counts as 0, without a warning.

    Raises
    ------
    ValueError
        The lists differ in length, the average is unknown, strings and numbers are mixed
        ("Mix of label input types (string and number)"), or a float label is not whole.
    TypeError
        An argument or a label of the wrong kind, naming the argument.
    """
    return _scored(_metrics.precision_score, y_true, y_pred, labels, average)


def recall_score(y_true: Sequence[Any], y_pred: Sequence[Any],
                 labels: Sequence[Any] | None = None, average: str = "micro") -> float:
    """Recall: true positives over gold positions (the support), per label, then averaged.

    Parameters
    ----------
    y_true : list, tuple, numpy array or pandas Series of str, int, float or bool
        The gold label of each position.
    y_pred : same kinds as y_true
        The predicted label of each position; as long as y_true.
    labels : same kinds as y_true, or None, default=None
        The labels to score; None scores every label of either list.
    average : {"micro", "macro", "weighted"}, default="micro"
        How the per-label values are combined, as in precision_score.

    Returns
    -------
    float
        A zero denominator counts as 0, without a warning.

    Raises
    ------
    ValueError
        As precision_score: lengths, average, mixed label kinds, continuous values.
    TypeError
        An argument or a label of the wrong kind, naming the argument.
    """
    return _scored(_metrics.recall_score, y_true, y_pred, labels, average)


def f1_score(y_true: Sequence[Any], y_pred: Sequence[Any],
             labels: Sequence[Any] | None = None, average: str = "micro") -> float:
    """F1: the harmonic mean of precision and recall, per label, then averaged.

    Parameters
    ----------
    y_true : list, tuple, numpy array or pandas Series of str, int, float or bool
        The gold label of each position.
    y_pred : same kinds as y_true
        The predicted label of each position; as long as y_true.
    labels : same kinds as y_true, or None, default=None
        The labels to score; None scores every label of either list.
    average : {"micro", "macro", "weighted"}, default="micro"
        How the per-label values are combined, as in precision_score.

    Returns
    -------
    float
        0 when precision and recall are both 0.

    Raises
    ------
    ValueError
        As precision_score: lengths, average, mixed label kinds, continuous values.
    TypeError
        An argument or a label of the wrong kind, naming the argument.
    """
    return _scored(_metrics.f1_score, y_true, y_pred, labels, average)


def accuracy_score(y_true: Sequence[Any], y_pred: Sequence[Any]) -> float:
    """The share of positions whose predicted label equals the gold label.

    Parameters
    ----------
    y_true : list, tuple, numpy array or pandas Series of str, int, float or bool
        The gold label of each position.
    y_pred : same kinds as y_true
        The predicted label of each position; as long as y_true.

    Returns
    -------
    float

    Raises
    ------
    ValueError
        The lists differ in length, or strings and numbers are mixed.
    TypeError
        An argument or a label of the wrong kind, naming the argument.
    """
    if _labels.is_plain(y_true, y_pred):
        try:
            return _metrics.accuracy_score(y_true, y_pred)
        except TypeError:
            pass  # a label that is not a str: written as text below, or the error again
    text = _labels.as_text(y_true, y_pred)
    return _metrics.accuracy_score(text.y_true, text.y_pred)


def classification_report(y_true: Sequence[Any], y_pred: Sequence[Any],
                          labels: Sequence[Any] | None = None, digits: int = 2,
                          output_dict: bool = False) -> str | dict:
    """Per-label precision, recall, F1 and support, then the averages, as scikit-learn's report.

    One row per label (in the order of `labels`, else scikit-learn's sorted order), named by
    the label's text; then "accuracy" when the labels are exactly the data's labels, else
    "micro avg"; then "macro avg" and "weighted avg".

    Parameters
    ----------
    y_true : list, tuple, numpy array or pandas Series of str, int, float or bool
        The gold label of each position.
    y_pred : same kinds as y_true
        The predicted label of each position; as long as y_true.
    labels : same kinds as y_true, or None, default=None
        The rows of the report; None reports every label of either list.
    digits : int, default=2
        Decimals of the values (rounded half to even); at most 1000.
    output_dict : bool, default=False
        A dict of scikit-learn's layout when True, instead of the text.

    Returns
    -------
    str or dict
        The report text, every line ending in a line feed; a dict when output_dict is True.

    Raises
    ------
    ValueError
        The lists differ in length, digits is negative or too large, strings and numbers are
        mixed, or a float label is not whole.
    TypeError
        An argument or a label of the wrong kind, naming the argument.
    """
    if _labels.is_plain(y_true, y_pred, labels):
        try:
            return _metrics.classification_report(y_true, y_pred, labels, digits, output_dict)
        except TypeError:
            pass  # a label that is not a str: written as text below, or the error again
    text = _labels.as_text(y_true, y_pred, labels)
    return _metrics.classification_report(text.y_true, text.y_pred,
                                          _labels.scored_labels(text), digits, output_dict)


def plot_confusion_matrix(y_true: Sequence[Any], y_pred: Sequence[Any],
                          columns: Sequence[Any], cmap: str,
                          filename: str | os.PathLike) -> None:
    """Draws the confusion matrix of two label lists into a picture file.

    Parameters
    ----------
    y_true : list, tuple, numpy array or pandas Series of str, int, float or bool
        The gold label of each position (the rows).
    y_pred : same kinds as y_true
        The predicted label of each position (the columns); as long as y_true.
    columns : same kinds as y_true
        The labels shown, in display order, along both axes.
    cmap : str
        The colour map; "YlGnBu" is the one offered.
    filename : str or os.PathLike
        The picture file: PNG, SVG or PDF by its extension.

    Raises
    ------
    ValueError
        An unknown colour map or extension, lists of different lengths, mixed label kinds.
    FileNotFoundError, OSError
        The file cannot be written.
    TypeError
        An argument of the wrong kind, naming it.
    """
    filename = _labels.path(filename)
    if _labels.is_plain(y_true, y_pred, columns):
        try:
            return _metrics.plot_confusion_matrix(y_true, y_pred, columns, cmap, filename)
        except TypeError:
            pass  # a label that is not a str: written as text below, or the error again
    text = _labels.as_text(y_true, y_pred, columns)
    return _metrics.plot_confusion_matrix(text.y_true, text.y_pred, text.labels, cmap, filename)

"""Chunk-level scores of lists of tag sequences (one sequence per instance), as seqeval.

Tags are "B-" or "I-" followed by a type, or "O"; a chunk starts at "B-" or at a change of
type and ends before the next start or "O". A predicted chunk counts as right when its type,
start and end all equal a gold chunk's. Every score is micro-averaged over the chunks.
"""

from __future__ import annotations

from typing import Sequence

from nlpeval import _labels
from nlpeval._nlpeval import sequence as _sequence

__all__ = ["precision_score", "recall_score", "f1_score", "classification_report"]

_PARAMETERS = """
    Parameters
    ----------
    y_true : list of list of str (or tuples, numpy arrays, pandas Series of them)
        The gold tag sequence of each instance.
    y_pred : same kinds as y_true
        The predicted tag sequence of each instance, each as long as its gold sequence.
    labels : list of str or None, default=None
        The chunk types to score; None scores every type.
"""

_RAISES = """
    Raises
    ------
    ValueError
        The lists, or two paired sequences, differ in length.
    TypeError
        An argument or a tag of the wrong kind, naming it.
"""


def _forward(binding, y_true, y_pred, labels, *rest, **options):
    if _labels.is_plain(y_true, y_pred, labels):
        try:
            return binding(y_true, y_pred, labels, *rest, **options)
        except TypeError:
            pass  # sequences given as tuples or arrays: converted below, or the error again
    return binding(_labels.sequences(y_true, "y_true"), _labels.sequences(y_pred, "y_pred"),
                   _labels.strings(labels, "labels"), *rest, **options)


def precision_score(y_true: Sequence[Sequence[str]], y_pred: Sequence[Sequence[str]],
                    labels: Sequence[str] | None = None) -> float:
    return _forward(_sequence.precision_score, y_true, y_pred, labels)


def recall_score(y_true: Sequence[Sequence[str]], y_pred: Sequence[Sequence[str]],
                 labels: Sequence[str] | None = None) -> float:
    return _forward(_sequence.recall_score, y_true, y_pred, labels)


def f1_score(y_true: Sequence[Sequence[str]], y_pred: Sequence[Sequence[str]],
             labels: Sequence[str] | None = None) -> float:
    return _forward(_sequence.f1_score, y_true, y_pred, labels)


def classification_report(y_true: Sequence[Sequence[str]], y_pred: Sequence[Sequence[str]],
                          labels: Sequence[str] | None = None, digits: int = 2,
                          output_dict: bool = False) -> str | dict:
    return _forward(_sequence.classification_report, y_true, y_pred, labels, digits,
                    output_dict)


precision_score.__doc__ = f"""Chunk precision: right predicted chunks over predicted chunks.
{_PARAMETERS}
    Returns
    -------
    float
        0 when nothing was predicted.
{_RAISES}"""
recall_score.__doc__ = f"""Chunk recall: right predicted chunks over gold chunks.
{_PARAMETERS}
    Returns
    -------
    float
        0 when there is no gold chunk.
{_RAISES}"""
f1_score.__doc__ = f"""Chunk F1: the harmonic mean of chunk precision and recall.
{_PARAMETERS}
    Returns
    -------
    float
        0 when precision and recall are both 0.
{_RAISES}"""
classification_report.__doc__ = f"""Per-type chunk precision, recall, F1 and support, then the
    micro, macro and weighted averages, as seqeval's report.
{_PARAMETERS}    digits : int, default=2
        Decimals of the values; at most 1000.
    output_dict : bool, default=False
        A dict of seqeval's layout when True, instead of the text.

    Returns
    -------
    str or dict
        The report text (a header, an empty line, one row per type, an empty line, the
        averages); a dict when output_dict is True.
{_RAISES}"""

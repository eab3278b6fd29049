"""Decoding IOB1 tag sequences into typed spans and pairing gold with predicted spans."""

from __future__ import annotations

from typing import Sequence

from nlpeval import _labels
from nlpeval._nlpeval import _iob1_start_of_chunk  # noqa: F401  (the helper, for callers)
from nlpeval import _nlpeval

__all__ = ["iob1_tags_to_spans", "align_spans"]


def iob1_tags_to_spans(tag_sequence: Sequence[str],
                       classes_to_ignore: Sequence[str] | None = None) -> list:
    """The chunks of an IOB1 tag sequence as (type, (start, end)), both ends inclusive.

    A chunk starts at "B-", or at "I-" after "O" or after a chunk of another type.

    Parameters
    ----------
    tag_sequence : list of str
        "B-"/"I-" + type, or "O".
    classes_to_ignore : list of str or None, default=None
        Chunk types to leave out.

    Returns
    -------
    list of (str, (int, int))

    Raises
    ------
    TypeError
        An argument or a tag of the wrong kind, naming it.
    """
    return _nlpeval.iob1_tags_to_spans(_labels.strings(tag_sequence, "tag_sequence"),
                                       _labels.strings(classes_to_ignore, "classes_to_ignore"))


def align_spans(true_labels: Sequence[str], pred_labels: Sequence[str]) -> list:
    """Pairs the gold spans with the predicted spans that start or end inside them.

    Parameters
    ----------
    true_labels : list of str
        The gold IOB1 tag sequence.
    pred_labels : list of str
        The predicted tag sequence over the same text.

    Returns
    -------
    list of (span or None, span or None)
        Each span as (type, (start, end)); None for a side without a span.

    Raises
    ------
    TypeError
        An argument or a tag of the wrong kind, naming it.
    """
    return _nlpeval.align_spans(_labels.strings(true_labels, "true_labels"),
                                _labels.strings(pred_labels, "pred_labels"))

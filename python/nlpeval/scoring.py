"""The scoring functions of the evaluator and their readers."""

from __future__ import annotations

import os
from typing import Any, Iterator, Sequence

from nlpeval import _labels
from nlpeval import _nlpeval
from nlpeval import metrics

__all__ = [
    "label_score",
    "label_na_score",
    "cws_score",
    "dp_score",
    "read_conll",
    "get_head",
    "get_dep",
    "srl_evaluate",
    "conll_iterator",
]


def label_score(y_true: Sequence[Sequence[str]], y_pred: Sequence[Sequence[str]],
                evaluate_labels: Sequence[str] | None) -> tuple[float, float, float, str]:
    """Chunk-level precision, recall, F1 and report of lists of tag sequences (ner, pos, event).

    Parameters
    ----------
    y_true : list of list of str (or tuples, numpy arrays, pandas Series of them)
        The gold tag sequence of each instance: "B-"/"I-" + type, "O" outside.
    y_pred : same kinds as y_true
        The predicted tag sequences, each as long as its gold sequence.
    evaluate_labels : list of str or None
        The chunk types to score; None scores every type.

    Returns
    -------
    (precision, recall, f1, report) : tuple of float, float, float, str
        Micro-averaged over the chunks, as nlpeval.metrics.sequence computes them.

    Raises
    ------
    ValueError
        The lists, or two paired sequences, differ in length.
    TypeError
        An argument or a tag of the wrong kind, naming it.
    """
    if _labels.is_plain(y_true, y_pred, evaluate_labels):
        try:
            return _nlpeval.label_score(y_true, y_pred, evaluate_labels)
        except TypeError:
            pass  # sequences given as tuples or arrays: converted below, or the error again
    return _nlpeval.label_score(_labels.sequences(y_true, "y_true"),
                                _labels.sequences(y_pred, "y_pred"),
                                _labels.strings(evaluate_labels, "evaluate_labels"))


def label_na_score(y_true: Sequence[Any], y_pred: Sequence[Any], do_na: bool,
                   do_plot: str | os.PathLike | None) -> tuple[float, float, float, str]:
    """Micro-averaged scores of flat labels (relation, attribute), leaving out "na" unless do_na.

    The labels are every label of either list in sorted order (scikit-learn's order for
    numbers); without do_na, "na" and "na(e1,e2)" are dropped from them, so that a position
    where both sides say no relation counts nowhere, a predicted relation where the gold says
    none counts against precision and a missed relation against recall.

    Parameters
    ----------
    y_true : list, tuple, numpy array or pandas Series of str (or int, float, bool)
        The gold label of each scored element.
    y_pred : same kinds as y_true
        The predicted label of each element; as long as y_true.
    do_na : bool
        Score the no-relation labels too.
    do_plot : str, os.PathLike or None
        A picture file (.png, .svg, .pdf) for the confusion matrix ("na" first); None or ""
        draws nothing.

    Returns
    -------
    (precision, recall, f1, report) : tuple of float, float, float, str
        The report's micro row is "accuracy" when no label was dropped, else "micro avg".

    Raises
    ------
    ValueError
        The lists differ in length, strings and numbers are mixed, or the plot is refused.
    TypeError
        An argument or a label of the wrong kind, naming it.
    FileNotFoundError, OSError
        The picture cannot be written (after the scores were computed).
    """
    do_plot = _labels.path(do_plot)
    if _labels.is_plain(y_true, y_pred):
        try:
            return _nlpeval.label_na_score(y_true, y_pred, do_na, do_plot)
        except TypeError:
            pass  # a label that is not a str: written as text below, or the error again
    text = _labels.as_text(y_true, y_pred)
    if text.present is None:
        return _nlpeval.label_na_score(text.y_true, text.y_pred, do_na, do_plot)
    # Numbers: no label is a no-relation label, and the library would sort their text.
    order = text.present
    scores = tuple(score(text.y_true, text.y_pred, order, "micro") for score in
                   (metrics.precision_score, metrics.recall_score, metrics.f1_score))
    report = metrics.classification_report(text.y_true, text.y_pred, order)
    if do_plot:
        metrics.plot_confusion_matrix(text.y_true, text.y_pred, order, "YlGnBu", do_plot)
    return scores + (report,)


def cws_score(y_true: Sequence[Sequence[Sequence[int]]],
              y_pred: Sequence[Sequence[Sequence[int]]]) -> tuple[float, float, float, str]:
    """Word-level precision, recall and F1 of word segmentation, pooled over the instances.

    Parameters
    ----------
    y_true : list of list of [start, end]
        The gold words of each instance as character spans (end exclusive).
    y_pred : list of list of [start, end]
        The predicted words of each instance.

    Returns
    -------
    (precision, recall, f1, report) : tuple of float, float, float, str
        A predicted word is right when a gold word of its instance covers the same
        characters; the report is empty.

    Raises
    ------
    ValueError
        The lists differ in length, or an offset is negative.
    TypeError
        A value of the wrong kind, naming it.
    """
    return _nlpeval.cws_score(y_true, y_pred)


def dp_score(y_true: Sequence[str], y_pred: Sequence[str], do_print: bool = True) -> dict:
    """Unlabelled and labelled attachment scores of dependency parses (CoNLL lines).

    Parameters
    ----------
    y_true : list of str
        The gold CoNLL lines (blank lines between sentences).
    y_pred : list of str
        The predicted lines, token by token as the gold ones.
    do_print : bool, default=True
        Print the scores to sys.stdout.

    Returns
    -------
    dict
        {"UAS": float, "LAS": float, "classification": [{"item", "uas", "las"}, ...]}, one
        entry per gold relation label in order of first appearance.

    Raises
    ------
    ValueError
        The lines do not pair up or a line is malformed, naming the line.
    TypeError
        An argument of the wrong kind, naming it.
    """
    return _nlpeval.dp_score(_labels.strings(y_true, "y_true"),
                             _labels.strings(y_pred, "y_pred"), do_print)


def read_conll(input_file: str | os.PathLike) -> list[str]:
    """All lines of a CoNLL file, blank lines included, each with its line end.

    Parameters
    ----------
    input_file : str or os.PathLike
        A UTF-8 text file.

    Returns
    -------
    list of str

    Raises
    ------
    FileNotFoundError, OSError
        The file cannot be read.
    ValueError
        The file is not UTF-8.
    """
    return _nlpeval.read_conll(_labels.path(input_file))


def get_head(token: str) -> str:
    """The head field of a CoNLL line: the fourth tab-separated field from the end.

    Parameters
    ----------
    token : str
        One CoNLL line.

    Returns
    -------
    str

    Raises
    ------
    IndexError
        The line has fewer than four fields.
    """
    return _nlpeval.get_head(token)


def get_dep(token: str) -> str:
    """The relation field of a CoNLL line: the third tab-separated field from the end.

    Parameters
    ----------
    token : str
        One CoNLL line.

    Returns
    -------
    str

    Raises
    ------
    IndexError
        The line has fewer than three fields.
    """
    return _nlpeval.get_dep(token)


def srl_evaluate(gold_items: Sequence[Any], pred_items: Sequence[Any]) -> str:
    """The CoNLL-2005 scorer's summary of predicted against gold semantic-role sentences.

    Parameters
    ----------
    gold_items : list of sentences
        Each sentence a list of token rows, each row a list of column strings (the verb
        column, then one bracket column per target verb), as conll_iterator yields them.
    pred_items : list of sentences
        The predicted sentences, paired with the gold ones in order.

    Returns
    -------
    str
        The scorer's plain-text summary.

    Raises
    ------
    ValueError
        Sentences that do not pair up or malformed bracket columns, naming the sentence.
    TypeError
        A value of the wrong kind, naming it.
    """
    return _nlpeval.srl_evaluate(gold_items, pred_items)


def conll_iterator(file: str | os.PathLike) -> Iterator[list]:
    """The sentences of a CoNLL-2005 props file, one by one.

    Parameters
    ----------
    file : str or os.PathLike
        The props file: one token per line, columns separated by white space, a blank line
        after each sentence.

    Returns
    -------
    iterator of list of list of str
        Each sentence as its token rows.

    Raises
    ------
    FileNotFoundError, OSError
        The file cannot be read.
    """
    return _nlpeval.conll_iterator(_labels.path(file))

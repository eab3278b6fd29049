"""The entry functions, the task registry and the badcase records.

Task types: "ner", "pos", "cws", "relation", "attribute", "event" (records as dicts), "dp"
(CoNLL lines) and "srl" (CoNLL-2005 props sentences).
"""

from __future__ import annotations

import os
from typing import Any, Sequence

from nlpeval import _labels
from nlpeval import _nlpeval
from nlpeval._nlpeval import (
    AttributeMapper,
    AttributeMiner,
    CwsMapper,
    CwsMiner,
    Desc,
    EntityMapper,
    EntityMiner,
    Evaluation,
    EventMapper,
    EventMiner,
    Instrument,
    Label2PredData,
    PosMapper,
    PosMiner,
    RelationMapper,
    RelationMiner,
)

__all__ = [
    "evaluate",
    "evaluate_file",
    "Evaluation",
    "validate",
    "read_entity_count",
    "print_evaluate",
    "generate_badcase",
    "Instrument",
    "Label2PredData",
    "Desc",
    "Const",
    "Error",
    "EventMapper",
    "RelationMapper",
    "EntityMapper",
    "AttributeMapper",
    "CwsMapper",
    "PosMapper",
    "EventMiner",
    "RelationMiner",
    "EntityMiner",
    "AttributeMiner",
    "CwsMiner",
    "PosMiner",
]


def evaluate(type_: str, true_list: Sequence[Any], pred_list: Sequence[Any],
             badcase_file: str | os.PathLike | None = None, do_print: bool = True,
             do_plot: str | os.PathLike | None = None, do_na: bool = False,
             evaluate_labels: Sequence[str] | None = None, schema: dict | None = None,
             entity_count_file: str | os.PathLike = "", is_merge: bool = True) -> dict | str:
    """Scores predicted against gold instances of one task type.

    Position i of both lists is the same text. The record tasks are scored by their tags:
    "ner", "pos" and "event" chunk by chunk over BIO tags ("B-"/"I-" + type, "O"), as seqeval,
    micro-averaged; "relation" and "attribute" label by label, micro-averaged, leaving out the
    no-relation labels "na" and "na(e1,e2)" unless do_na; "cws" word by word.

    Parameters
    ----------
    type_ : str
        "ner", "pos", "cws", "relation", "attribute", "event", "dp" or "srl".
    true_list : list of dict (list of str for "dp", list of sentences for "srl")
        The gold instances, in the task's record format.
    pred_list : same kinds as true_list
        The predicted instances; as many as the gold ones.
    badcase_file : str, os.PathLike or None, default=None
        An .xlsx spreadsheet of the wrong elements, one row per element; None or "" writes
        none.
    do_print : bool, default=True
        Print the scores and the report to sys.stdout.
    do_plot : str, os.PathLike or None, default=None
        A confusion-matrix picture (.png, .svg, .pdf) for "relation" and "attribute".
    do_na : bool, default=False
        Score the no-relation labels too ("relation", "attribute").
    evaluate_labels : list of str or None, default=None
        The types to score (for "ner" also to mine); None scores every type.
    schema : dict or None, default=None
        A JSON Schema (draft 7) every record must satisfy, instead of the task's format.
    entity_count_file : str or os.PathLike, default=""
        A file of "entity<TAB>label<TAB>count" lines whose counts the "ner" badcases show.
    is_merge : bool, default=True
        Merge the spreadsheet cells of one instance.

    Returns
    -------
    dict or str
        For the record tasks a dict whose first keys are "precision", "recall", "f1" and
        "classification_report"; for "dp" {"UAS", "LAS", "classification"}; for "srl" the
        scorer's text.

    Raises
    ------
    TypeError
        An argument or a record value of the wrong kind, naming it (a non-str type_ too).
    KeyError
        An unknown task type, or a key a record lacks; the key is the exception's argument.
    ValueError
        An invalid record (naming it), lists of different lengths, texts that differ.
    FileNotFoundError, OSError
        A file that cannot be read or written.
    """
    return _nlpeval.evaluate(type_, true_list, pred_list, _labels.path(badcase_file), do_print,
                             _labels.path(do_plot), do_na,
                             _labels.strings(evaluate_labels, "evaluate_labels"), schema,
                             _labels.path(entity_count_file), is_merge)


def evaluate_file(type_: str, true_file: str | os.PathLike, pred_file: str | os.PathLike,
                  badcase_file: str | os.PathLike | None = None, do_print: bool = True,
                  do_plot: str | os.PathLike | None = None, do_na: bool = False,
                  schema: dict | None = None, evaluate_labels: Sequence[str] | None = None,
                  entity_count_file: str | os.PathLike = "", is_merge: bool = True) -> dict | str:
    """Reads the gold and predicted files of a task type and evaluates them.

    JSON Lines for the record tasks, CoNLL for "dp", CoNLL-2005 props for "srl". Scores and
    averages as evaluate.

    Parameters
    ----------
    type_ : str
        "ner", "pos", "cws", "relation", "attribute", "event", "dp" or "srl".
    true_file : str or os.PathLike
        The gold file.
    pred_file : str or os.PathLike
        The predicted file, instance by instance as the gold file.
    badcase_file, do_print, do_plot, do_na, schema, evaluate_labels, entity_count_file, is_merge
        As evaluate (note that schema comes before evaluate_labels here).

    Returns
    -------
    dict or str
        As evaluate.

    Raises
    ------
    TypeError, KeyError, ValueError
        As evaluate; a malformed line names the file and the line.
    FileNotFoundError, OSError
        A file that cannot be read or written.
    """
    return _nlpeval.evaluate_file(type_, _labels.path(true_file), _labels.path(pred_file),
                                  _labels.path(badcase_file), do_print, _labels.path(do_plot),
                                  do_na, schema,
                                  _labels.strings(evaluate_labels, "evaluate_labels"),
                                  _labels.path(entity_count_file), is_merge)


def validate(schema: dict | None, true_list: Sequence[Any], pred_list: Sequence[Any],
             type_: str) -> None:
    """Checks every gold, then every predicted record, then that the lists are as long.

    Parameters
    ----------
    schema : dict or None
        A JSON Schema (draft 7); None or {} checks the record format of type_ instead.
    true_list : list of dict
        The gold records.
    pred_list : list of dict
        The predicted records.
    type_ : str
        A record task type: "ner", "pos", "cws", "relation", "attribute" or "event".

    Raises
    ------
    ValueError
        The first invalid record, naming it; or "prediction_file and label_file has unequal".
    KeyError
        An unknown task type.
    TypeError
        An argument of the wrong kind, naming it.
    """
    return _nlpeval.validate(schema, true_list, pred_list, type_)


def read_entity_count(entity_count_file: str | os.PathLike = "") -> dict:
    """Reads an entity-count file into a dict.

    Parameters
    ----------
    entity_count_file : str or os.PathLike, default=""
        UTF-8 lines "entity<TAB>label<TAB>count"; the last line of an entity wins.

    Returns
    -------
    dict of str to int

    Raises
    ------
    FileNotFoundError, OSError
        The file cannot be read.
    ValueError
        A line that is not three fields with an integer count, naming the file and line.
    """
    return _nlpeval.read_entity_count(_labels.path(entity_count_file))


def print_evaluate(score_json: dict) -> None:
    """Prints the scores and the report, per-label rows sorted by support, to sys.stdout.

    Parameters
    ----------
    score_json : dict
        A result of evaluate: "precision", "recall", "f1" and "classification_report".

    Raises
    ------
    TypeError
        score_json is not a dict.
    KeyError
        One of the four keys is missing.
    ValueError
        A per-label row whose last field is not a number; nothing is printed then.
    """
    return _nlpeval.print_evaluate(score_json)


def generate_badcase(type_: str, label2preddataset: Sequence[Label2PredData],
                     badcase_file: str | os.PathLike, is_merge: bool = True,
                     entity_count_file: str | os.PathLike = "") -> None:
    """Writes badcase records as rows of an .xlsx spreadsheet.

    Parameters
    ----------
    type_ : str
        A record task type: "ner", "pos", "cws", "relation", "attribute" or "event".
    label2preddataset : list of Label2PredData
        The records, as the miners return them.
    badcase_file : str or os.PathLike
        The spreadsheet to write.
    is_merge : bool, default=True
        Merge the cells of one instance.
    entity_count_file : str or os.PathLike, default=""
        An entity-count file, read first when named.

    Raises
    ------
    KeyError
        A type without spreadsheet columns ("dp", "srl", unknown).
    TypeError
        An argument of the wrong kind, naming it.
    FileNotFoundError, OSError
        A file that cannot be read or written.
    """
    return _nlpeval.generate_badcase(type_, label2preddataset, _labels.path(badcase_file),
                                     is_merge, _labels.path(entity_count_file))


class Const:
    """The marker of a side or field with nothing in it.

    Attributes
    ----------
    NONE : None
        Distinct from every string; cells and text forms show it as "NONE".
    """

    NONE = _nlpeval.CONST_NONE


class Error:
    """The error kinds of a badcase element, as stored in its ``error_type`` field.

    Attributes
    ----------
    TYPE_ERROR, TRUE_NONE_ERROR, PRED_NONE_ERROR, TRUE_IN_PRED, PRED_IN_TRUE, PRED_CROSS_TRUE,
    ORDER_ERROR : str
        Each equal to its own name.
    """


for _name, _value in _nlpeval.ERROR_KINDS.items():
    setattr(Error, _name, _value)
del _name, _value

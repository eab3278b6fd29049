"""The scoring functions of the evaluator and their readers."""

from nlpeval._nlpeval import (
    conll_iterator,
    cws_score,
    dp_score,
    get_dep,
    get_head,
    label_na_score,
    label_score,
    read_conll,
    srl_evaluate,
)

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

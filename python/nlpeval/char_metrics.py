"""Character-level metrics of BIO tags: positions where both sides say "O" are dropped."""

from nlpeval._nlpeval.char_metrics import (
    accuracy_score_by_char,
    classification_report_by_char,
    f1_score_by_char,
    filter_O,
    precision_score_by_char,
    recall_score_by_char,
    transform_by_char,
)

__all__ = [
    "filter_O",
    "precision_score_by_char",
    "recall_score_by_char",
    "f1_score_by_char",
    "accuracy_score_by_char",
    "classification_report_by_char",
    "transform_by_char",
]

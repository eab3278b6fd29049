"""Flat-label metric primitives (scikit-learn's definitions) and the confusion matrix.

The chunk-level scorers of tag sequences, which share these names, are in
nlpeval.metrics.sequence.
"""

from nlpeval._nlpeval.metrics import (
    accuracy_score,
    classification_report,
    f1_score,
    plot_confusion_matrix,
    precision_score,
    recall_score,
)

__all__ = [
    "precision_score",
    "recall_score",
    "f1_score",
    "accuracy_score",
    "classification_report",
    "plot_confusion_matrix",
]

"""Chunk-level scores of lists of tag sequences (one sequence per instance)."""

from nlpeval._nlpeval.sequence import (
    classification_report,
    f1_score,
    precision_score,
    recall_score,
)

__all__ = ["precision_score", "recall_score", "f1_score", "classification_report"]

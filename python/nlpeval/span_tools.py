"""Decoding IOB1 tag sequences into typed spans and pairing gold with predicted spans."""

from nlpeval._nlpeval import _iob1_start_of_chunk, align_spans, iob1_tags_to_spans

__all__ = ["iob1_tags_to_spans", "align_spans"]

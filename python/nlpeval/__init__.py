"""nlpeval: evaluation of NLP model predictions at C++ speed.

    import nlpeval
    result = nlpeval.evaluate("ner", gold_records, predicted_records)

Task types: "ner", "pos", "cws", "relation", "attribute", "event" (records as dicts),
"dp" (CoNLL lines) and "srl" (CoNLL-2005 props sentences). Modules: evaluator, span_tools,
scoring, metrics (and metrics.sequence), char_metrics.
"""

from nlpeval._nlpeval import TASK_TYPES, __version__
from nlpeval.evaluator import Evaluation, evaluate, evaluate_file

__all__ = ["evaluate", "evaluate_file", "Evaluation", "TASK_TYPES", "__version__"]

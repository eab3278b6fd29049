"""The flat-label primitives against scikit-learn on random cases: numbers and reports."""

import random
import re
import warnings

import pytest

from nlpeval import metrics

sklearn_metrics = pytest.importorskip("sklearn.metrics")

LABEL_POOL = ["PER", "LOC", "ORG", "na", "B-x", "I-x", "时间", "a b"]


def random_case(rng):
    alphabet = rng.sample(LABEL_POOL, rng.randint(1, len(LABEL_POOL)))
    size = rng.randint(1, 40)
    gold = [rng.choice(alphabet) for _ in range(size)]
    pred = [rng.choice(alphabet) if rng.random() < 0.8 else rng.choice(LABEL_POOL)
            for _ in range(size)]
    return gold, pred


def random_labels(rng, gold, pred):
    """None, the data's own labels in another order, or a subset with an unseen label."""
    seen = sorted(set(gold) | set(pred))
    choice = rng.randint(0, 2)
    if choice == 0:
        return None
    if choice == 1:
        return rng.sample(seen, len(seen))
    subset = rng.sample(seen, rng.randint(1, len(seen)))
    return subset + ["unseen"] if rng.random() < 0.3 else subset


def quietly(function, *args, **kwargs):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return function(*args, **kwargs)


CASES = [random_case(random.Random(seed)) + (seed,) for seed in range(300)]


@pytest.mark.parametrize("average", ["micro", "macro", "weighted"])
def test_scores_match_sklearn(average):
    for gold, pred, seed in CASES:
        labels = random_labels(random.Random(seed + 1000), gold, pred)
        for ours, theirs in [(metrics.precision_score, sklearn_metrics.precision_score),
                             (metrics.recall_score, sklearn_metrics.recall_score),
                             (metrics.f1_score, sklearn_metrics.f1_score)]:
            expected = quietly(theirs, gold, pred, labels=labels, average=average,
                               zero_division=0)
            assert ours(gold, pred, labels=labels, average=average) == pytest.approx(
                expected, abs=1e-12), (seed, labels, average)


def test_accuracy_matches_sklearn():
    for gold, pred, _ in CASES:
        assert metrics.accuracy_score(gold, pred) == pytest.approx(
            sklearn_metrics.accuracy_score(gold, pred), abs=1e-12)


def sklearn_report(gold, pred, labels, digits):
    """scikit-learn's report, with its support column as integers. scikit-learn 1.2.1 prints
    the supports as floats ("2.0") when no position agrees; the rule is decimal integers."""
    report = quietly(sklearn_metrics.classification_report, gold, pred, labels=labels,
                     digits=digits, zero_division=0)
    if any(g == p for g, p in zip(gold, pred)):
        return report
    return re.sub(r"(\d+)\.0$", r"  \1", report, flags=re.MULTILINE)


def test_reports_are_byte_equal_to_sklearn():
    for gold, pred, seed in CASES:
        rng = random.Random(seed + 2000)
        labels = random_labels(rng, gold, pred)
        digits = rng.randint(0, 5)
        expected = sklearn_report(gold, pred, labels, digits)
        assert metrics.classification_report(gold, pred, labels=labels,
                                              digits=digits) == expected, (seed, labels, digits)


def many_label_case(rng):
    """8 to 40 labels, where numpy's pairwise summation of the averages can differ from a
    left-to-right sum in the last bit, and so in the last printed digit."""
    alphabet = [f"L{k}" for k in range(rng.randint(8, 40))]
    size = rng.randint(len(alphabet), 4 * len(alphabet))
    gold = [rng.choice(alphabet) for _ in range(size)]
    pred = [g if rng.random() < 0.6 else rng.choice(alphabet) for g in gold]
    return gold, pred


def test_averages_over_many_labels_are_bit_equal_to_sklearn():
    for seed in range(500):
        rng = random.Random(seed + 5000)
        gold, pred = many_label_case(rng)
        digits = rng.choice([2, 2, 3])
        assert metrics.classification_report(gold, pred, digits=digits) == sklearn_report(
            gold, pred, None, digits), seed
        for average in ("macro", "weighted"):
            for ours, theirs in [(metrics.precision_score, sklearn_metrics.precision_score),
                                 (metrics.recall_score, sklearn_metrics.recall_score),
                                 (metrics.f1_score, sklearn_metrics.f1_score)]:
                expected = quietly(theirs, gold, pred, average=average, zero_division=0)
                assert ours(gold, pred, average=average) == expected, (seed, average)


def test_report_dicts_equal_sklearn_output_dict():
    for gold, pred, seed in CASES[:150]:
        labels = random_labels(random.Random(seed + 3000), gold, pred)
        expected = quietly(sklearn_metrics.classification_report, gold, pred, labels=labels,
                           output_dict=True, zero_division=0)
        ours = metrics.classification_report(gold, pred, labels=labels, output_dict=True)
        assert list(ours) == list(expected), seed
        assert ours == expected, seed
        # Numbers of Python's own kinds, as scikit-learn's .item() gives them.
        assert all(type(row["support"]) is int for row in ours.values() if isinstance(row, dict))

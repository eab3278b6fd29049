"""Python values crossing into the library: kinds, limits, hostile records."""

import threading

import pytest

import nlpeval
from nlpeval import metrics
from nlpeval.evaluator import Desc, Instrument

TEXT = "李明在北京"


def ner(entities, text=TEXT):
    return {"text": text, "entities": entities}


def test_tuples_count_as_lists():
    gold = (ner([{"offset": 0, "length": 2, "type": "PER"}]),)
    assert nlpeval.evaluate("ner", gold, list(gold), do_print=False)["f1"] == 1.0
    assert metrics.accuracy_score(("a", "b"), ["a", "a"]) == 0.5


@pytest.mark.parametrize("value, kind, message", [
    (2 ** 64, ValueError, r"true_list\[0\]: integer does not fit in 64 bits"),
    (float("nan"), ValueError, r"true_list\[0\]: JSON holds no NaN or infinity"),
    ({1, 2}, TypeError, r"true_list\[0\]: expected a JSON value .*, got set"),
    (object(), TypeError, r"got object"),
])
def test_values_json_cannot_hold_are_refused(value, kind, message):
    gold = [ner([{"offset": value, "length": 2, "type": "PER"}])]
    with pytest.raises(kind, match=message):
        nlpeval.evaluate("ner", gold, gold, do_print=False)


def test_non_string_keys_and_deep_nesting_are_refused():
    with pytest.raises(TypeError, match=r"true_list\[1\] key: expected str, got int"):
        nlpeval.evaluate("ner", [ner([]), {1: "x"}], [ner([]), ner([])], do_print=False)
    deep = []
    for _ in range(100000):
        deep = [deep]
    with pytest.raises(ValueError, match="nested deeper than 512 levels"):
        nlpeval.evaluate("ner", [{"text": "a", "entities": deep}], [ner([])], do_print=False)


def test_lone_surrogates_are_a_value_error():
    # Alone, among two-byte characters, at the end of text beyond the BMP.
    for text in ["\ud800", "a\udfff李", "李\ud800明", "\U0001F600 \udbff"]:
        with pytest.raises(ValueError, match="true_list\\[0\\]: a lone surrogate"):
            nlpeval.evaluate("ner", [ner([], text=text)], [ner([])], do_print=False)


def test_floats_stay_floats_and_booleans_are_not_integers():
    mapper = Instrument().get_convertor("ner")
    for offset in [0.0, True, 1e300]:
        record = ner([{"offset": offset, "length": 2, "type": "PER"}])
        with pytest.raises(TypeError, match="offset: expected integer, got (float|boolean)"):
            mapper.convert(record, record)
        with pytest.raises(ValueError, match="offset"):
            nlpeval.evaluate("ner", [record], [record], do_print=False)


def test_escaped_text_round_trips():
    text = 'a"b\\c\nd\x00e\x1f'
    record = ner([{"offset": 1, "length": 3, "type": "X"}], text=text)
    gold, pred = Instrument().get_convertor("ner").convert(record, record)
    assert len(gold[0]) == len(text)
    desc = Desc(pred_desc=text, other={"nested": [1, 2.5, None, True, {"k": text}]})
    assert desc.pred_desc == text
    assert desc.other == {"nested": [1, 2.5, None, True, {"k": text}]}


def test_repeated_keys_are_impossible_and_order_is_kept():
    desc = Desc(other={"z": 1, "a": 2, "m": 3})
    assert list(desc.other) == ["z", "a", "m"]


def test_threads_evaluate_concurrently():
    gold = [ner([{"offset": 0, "length": 2, "type": "PER"}])] * 2000
    pred = [ner([{"offset": 3, "length": 2, "type": "LOC"}])] * 2000
    expected = nlpeval.evaluate("ner", gold, pred, do_print=False)
    results = []

    def run():
        results.append(nlpeval.evaluate("ner", gold, pred, do_print=False))

    threads = [threading.Thread(target=run) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [expected] * 4

"""Badcase records, constants, and the registry's shared mappers and miners."""

import pytest

from nlpeval.evaluator import (Const, CwsMapper, Desc, EntityMapper, EntityMiner, Error,
                               Instrument, Label2PredData, PosMiner)

DECLARED = ["pred_type", "pred_desc", "label_type", "label_desc", "error_type", "is_right",
            "other"]


def test_desc_defaults_equality_and_text_form():
    first, second = Desc(), Desc()
    assert first == second
    assert first.pred_type is None and first.is_right == 0 and first.other == {}
    assert repr(first) == ("{'pred_type': NONE, 'pred_desc': NONE, 'label_type': NONE, "
                           "'label_desc': NONE, 'error_type': NONE, 'is_right': 0, 'other': {}}")
    second.is_right = 1
    assert first != second
    assert sorted(dir(first)) == sorted(DECLARED)


def test_desc_added_fields_go_last_and_count_for_equality():
    plain, added = Desc(), Desc()
    added.true_text = "北京"
    assert plain != added
    assert repr(added).endswith("'other': {}, 'true_text': '北京'}")
    added.pred_type = "LOC"  # an existing field keeps its place
    assert repr(added).startswith("{'pred_type': 'LOC', 'pred_desc': NONE")
    assert repr(added).endswith("'true_text': '北京'}")
    assert added.true_text == "北京"


def test_desc_equality_ignores_the_order_fields_were_set():
    a, b = Desc(), Desc()
    a.x, a.y = 1, 2
    b.y, b.x = 2, 1
    assert a == b
    assert Desc(other={"k": [1, "v"]}).other == {"k": [1, "v"]}
    assert Desc() != "not a desc"


def test_desc_constructor_by_position_and_name():
    by_position = Desc("PER", "李明", "LOC", "北京", Error.TYPE_ERROR, 0, {"t": 1})
    by_name = Desc(other={"t": 1}, error_type="TYPE_ERROR", label_desc="北京", label_type="LOC",
                   pred_desc="李明", pred_type="PER")
    assert by_position == by_name


def test_desc_missing_field_is_an_attribute_error():
    with pytest.raises(AttributeError, match="'Desc' object has no attribute 'true_count'"):
        Desc().true_count
    with pytest.raises(TypeError):
        Desc(other={1: "key is not a string"})


def test_label2preddata():
    data = Label2PredData(1, "abc", [])
    assert repr(data) == "<abc, >"
    assert data == Label2PredData(index=1, text="abc", desc=[])
    assert data != Label2PredData(2, "abc", [])
    assert Label2PredData(1, "t", [Desc()]) != Label2PredData(1, "t", [])
    assert repr(Label2PredData(1, "t", [Desc(), Desc()])).count("{'pred_type'") == 2
    with pytest.raises(TypeError, match="^desc: expected list, got NoneType$"):
        Label2PredData(1, "abc", None)
    with pytest.raises(TypeError, match=r"^desc\[1\]: expected Desc, got str$"):
        Label2PredData(1, "abc", [Desc(), "x"])


def test_constants():
    assert Const.NONE is None
    kinds = ["TYPE_ERROR", "TRUE_NONE_ERROR", "PRED_NONE_ERROR", "TRUE_IN_PRED", "PRED_IN_TRUE",
             "PRED_CROSS_TRUE", "ORDER_ERROR"]
    assert [getattr(Error, kind) for kind in kinds] == kinds


def test_registry_returns_the_shared_objects():
    registry = Instrument()
    assert isinstance(registry.get_generator("ner"), EntityMiner)
    assert isinstance(registry.get_convertor(type_="ner"), EntityMapper)
    assert isinstance(registry.get_generator("pos"), PosMiner)
    assert registry.get_generator("pos") is Instrument().get_generator("pos")
    assert isinstance(registry.get_convertor("cws"), CwsMapper)
    for key in ["dp", "NER", 3]:
        with pytest.raises(KeyError) as missing:
            registry.get_convertor(key)
        assert missing.value.args == (key,)


NER_GOLD = {"text": "李明在北京", "entities": [{"offset": 3, "length": 2, "type": "LOC"}]}
NER_PRED = {"text": "李明在北京", "entities": [{"offset": 2, "length": 3, "type": "LOC"}]}


def test_mappers_convert():
    registry = Instrument()
    gold, pred = registry.get_convertor("ner").convert(NER_GOLD, NER_PRED, 0)
    assert gold == [["O", "O", "O", "B-LOC", "I-LOC"]]
    assert pred == [["O", "O", "B-LOC", "I-LOC", "I-LOC"]]
    cws = {"text": "北京欢迎你", "words": ["北京", "欢迎", "你"]}
    assert registry.get_convertor("cws").convert(cws, cws) == ([[[0, 2], [2, 4], [4, 5]]],) * 2
    other = dict(NER_PRED, text="李明在上海")
    with pytest.raises(ValueError, match="text is different on line: 7"):
        registry.get_convertor("ner").convert(NER_GOLD, other, index=7)
    with pytest.raises(TypeError, match="index: expected int or None, got str"):
        registry.get_convertor("ner").convert(NER_GOLD, NER_PRED, "0")
    with pytest.raises(TypeError, match="label"):
        registry.get_convertor("ner").convert([], NER_PRED)
    with pytest.raises(KeyError) as missing:
        registry.get_convertor("ner").convert({"text": "a"}, {"text": "a"})
    assert missing.value.args == ("entities",)


def test_miners_generate():
    registry = Instrument()
    data = registry.get_generator("ner").generate(NER_GOLD, NER_PRED, 3)
    assert data.index == 3 and data.text == "李明在北京"
    (desc,) = data.desc
    assert (desc.true_text, desc.pred_text, desc.error_type) == ("北京", "在北京",
                                                                 Error.TRUE_IN_PRED)
    counted = registry.get_generator("ner").generate(NER_GOLD, NER_PRED, 3, {"北京": 4}, ["LOC"])
    assert (counted.desc[0].true_count, counted.desc[0].pred_count) == (4, 0)
    filtered = registry.get_generator("ner").generate(NER_GOLD, NER_PRED, 3,
                                                      evaluate_labels=["PER"])
    assert filtered.desc == []
    with pytest.raises(TypeError, match="id_: expected int, got NoneType"):
        registry.get_generator("pos").generate(NER_GOLD, NER_PRED, None)

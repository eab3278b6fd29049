"""The entry functions from Python: names, defaults, keyword calls, errors, output."""

import contextlib
import io
import json

import pytest

import nlpeval
from nlpeval import evaluator
from conftest import read_jsonl

GOLD = [{"text": "李明在北京", "entities": [{"offset": 3, "length": 2, "type": "LOC"}]}]
PRED = [{"text": "李明在北京", "entities": [{"offset": 3, "length": 2, "type": "LOC"},
                                             {"offset": 0, "length": 2, "type": "PER"}]}]
# The first keys, in this order; results may carry more after them.
RESULT_KEYS = ["precision", "recall", "f1", "classification_report"]


def test_top_level_reexports_the_entry_functions():
    assert nlpeval.evaluate is evaluator.evaluate
    assert nlpeval.evaluate_file is evaluator.evaluate_file


def test_task_types_come_from_the_library_and_each_is_accepted(capsys):
    assert nlpeval.TASK_TYPES == ("ner", "pos", "cws", "relation", "attribute", "event", "dp",
                                  "srl")
    for type_ in nlpeval.TASK_TYPES:
        with pytest.warns(UserWarning, match="no instance to evaluate"):
            result = nlpeval.evaluate(type_, [], [], do_print=False)
        assert result is not None
    registry = nlpeval.evaluator.Instrument()
    record_types = [t for t in nlpeval.TASK_TYPES if t not in ("dp", "srl")]
    for type_ in record_types:
        assert registry.get_convertor(type_) is not None


def test_evaluate_returns_the_scores_in_documented_key_order(capsys):
    result = nlpeval.evaluate("ner", GOLD, PRED, do_print=False)
    assert list(result)[:4] == RESULT_KEYS
    assert result["precision"] == 0.5
    assert result["recall"] == 1.0
    assert result["f1"] == pytest.approx(2 / 3)
    assert "LOC" in result["classification_report"]
    assert capsys.readouterr().out == ""


def test_evaluate_prints_to_python_stdout(capsys):
    nlpeval.evaluate("ner", GOLD, PRED)
    out = capsys.readouterr().out
    assert out.startswith("precision: 0.500\trecall: 1.000\tf1: 0.667\n")
    assert out.endswith("\n")
    captured = io.StringIO()
    with contextlib.redirect_stdout(captured):
        nlpeval.evaluate("ner", GOLD, PRED)
    assert captured.getvalue() == out


def test_positional_and_keyword_calls_agree(tmp_path):
    by_keyword = nlpeval.evaluate(type_="ner", true_list=GOLD, pred_list=PRED, do_print=False,
                                  evaluate_labels=["PER"])
    by_position = nlpeval.evaluate("ner", GOLD, PRED, None, False, None, False, ["PER"])
    assert by_keyword == by_position
    assert by_keyword["recall"] == 0.0  # PER has no gold entity


def test_evaluate_file_takes_schema_before_evaluate_labels(examples):
    gold, pred = str(examples / "ner/gold.jsonl"), str(examples / "ner/pred.jsonl")
    positional = nlpeval.evaluate_file("ner", gold, pred, None, False, None, False, None, ["LOC"])
    keyword = nlpeval.evaluate_file("ner", gold, pred, do_print=False, evaluate_labels=["LOC"])
    assert positional == keyword
    in_memory = nlpeval.evaluate("ner", read_jsonl(gold), read_jsonl(pred), do_print=False,
                                 evaluate_labels=["LOC"])
    assert in_memory == keyword


@pytest.mark.parametrize("task", ["ner", "pos", "cws", "relation", "attribute", "event"])
def test_every_record_task_from_files_and_from_dicts(examples, task, tmp_path):
    gold, pred = examples / task / "gold.jsonl", examples / task / "pred.jsonl"
    badcase = tmp_path / "bad.xlsx"
    from_files = nlpeval.evaluate_file(task, str(gold), str(pred), badcase_file=str(badcase),
                                       do_print=False)
    assert list(from_files)[:4] == RESULT_KEYS
    assert badcase.stat().st_size > 0
    from_dicts = nlpeval.evaluate(task, read_jsonl(gold), read_jsonl(pred), do_print=False)
    assert from_dicts == from_files


def test_dp_and_srl_results(examples, capsys):
    dp = nlpeval.evaluate_file("dp", str(examples / "dp/gold.conll"),
                               str(examples / "dp/pred.conll"))
    assert list(dp) == ["UAS", "LAS", "classification"]
    assert list(dp["classification"][0]) == ["item", "uas", "las", "support"]
    assert capsys.readouterr().out.startswith("UAS: %.3f\tLAS: %.3f\n" % (dp["UAS"], dp["LAS"]))
    srl = nlpeval.evaluate_file("srl", str(examples / "srl/gold.props"),
                                str(examples / "srl/pred.props"))
    assert isinstance(srl, str)
    assert capsys.readouterr().out == srl + "\n"
    lines = open(examples / "dp/gold.conll", encoding="utf-8").readlines()
    assert nlpeval.evaluate("dp", lines, lines, do_print=False)["UAS"] == 1.0


@pytest.mark.parametrize("call, message", [
    (lambda: nlpeval.evaluate(1, GOLD, PRED), "type_: expected str, got int"),
    (lambda: nlpeval.evaluate("ner", {}, PRED), "true_list: expected list, got dict"),
    (lambda: nlpeval.evaluate("ner", GOLD, None), "pred_list: expected list, got NoneType"),
    (lambda: nlpeval.evaluate("ner", GOLD, PRED, badcase_file=3),
     "badcase_file: expected str or None, got int"),
    (lambda: nlpeval.evaluate("ner", GOLD, PRED, evaluate_labels="LOC"),
     "evaluate_labels: expected list or None, got str"),
    (lambda: nlpeval.evaluate("ner", GOLD, PRED, schema=[]),
     "schema: expected dict or None, got list"),
    (lambda: nlpeval.evaluate("ner", GOLD, PRED, entity_count_file=None),
     "entity_count_file: expected str, got NoneType"),
    (lambda: nlpeval.evaluate_file("ner", 1, "p"), "true_file: expected str, got int"),
    (lambda: evaluator.print_evaluate([]), "score_json: expected dict, got list"),
    (lambda: evaluator.read_entity_count(None), "entity_count_file: expected str, got NoneType"),
    (lambda: evaluator.generate_badcase("ner", [1], "x.xlsx"),
     "label2preddataset[0]: expected Label2PredData, got int"),
])
def test_argument_kinds_are_type_errors_naming_the_argument(call, message, capsys):
    with pytest.raises(TypeError) as error:
        call()
    assert str(error.value) == message
    assert capsys.readouterr().out == ""  # raised before any work


def test_library_errors_cross_as_python_kinds(tmp_path, capsys):
    with pytest.raises(ValueError, match="prediction_file and label_file has unequal"):
        nlpeval.evaluate("ner", GOLD, GOLD + GOLD)
    with pytest.raises(KeyError) as missing:
        evaluator.validate(None, [{"text": "a"}], [{"text": "a"}], "nonsense")
    assert missing.value.args == ("nonsense",)
    with pytest.raises(FileNotFoundError, match="cannot open '.*missing.jsonl'"):
        nlpeval.evaluate_file("ner", str(tmp_path / "missing.jsonl"), "x")
    with pytest.raises(OSError):
        nlpeval.evaluate_file("ner", str(tmp_path), str(tmp_path))
    with pytest.raises(KeyError) as no_columns:
        nlpeval.evaluate("dp", [], [], badcase_file=str(tmp_path / "b.xlsx"), do_print=False)
    assert no_columns.value.args == ("dp",)
    bad = [{"text": "ab", "entities": [{"offset": "0", "length": 1, "type": "X"}]}]
    with pytest.raises(ValueError, match=r"^gold: record 1 \(ner\): entities\[0\]\.offset: "
                                         "expected integer, got string$"):
        nlpeval.evaluate("ner", bad, bad, do_print=False)


def test_srl_prints_before_the_badcase_error(examples, tmp_path, capsys):
    with pytest.raises(KeyError):
        nlpeval.evaluate_file("srl", str(examples / "srl/gold.props"),
                              str(examples / "srl/pred.props"),
                              badcase_file=str(tmp_path / "srl.xlsx"))
    assert "Overall" in capsys.readouterr().out
    lines = ["1\tA\ta\tN\tN\t_\t2\tnsubj\t_\t_\n"]
    with pytest.raises(IndexError):
        nlpeval.evaluate("dp", lines, [], do_print=True)


def test_print_evaluate_sorts_rows_by_support(capsys):
    report = ("h\n\n"
              "a 1 1 1 3\n"
              "b 1 1 1 10\n"
              "c 1 1 1 3\n\n"
              "avg")
    evaluator.print_evaluate({"precision": 0.5, "recall": 0.25, "f1": 1 / 3,
                              "classification_report": report})
    assert capsys.readouterr().out == (
        "precision: 0.500\trecall: 0.250\tf1: 0.333\n"
        "h\n\nb 1 1 1 10\na 1 1 1 3\nc 1 1 1 3\n\navg\n")
    with pytest.raises(KeyError) as missing:
        evaluator.print_evaluate({"precision": 1})
    assert missing.value.args == ("recall",)


def test_read_entity_count_and_its_errors(tmp_path):
    counts = tmp_path / "counts.tsv"
    counts.write_text("北京\tLOC\t12\n李明\tPER\t3\n北京\tLOC\t5\n", encoding="utf-8")
    assert evaluator.read_entity_count(str(counts)) == {"北京": 5, "李明": 3}
    assert evaluator.read_entity_count(entity_count_file=str(counts))["李明"] == 3
    counts.write_text("a\tX\t1\n\nb\tY\t2\n", encoding="utf-8")
    with pytest.raises(ValueError):
        evaluator.read_entity_count(str(counts))
    with pytest.raises(FileNotFoundError):
        evaluator.read_entity_count(str(tmp_path / "none.tsv"))


def test_validate_checks_every_record_then_the_lengths():
    record = {"text": "a", "entities": []}
    evaluator.validate(None, [record], [record], "ner")
    evaluator.validate({}, [record], [record], "ner")
    with pytest.raises(ValueError, match="unequal"):
        evaluator.validate(None, [record] * 5, [record] * 4, "ner")
    schema = {"type": "object", "required": ["id"]}
    with pytest.raises(ValueError):
        evaluator.validate(schema, [record], [record], "ner")


def test_generate_badcase_writes_the_rows(tmp_path):
    openpyxl = pytest.importorskip("openpyxl")
    desc = evaluator.Desc()
    desc.true_text, desc.pred_text, desc.is_right = "北京", "北京", 1
    desc.true_label = desc.pred_label = "LOC"
    target = tmp_path / "cws.xlsx"
    evaluator.generate_badcase("cws", [evaluator.Label2PredData(1, "北京", [desc, desc])],
                               str(target), is_merge=False)
    rows = list(openpyxl.load_workbook(target).active.values)
    assert rows[0] == ("index", "true_text", "pred_text", "is_right", "error_type", "text")
    assert rows[1][:4] == (1, "北京", "北京", 1)
    assert len(rows) == 3
    with pytest.raises(KeyError) as no_columns:
        evaluator.generate_badcase("dp", [], str(tmp_path / "dp.xlsx"))
    assert no_columns.value.args == ("dp",)
    with pytest.raises(AttributeError, match="^'Desc' object has no attribute 'true_count'$"):
        evaluator.generate_badcase("ner", [evaluator.Label2PredData(1, "t", [desc])],
                                   str(tmp_path / "n.xlsx"), entity_count_file="counts.tsv")


def test_a_desc_without_a_column_field_far_into_the_records_leaves_no_sheet(tmp_path):
    complete = evaluator.Desc()
    complete.true_text = complete.pred_text = complete.true_label = complete.pred_label = "x"
    complete.is_right = 1
    lacking = evaluator.Desc()  # no true_text
    good = [evaluator.Label2PredData(i, "t", [complete, complete]) for i in range(700)]
    for place in [0, 255, 256, 699]:  # first, last and next of a batch, and the last record
        records = good[:place] + [evaluator.Label2PredData(place, "t", [complete, lacking])]
        records += good[place:]
        target = tmp_path / f"lacking-{place}.xlsx"
        with pytest.raises(AttributeError, match="^'Desc' object has no attribute 'true_text'$"):
            evaluator.generate_badcase("ner", records, str(target))
        assert list(tmp_path.iterdir()) == []


def test_results_survive_a_round_trip_through_json():
    result = nlpeval.evaluate("ner", GOLD, PRED, do_print=False)
    assert json.loads(json.dumps(result)) == result


def _many(count, record=GOLD[0]):
    return [dict(record) for _ in range(count)]


@pytest.mark.parametrize("gold_fault, pred_fault, raised, message", [
    # A value the lists cannot hold comes first, the gold list's before the predicted list's,
    # however late in its list it stands.
    ({1: {"text": "x", "entities": [], "bad": {1}}}, {3000: {"text": "x", "entities": [],
                                                             "bad": {1}}},
     TypeError, r"^true_list\[1\]: expected a JSON value"),
    ({3000: {"text": "x", "entities": [], "bad": {1}}}, {0: {"entities": []}},
     TypeError, r"^true_list\[3000\]: "),
    ({0: {"entities": []}}, {2500: {"text": "x", "entities": [], "bad": object()}},
     TypeError, r"^pred_list\[2500\]: "),
    # Then the invalid records: every gold one before any predicted one.
    ({2100: {"entities": []}}, {5: {"entities": []}}, ValueError,
     r"^gold: record 2101 \(ner\): missing key 'text'$"),
    ({}, {1500: {"text": 1, "entities": []}}, ValueError,
     r"^prediction: record 1501 \(ner\): text: expected string, got integer$"),
])
def test_errors_of_long_lists_come_in_the_order_of_converting_then_validating(
        gold_fault, pred_fault, raised, message):
    gold, pred = _many(3100), _many(3100, PRED[0])
    for faults, records in ((gold_fault, gold), (pred_fault, pred)):
        for index, record in faults.items():
            records[index] = record
    with pytest.raises(raised, match=message):
        nlpeval.evaluate("ner", gold, pred, do_print=False)


def test_long_lists_of_unequal_length_and_their_mapping_errors(capsys):
    gold, pred = _many(2500), _many(2400, PRED[0])
    with pytest.raises(ValueError, match=r"^prediction_file and label_file has unequal$"):
        nlpeval.evaluate("ner", gold, pred, do_print=False)
    pred = _many(2500, PRED[0])
    pred[2049] = {"text": "other", "entities": []}
    # As the whole lists give it: no instance or file place, unlike evaluate_file.
    with pytest.raises(ValueError, match=r"^text is different on line: 2049$"):
        nlpeval.evaluate("ner", gold, pred, do_print=False)
    result = nlpeval.evaluate("ner", _many(2500), _many(2500, PRED[0]), do_print=False)
    assert result["precision"] == 0.5 and result["recall"] == 1.0

"""Ctrl-C during long work, the library's warnings as Python warnings, and print_evaluate's
reading of the scores."""
import json
import os
import random
import signal
import threading
import time
import warnings

import pytest

import nlpeval
from nlpeval import evaluator


def write_ner_files(folder, instances, seed=3):
    rng = random.Random(seed)
    gold_path, pred_path = folder / "gold.jsonl", folder / "pred.jsonl"
    with open(gold_path, "w", encoding="utf-8") as gold, open(pred_path, "w", encoding="utf-8") as pred:
        for _ in range(instances):
            text = "".join(rng.choice("北京上海大学公司李明") for _ in range(30))
            entities = [{"offset": at, "length": 2, "type": rng.choice(["LOC", "ORG"])}
                        for at in range(0, 30, 6)]
            guessed = [dict(e, type="PER") if rng.random() < 0.3 else e for e in entities]
            gold.write(json.dumps({"text": text, "entities": entities}) + "\n")
            pred.write(json.dumps({"text": text, "entities": guessed}) + "\n")
    return gold_path, pred_path


def interrupt_after(seconds):
    """Sends SIGINT to this process after `seconds`; returns a list that receives the time."""
    sent = []

    def send():
        time.sleep(seconds)
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    threading.Thread(target=send, daemon=True).start()
    return sent


@pytest.fixture(scope="module")
def big_ner(tmp_path_factory):
    return write_ner_files(tmp_path_factory.mktemp("big"), 150_000)


def test_ctrl_c_stops_evaluate_file_soon_and_leaves_no_spreadsheet(big_ner, tmp_path):
    gold, pred = big_ner
    badcase = tmp_path / "bad.xlsx"
    sent = interrupt_after(0.5)
    with pytest.raises(KeyboardInterrupt):
        nlpeval.evaluate_file("ner", gold, pred, badcase_file=badcase, do_print=False)
    assert time.monotonic() - sent[0] < 0.5
    assert os.listdir(tmp_path) == []


def test_ctrl_c_stops_generate_badcase_and_leaves_no_spreadsheet(tmp_path):
    desc = evaluator.Desc()
    desc.true_text, desc.pred_text, desc.is_right = "北", "京", 0
    records = [evaluator.Label2PredData(index, "北京", [desc] * 3) for index in range(1, 300_001)]
    sent = interrupt_after(0.3)
    with pytest.raises(KeyboardInterrupt):
        evaluator.generate_badcase("cws", records, tmp_path / "bad.xlsx")
    assert time.monotonic() - sent[0] < 0.5
    assert os.listdir(tmp_path) == []


def test_no_instance_is_a_user_warning_after_the_scores(tmp_path, capsys):
    empty = tmp_path / "empty.jsonl"
    empty.write_text("")
    with pytest.warns(UserWarning, match="^no instance to evaluate: every score is 0$"):
        result = nlpeval.evaluate_file("ner", empty, empty)
    assert result["f1"] == 0.0
    assert capsys.readouterr().out.startswith("precision: 0.000")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(UserWarning):
            nlpeval.evaluate("ner", [], [], do_print=False)


def test_print_evaluate_reads_every_key_first_and_prints_what_percent_format_prints(capsys):
    with pytest.raises(KeyError) as missing:
        evaluator.print_evaluate({"precision": "x", "recall": 1.0, "f1": 1.0})
    assert missing.value.args == ("classification_report",)
    evaluator.print_evaluate({"precision": float("nan"), "recall": float("inf"),
                              "f1": float("-inf"), "classification_report": ""})
    expected = "precision: %.3f\trecall: %.3f\tf1: %.3f\n\n" % (
        float("nan"), float("inf"), float("-inf"))
    assert capsys.readouterr().out == expected
    with pytest.raises(TypeError, match="^precision: "):
        evaluator.print_evaluate({"precision": "x", "recall": 1.0, "f1": 1.0,
                                  "classification_report": ""})

"""nlpeval.Evaluation: parts added or merged give what evaluate gives on the whole."""

import json
import pickle

import pytest

import nlpeval

RECORD_TASKS = ["ner", "pos", "cws", "relation", "attribute", "event"]


def records(path):
    with open(path, encoding="utf-8") as data:
        return [json.loads(line) for line in data if line.strip()]


def lists(examples, task):
    """Both sides of a task's example as evaluate takes them."""
    if task == "dp":
        read = lambda name: open(examples / "dp" / name, encoding="utf-8").readlines()
        return read("gold.conll"), read("pred.conll")
    if task == "srl":
        from nlpeval.scoring import conll_iterator
        return (list(conll_iterator(examples / "srl" / "gold.props")),
                list(conll_iterator(examples / "srl" / "pred.props")))
    return (records(examples / task / "gold.jsonl"), records(examples / task / "pred.jsonl"))


@pytest.mark.parametrize("task,options", [(task, {}) for task in RECORD_TASKS + ["dp", "srl"]]
                         + [("relation", {"do_na": True}),
                            ("ner", {"evaluate_labels": ["PER", "TIME"]})])
def test_every_cut_into_two_shards_merges_into_the_whole(examples, task, options):
    gold, pred = lists(examples, task)
    whole = nlpeval.evaluate(task, gold, pred, do_print=False, **options)
    for cut in range(len(gold) + 1):
        first = nlpeval.Evaluation(task, **options)
        first.add(gold[:cut], pred[:cut])
        second = nlpeval.Evaluation(task, **options)
        second.add(gold[cut:], pred[cut:])
        merged = pickle.loads(pickle.dumps(first))
        merged.merge(nlpeval.Evaluation.from_state(second.save_state()))
        assert merged.result() == whole, cut
        assert len(merged) == len(gold)


def test_add_file_reads_as_evaluate_file(examples):
    evaluation = nlpeval.Evaluation("relation", do_na=True)
    gold, pred = examples / "relation" / "gold.jsonl", examples / "relation" / "pred.jsonl"
    evaluation.add_file(gold, pred)
    assert evaluation.result() == nlpeval.evaluate_file("relation", gold, pred, do_print=False,
                                                        do_na=True)
    assert evaluation.type == "relation"
    assert evaluation.options == {"evaluate_labels": None, "do_na": True}
    assert repr(evaluation).startswith("Evaluation('relation', instances=")


def test_merging_with_itself_doubles_the_counts(examples):
    gold, pred = lists(examples, "cws")
    once = nlpeval.Evaluation("cws")
    once.add(gold, pred)
    twice = nlpeval.Evaluation("cws")
    twice.add(gold + gold, pred + pred)
    once.merge(once)
    assert once.result() == twice.result()
    assert len(once) == 2 * len(gold)


def test_what_cannot_join_is_refused_by_name(examples):
    ner = nlpeval.Evaluation("ner")
    with pytest.raises(ValueError, match="is of task 'pos', not 'ner'"):
        ner.merge(nlpeval.Evaluation("pos"))
    with pytest.raises(ValueError, match=r"evaluate_labels \[\"PER\"\]"):
        ner.merge(nlpeval.Evaluation("ner", evaluate_labels=["PER"]))
    with pytest.raises(KeyError):
        nlpeval.Evaluation("nerr")
    state = ner.save_state()
    with pytest.raises(ValueError, match="not a JSON document"):
        nlpeval.Evaluation.from_state(state[:-10])
    with pytest.raises(ValueError, match="checksum does not match"):
        nlpeval.Evaluation.from_state(state.replace('"instances":0', '"instances":1'))
    with pytest.raises(ValueError, match="is of task 'cws', not 'ner'"):
        ner.load_state(nlpeval.Evaluation("cws").save_state())


def test_a_failed_add_changes_nothing(examples):
    gold, pred = lists(examples, "ner")
    evaluation = nlpeval.Evaluation("ner")
    evaluation.add(gold, pred)
    state = evaluation.save_state()
    with pytest.raises(ValueError):
        evaluation.add(gold, pred[:-1])
    assert evaluation.save_state() == state


@pytest.mark.parametrize("task", RECORD_TASKS + ["srl"])
def test_merge_order_changes_nothing_but_dps_label_order(examples, task):
    gold, pred = lists(examples, task)
    cut = len(gold) // 2
    first, second = nlpeval.Evaluation(task), nlpeval.Evaluation(task)
    first.add(gold[:cut], pred[:cut])
    second.add(gold[cut:], pred[cut:])
    second.merge(first)
    assert second.result() == nlpeval.evaluate(task, gold, pred, do_print=False)

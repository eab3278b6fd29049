"""End-to-end: shards evaluated apart with --save-state and joined by nlpeval merge print
what the whole data prints."""
import os
import re
import subprocess
import tempfile
import unittest

import openpyxl

CLI = os.environ.get("NLPEVAL_CLI", "nlpeval")
EXAMPLES = os.environ.get("NLPEVAL_EXAMPLES", "../../examples")

FILES = {
    "ner": ("gold.jsonl", "pred.jsonl"), "pos": ("gold.jsonl", "pred.jsonl"),
    "cws": ("gold.jsonl", "pred.jsonl"), "relation": ("gold.jsonl", "pred.jsonl"),
    "attribute": ("gold.jsonl", "pred.jsonl"), "event": ("gold.jsonl", "pred.jsonl"),
    "dp": ("gold.conll", "pred.conll"), "srl": ("gold.props", "pred.props"),
}


def run(*args):
    return subprocess.run([CLI, *args], capture_output=True, timeout=120)


def units(path, task):
    """Lines, or for props files blank-line-ended sentences: a file cut between units stays
    a file of the task."""
    with open(path, encoding="utf-8") as data:
        text = data.read()
    if task != "srl":
        return text.splitlines(keepends=True)
    return re.findall(r".*?\n\n|.+$", text, flags=re.S)


class Shards(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.dir = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def shard_states(self, task, shards, *options):
        """Cuts the task's example files into `shards` consecutive shards and saves the
        state of each; returns the state files in order."""
        gold_name, pred_name = FILES[task]
        gold = units(os.path.join(EXAMPLES, task, gold_name), task)
        pred = units(os.path.join(EXAMPLES, task, pred_name), task)
        self.assertEqual(len(gold), len(pred))
        states = []
        for k in range(shards):
            cut = slice(len(gold) * k // shards, len(gold) * (k + 1) // shards)
            files = []
            for side, lines in (("gold", gold), ("pred", pred)):
                files.append(os.path.join(self.dir, f"{task}-{k}-{side}"))
                with open(files[-1], "w", encoding="utf-8") as out:
                    out.write("".join(lines[cut]))
            states.append(os.path.join(self.dir, f"{task}-{k}.state"))
            result = run(task, *files, "--save-state", states[-1], "--quiet", *options)
            self.assertEqual(result.returncode, 0, result.stderr)
        return states

    def whole(self, task, *options):
        gold_name, pred_name = FILES[task]
        return run(task, os.path.join(EXAMPLES, task, gold_name),
                   os.path.join(EXAMPLES, task, pred_name), "--quiet", *options)

    def test_merged_shards_print_what_the_whole_prints(self):
        cases = [(task, ()) for task in FILES] + [("relation", ("--na",)),
                                                   ("ner", ("--labels", "PER,TIME"))]
        for task, options in cases:
            for shards in (2, 3):
                with self.subTest(task=task, options=options, shards=shards):
                    states = self.shard_states(task, shards, *options)
                    for output in ((), ("--json",)):
                        merged = run("merge", *states, *output)
                        self.assertEqual(merged.returncode, 0, merged.stderr)
                        self.assertEqual(merged.stdout, self.whole(task, *options, *output).stdout)

    def test_a_saved_state_comes_with_the_usual_output(self):
        state = os.path.join(self.dir, "ner.state")
        with_state = self.whole("ner", "--save-state", state)
        self.assertEqual(with_state.stdout, self.whole("ner").stdout)
        with open(state, encoding="utf-8") as saved:
            self.assertIn('"task":"ner"', saved.read())

    def test_states_that_cannot_join_are_refused_by_name(self):
        ner = self.shard_states("ner", 1)[0]
        pos = self.shard_states("pos", 1)[0]
        relation = os.path.join(self.dir, "relation.state")
        os.rename(self.shard_states("relation", 1)[0], relation)
        relation_na = self.shard_states("relation", 1, "--na")[0]
        truncated = os.path.join(self.dir, "truncated.state")
        with open(ner, encoding="utf-8") as whole, open(truncated, "w") as cut:
            cut.write(whole.read()[:50])
        cases = [
            ((ner, pos), f"nlpeval: ValueError: '{pos}' cannot join '{ner}': the merged "
                         "evaluation is of task 'pos', not 'ner'"),
            ((relation, relation_na), f"nlpeval: ValueError: '{relation_na}' cannot join "
                                      f"'{relation}': the merged evaluation has "
                                      "evaluate_labels null, do_na true"),
            ((truncated,), f"nlpeval: ValueError: state '{truncated}': not a JSON document"),
            ((ner, os.path.join(self.dir, "missing")), "nlpeval: FileError: cannot open"),
        ]
        for states, error in cases:
            with self.subTest(states=states):
                result = run("merge", *states)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, b"")
                self.assertTrue(result.stderr.decode().startswith(error), result.stderr)
        self.assertEqual(run("merge").returncode, 2)

    def test_an_unwritable_state_fails_before_the_evaluation(self):
        result = self.whole("ner", "--save-state", os.path.join(self.dir, "no", "s.state"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, b"")
        self.assertIn("cannot write the state", result.stderr.decode())
        self.assertEqual(os.listdir(self.dir), [])

    def test_first_index_numbers_a_shards_badcase_rows_globally(self):
        files = [os.path.join(EXAMPLES, "ner", name) for name in FILES["ner"]]
        sheets = {}
        for first in ("0", "10"):
            path = os.path.join(self.dir, f"bad-{first}.xlsx")
            result = run("ner", *files, "--badcase", path, "--first-index", first, "--quiet")
            self.assertEqual(result.returncode, 0, result.stderr)
            sheet = openpyxl.load_workbook(path)["badcase"]
            sheets[first] = [row[0] for row in sheet.iter_rows(min_row=2, values_only=True)]
        numbers = [n for n in sheets["0"] if n is not None]
        self.assertTrue(numbers)
        self.assertEqual([n for n in sheets["10"] if n is not None], [n + 10 for n in numbers])
        self.assertEqual(run("ner", *files, "--first-index", "-1").returncode, 2)


if __name__ == "__main__":
    unittest.main()

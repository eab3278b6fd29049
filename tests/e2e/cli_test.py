"""End-to-end checks of the nlpeval command: the bundled examples and broken inputs.

Run by ctest with NLPEVAL_CLI (the command) and NLPEVAL_EXAMPLES (examples/) set.
"""
import json
import os
import subprocess
import tempfile
import unittest

CLI = os.environ.get("NLPEVAL_CLI", "nlpeval")
EXAMPLES = os.environ.get("NLPEVAL_EXAMPLES", "../../examples")
NER_GOLD = os.path.join(EXAMPLES, "ner", "gold.jsonl")
NER_PRED = os.path.join(EXAMPLES, "ner", "pred.jsonl")
DP_GOLD = os.path.join(EXAMPLES, "dp", "gold.conll")
DP_PRED = os.path.join(EXAMPLES, "dp", "pred.conll")
SRL_GOLD = os.path.join(EXAMPLES, "srl", "gold.props")
SRL_PRED = os.path.join(EXAMPLES, "srl", "pred.props")
SRL_REFERENCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data",
                             "reference", "srl")


def run(*args):
    return subprocess.run([CLI, *args], capture_output=True, timeout=120)


class TempDir(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.dir = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as out:
            out.write(data if isinstance(data, bytes) else data.encode("utf-8"))
        return path

    def assertFailsWith(self, result, status, error_start):
        self.assertEqual(result.returncode, status, result.stderr)
        lines = result.stderr.decode("utf-8").splitlines()
        self.assertEqual(len(lines), 1 if status == 1 else len(lines), lines)
        self.assertTrue(lines[0].startswith(error_start), lines[0])


class DependencyParseExample(unittest.TestCase):
    def test_prints_the_table(self):
        result = run("dp", DP_GOLD, DP_PRED)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.decode("utf-8").splitlines()
        self.assertRegex(lines[0], r"^UAS: \d\.\d{3}\tLAS: \d\.\d{3}$")
        self.assertEqual(lines[1], "\tUAS\tLAS\tsupport")
        self.assertRegex(lines[2], r"^\S+\t\d\.\d{3}\t\d\.\d{3}\t\d+$")
        self.assertEqual(result.stderr, b"")

    def test_json_prints_the_record_and_nothing_else(self):
        result = run("dp", DP_GOLD, DP_PRED, "--json")
        self.assertEqual(result.returncode, 0, result.stderr)
        record = json.loads(result.stdout)
        self.assertEqual(list(record), ["UAS", "LAS", "classification"])
        self.assertEqual(list(record["classification"][0]), ["item", "uas", "las", "support"])
        self.assertLess(record["LAS"], record["UAS"])
        self.assertLess(record["UAS"], 1.0)

    def test_gold_against_itself_is_perfect(self):
        record = json.loads(run("dp", DP_GOLD, DP_GOLD, "--json").stdout)
        self.assertEqual((record["UAS"], record["LAS"]), (1.0, 1.0))


class SemanticRoleExample(TempDir):
    def test_prints_the_scorers_summary(self):
        result = run("srl", SRL_GOLD, SRL_PRED)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.decode("utf-8").splitlines()
        self.assertEqual(lines[0], "Number of Sentences    :           5")
        self.assertRegex(lines[6], r"^   Overall( +\d+){3}( +\d+\.\d\d){3}$")
        self.assertEqual(result.stderr, b"")

    def test_reproduces_the_reference_scorer_byte_for_byte(self):
        gold, pred, expected = (os.path.join(SRL_REFERENCE, "srl-04." + suffix)
                                for suffix in ("gold.props", "pred.props", "expected.txt"))
        with open(expected, "rb") as reference:
            self.assertEqual(run("srl", gold, pred).stdout, reference.read())

    def test_json_prints_the_text_as_a_string(self):
        printed = run("srl", SRL_GOLD, SRL_PRED).stdout.decode("utf-8")
        result = run("srl", SRL_GOLD, SRL_PRED, "--json")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(json.loads(result.stdout) + "\n", printed)

    def test_malformed_brackets_name_sentence_token_and_column(self):
        gold = self.write("gold.props", "-\t(A0*)\nsit\t(V*)\n\n-\t(A0*\nsit\t(V*)\n")
        result = run("srl", gold, gold)
        self.assertFailsWith(result, 1, f"nlpeval: ValueError: gold sentence 2 (starting at "
                                        f"{gold}:4), token 1, column 2: ")


class BrokenInputs(TempDir):
    def test_missing_file(self):
        result = run("dp", "/no/such/gold.conll", DP_PRED)
        self.assertFailsWith(result, 1, "nlpeval: FileError: ")
        self.assertIn("/no/such/gold.conll", result.stderr.decode())

    def test_malformed_json_line_names_file_and_line(self):
        gold = self.write("gold.jsonl", '{"text": "a", "entities": []}\n{"text": "b", \n')
        result = run("ner", gold, gold)
        self.assertFailsWith(result, 1, f"nlpeval: ValueError: {gold}:2: ")

    def test_invalid_utf8_names_file_and_line(self):
        gold = self.write("gold.jsonl", b'{"text": "\xff\xfe", "entities": []}\n')
        result = run("ner", gold, gold)
        self.assertFailsWith(result, 1, f"nlpeval: ValueError: {gold}:1: invalid UTF-8")

    def test_blank_line_in_entity_count_file(self):
        counts = self.write("counts.tsv", "北京\tLOC\t12\n\n上海\tLOC\t3\n")
        result = run("ner", NER_GOLD, NER_PRED, "--entity-count", counts)
        self.assertFailsWith(result, 1, f"nlpeval: ValueError: {counts}:2: ")
        self.assertEqual(result.stdout, b"")  # read before any scoring

    def test_empty_entity_count_file_adds_no_count(self):
        counts = self.write("counts.tsv", "")
        result = run("ner", NER_GOLD, NER_PRED, "--entity-count", counts, "--json")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(json.loads(result.stdout), json.loads(run("ner", NER_GOLD, NER_PRED,
                                                                   "--json").stdout))

    def test_unknown_task_type_is_a_usage_error(self):
        result = run("nerr", DP_GOLD, DP_PRED)
        self.assertEqual(result.returncode, 2)
        self.assertIn("nerr", result.stderr.decode())

    def test_options_that_do_nothing_for_the_task_are_usage_errors(self):
        sheet = os.path.join(self.dir, "b.xlsx")
        cases = [
            ("ner", "--plot", sheet), ("cws", "--plot", sheet), ("srl", "--plot", sheet),
            ("relation", "--labels", "a"), ("cws", "--labels", "a"), ("dp", "--labels", "a"),
            ("ner", "--na"), ("dp", "--na"), ("dp", "--badcase", sheet),
            ("srl", "--badcase", sheet), ("pos", "--entity-count", sheet),
            ("srl", "--schema", sheet),
        ]
        for task, option, *value in cases:
            with self.subTest(task=task, option=option):
                # The files do not exist: the usage is refused before anything is read.
                result = run(task, "missing-gold", "missing-pred", option, *value)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertTrue(result.stderr.decode().startswith(
                    f"nlpeval: {option} does nothing for {task}: it applies to "))
                self.assertEqual(result.stdout, b"")
                self.assertFalse(os.path.exists(sheet))


class Usage(unittest.TestCase):
    def test_help_lists_every_option(self):
        result = run("--help")
        self.assertEqual(result.returncode, 0)
        text = result.stdout.decode()
        for option in ("--badcase", "--plot", "--na", "--labels", "--schema",
                       "--entity-count", "--no-merge", "--json", "--quiet", "--version", "TASK",
                       "GOLD", "PRED"):
            self.assertIn(option, text)

    def test_missing_arguments(self):
        self.assertEqual(run("dp").returncode, 2)


if __name__ == "__main__":
    unittest.main()

"""The command on a terminal: the progress line, the warnings, --quiet, --version, and Ctrl-C.

Run by ctest with NLPEVAL_CLI (the command) set.
"""
import json
import os
import pty
import random
import re
import select
import signal
import subprocess
import tempfile
import time
import unittest

CLI = os.environ.get("NLPEVAL_CLI", "nlpeval")


def write_ner_files(folder, instances, seed=7):
    """Gold and predicted ner records, about a third of the entities wrong."""
    rng = random.Random(seed)
    with open(os.path.join(folder, "gold.jsonl"), "w", encoding="utf-8") as gold, \
            open(os.path.join(folder, "pred.jsonl"), "w", encoding="utf-8") as pred:
        for _ in range(instances):
            text = "".join(rng.choice("北京上海大学公司李明在的了") for _ in range(30))
            entities = [{"offset": at, "length": 2, "type": rng.choice(["LOC", "ORG", "PER"])}
                        for at in range(0, 30, 6)]
            guessed = [dict(e, type="ORG") if rng.random() < 0.3 else e for e in entities]
            gold.write(json.dumps({"text": text, "entities": entities}, ensure_ascii=False) + "\n")
            pred.write(json.dumps({"text": text, "entities": guessed}, ensure_ascii=False) + "\n")
    return os.path.join(folder, "gold.jsonl"), os.path.join(folder, "pred.jsonl")


class OnATerminal(unittest.TestCase):
    """Runs the command with its stderr on a pseudo-terminal, reading what it draws there."""

    @classmethod
    def setUpClass(cls):
        cls._dir = tempfile.TemporaryDirectory()
        cls.gold, cls.pred = write_ner_files(cls._dir.name, 120_000)

    @classmethod
    def tearDownClass(cls):
        cls._dir.cleanup()

    def start(self, *args, folder):
        controller, terminal = pty.openpty()
        process = subprocess.Popen([CLI, *args], stdout=subprocess.PIPE, stderr=terminal,
                                   cwd=folder)
        os.close(terminal)
        self.addCleanup(os.close, controller)
        return process, controller

    @staticmethod
    def read_until(controller, pattern, seen, timeout=120):
        """Reads the terminal until `pattern` shows; returns all read so far."""
        deadline = time.monotonic() + timeout
        while not re.search(pattern, seen) and time.monotonic() < deadline:
            ready, _, _ = select.select([controller], [], [], 0.1)
            if ready:
                try:
                    seen += os.read(controller, 4096).decode("utf-8", "replace")
                except OSError:  # the command closed the terminal
                    break
        return seen

    def files_in(self, folder):
        return sorted(os.listdir(folder))

    def test_progress_line_updates_in_place_and_is_gone_before_the_scores(self):
        with tempfile.TemporaryDirectory() as folder:
            process, controller = self.start("ner", self.gold, self.pred, "--badcase", "b.xlsx",
                                             folder=folder)
            seen = self.read_until(controller, r"writing the badcase spreadsheet", "")
            stdout, _ = process.communicate(timeout=300)
            seen = self.read_until(controller, r"\r\x1b\[K$", seen, timeout=5)
            self.assertEqual(process.returncode, 0)
            self.assertRegex(seen, r"\r\x1b\[Knlpeval: [\d,]+ instances read, [\d,]+ badcase "
                                   r"rows written, \d+\.\d s")
            self.assertTrue(seen.endswith("\r\x1b[K"), repr(seen[-80:]))  # cleared at the end
            self.assertNotIn("\n", seen)  # one line, redrawn
            self.assertTrue(stdout.startswith(b"precision: "))

    def test_ctrl_c_stops_within_a_second_and_leaves_no_spreadsheet(self):
        with tempfile.TemporaryDirectory() as folder:
            process, controller = self.start("ner", self.gold, self.pred, "--badcase", "b.xlsx",
                                             folder=folder)
            self.read_until(controller, r"instances read", "")
            self.assertTrue([name for name in os.listdir(folder) if ".tmp-" in name])
            asked = time.monotonic()
            process.send_signal(signal.SIGINT)
            process.communicate(timeout=30)
            self.assertLess(time.monotonic() - asked, 1.0)
            self.assertEqual(process.returncode, 130)
            self.assertEqual(self.files_in(folder), [])

    def test_a_signal_while_the_spreadsheet_is_completed_removes_its_temporary_file(self):
        with tempfile.TemporaryDirectory() as folder:
            process, controller = self.start("ner", self.gold, self.pred, "--badcase", "b.xlsx",
                                             folder=folder)
            self.read_until(controller, r"writing the badcase spreadsheet", "")
            process.send_signal(signal.SIGTERM)
            process.communicate(timeout=30)
            self.assertEqual(process.returncode, -signal.SIGTERM)
            self.assertEqual(self.files_in(folder), [])

    def test_quiet_and_json_draw_nothing(self):
        for option in ("--quiet", "--json"):
            with self.subTest(option=option), tempfile.TemporaryDirectory() as folder:
                process, controller = self.start("ner", self.gold, self.pred, "--badcase",
                                                 "b.xlsx", option, folder=folder)
                time.sleep(1.5)  # past the second after which the line would show
                process.send_signal(signal.SIGINT)
                process.communicate(timeout=30)
                self.assertEqual(process.returncode, 130)
                seen = self.read_until(controller, r"\n", "", timeout=5)
                self.assertEqual(seen.replace("\r\n", "\n"), "nlpeval: interrupted\n")


class Warnings(unittest.TestCase):
    def run_cli(self, *args):
        return subprocess.run([CLI, *args], capture_output=True, timeout=60)

    def test_empty_data_scores_zero_with_a_warning_for_every_format(self):
        with tempfile.TemporaryDirectory() as folder:
            for task, name in (("ner", "e.jsonl"), ("dp", "e.conll"), ("srl", "e.props")):
                with self.subTest(task=task):
                    empty = os.path.join(folder, name)
                    open(empty, "w").close()
                    result = self.run_cli(task, empty, empty)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertEqual(result.stderr.decode(), "nlpeval: warning: no instance to "
                                                             "evaluate: every score is 0\n")
                    quiet = self.run_cli(task, empty, empty, "--quiet")
                    self.assertEqual(quiet.stderr, b"")
                    self.assertEqual(quiet.stdout, result.stdout)

    def test_elements_the_tags_lose_are_warned_of_after_the_output(self):
        gold = ('{"text": "北京大学很好", "entities": [{"offset": 0, "length": 4, "type": "ORG"}, '
                '{"offset": 0, "length": 2, "type": "LOC"}, {"offset": 6, "length": 1, '
                '"type": "X"}]}\n')
        pred = '{"text": "北京大学很好", "entities": [{"offset": 0, "length": 4, "type": "ORG"}]}\n'
        with tempfile.TemporaryDirectory() as folder:
            paths = []
            for name, text in (("gold.jsonl", gold), ("pred.jsonl", pred)):
                paths.append(os.path.join(folder, name))
                with open(paths[-1], "w", encoding="utf-8") as out:
                    out.write(text)
            result = self.run_cli("ner", *paths)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(result.stderr.decode(), "nlpeval: warning: 1 entity overlaps a later "
                             "entity, 1 lies outside its text; scores count one tag per "
                             "character\n")
            as_json = self.run_cli("ner", *paths, "--json")
            self.assertEqual(json.loads(as_json.stdout)["warnings"],
                             {"overlapping_elements": 1, "elements_outside_text": 1})
            self.assertEqual(as_json.stderr, result.stderr)
            self.assertEqual(self.run_cli("ner", *paths, "--quiet").stderr, b"")

    def test_version(self):
        result = self.run_cli("--version")
        self.assertEqual(result.returncode, 0)
        self.assertRegex(result.stdout.decode(), r"^nlpeval \d+\.\d+\.\d+\n$")


if __name__ == "__main__":
    unittest.main()

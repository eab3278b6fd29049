"""Replays the hostile-input corpus (tests/data/hostile/) through the nlpeval command.

Each case of cases.json runs the command on a file pair and expects an exit status and, for a
failure, the error kind and a part of the one-line message; a success may have to print what
the command prints for the same data without the oddity ("same_stdout_as"). In arguments and messages,
"{case}" is the case's directory and "{tmp}" a scratch directory holding the inputs too large
to keep in the repository, which are made here.

Run by ctest with NLPEVAL_CLI (the command) set.
"""
import json
import os
import subprocess
import tempfile
import unittest

CLI = os.environ.get("NLPEVAL_CLI", "nlpeval")
HOSTILE = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data",
                                        "hostile"))
ONE_RECORD = b'{"text": "ab", "entities": [{"offset": 0, "length": 1, "type": "X"}]}\n'
LONG_LINE_BYTES = 100 * 1024 * 1024
NESTING = 10_000


def write_long_line(path, truncated):
    """One "ner" record of 100 MB: a small record with a long extra string."""
    head = b'{"text": "ab", "entities": [{"offset": 0, "length": 1, "type": "X"}], "pad": "'
    tail = b'"}\n'
    chunk = b"x" * (1 << 20)
    remaining = LONG_LINE_BYTES - len(head) - len(tail)
    with open(path, "wb") as out:
        out.write(head)
        while remaining > 0:
            out.write(chunk[:remaining])
            remaining -= len(chunk)
        if not truncated:
            out.write(tail)


def make_scratch_inputs(directory):
    with open(os.path.join(directory, "one.jsonl"), "wb") as out:
        out.write(ONE_RECORD)
    with open(os.path.join(directory, "deep.jsonl"), "wb") as out:
        out.write(b'{"text": "ab", "entities": [], "deep": ' + b"[" * NESTING + b"]" * NESTING +
                  b"}\n")
    write_long_line(os.path.join(directory, "long.jsonl"), truncated=False)
    write_long_line(os.path.join(directory, "long_truncated.jsonl"), truncated=True)


class HostileInputs(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._scratch = tempfile.TemporaryDirectory()
        make_scratch_inputs(cls._scratch.name)

    @classmethod
    def tearDownClass(cls):
        cls._scratch.cleanup()

    def expand(self, case, text):
        return (text.replace("{case}", os.path.join(HOSTILE, case["name"]))
                .replace("{tmp}", self._scratch.name))

    def run_cli(self, case, args):
        return subprocess.run([CLI, *(self.expand(case, arg) for arg in args)],
                              capture_output=True, timeout=300)

    def replay(self, case):
        result = self.run_cli(case, case["args"])
        stderr = result.stderr.decode("utf-8", "replace")
        self.assertEqual(result.returncode, case["status"], stderr)
        if case["status"] == 0:
            # A run that succeeds says nothing on stderr but the warnings the case expects.
            self.assertEqual(stderr, "".join(f"nlpeval: warning: {warning}\n"
                                             for warning in case.get("warnings", [])))
            self.assertNotEqual(result.stdout, b"")
            if "same_stdout_as" in case:  # the same data without the oddity
                self.assertEqual(result.stdout, self.run_cli(case, case["same_stdout_as"]).stdout)
            return
        message = self.expand(case, case.get("message", ""))
        if case["status"] == 2:  # usage error
            self.assertIn(message, stderr)
            return
        lines = stderr.splitlines()
        self.assertEqual(len(lines), 1, stderr)
        self.assertTrue(lines[0].startswith(f"nlpeval: {case['error']}: "), lines[0])
        self.assertIn(message, lines[0])


def load_cases():
    with open(os.path.join(HOSTILE, "cases.json"), encoding="utf-8") as manifest:
        return json.load(manifest)


def add_case_tests():
    for case in load_cases():
        def test(self, case=case):
            self.replay(case)
        test.__doc__ = case.get("what") or None
        setattr(HostileInputs, "test_" + case["name"], test)


add_case_tests()

if __name__ == "__main__":
    unittest.main()

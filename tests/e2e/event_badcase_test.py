"""End-to-end: nlpeval event, scores and the badcase spreadsheet of examples/event."""
import json
import os
import subprocess
import tempfile
import unittest

import openpyxl

CLI = os.environ.get("NLPEVAL_CLI", "nlpeval")
EXAMPLES = os.environ.get("NLPEVAL_EXAMPLES", "../../examples")
GOLD = os.path.join(EXAMPLES, "event", "gold.jsonl")
PRED = os.path.join(EXAMPLES, "event", "pred.jsonl")
HEADER = ["index", "label_type", "label_desc", "pred_type", "pred_desc", "is_right", "other",
          "text"]


class EventEndToEnd(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.folder = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def run_cli(self, gold, pred, *extra, status=0):
        result = subprocess.run([CLI, "event", gold, pred, *extra], capture_output=True,
                                timeout=120, text=True)
        self.assertEqual(result.returncode, status, result.stderr)
        return result

    def badcase_rows(self):
        path = os.path.join(self.folder, "events.xlsx")
        self.run_cli(GOLD, PRED, "--badcase", path, "--no-merge")
        sheet = openpyxl.load_workbook(path)["badcase"]
        return [[cell.value for cell in row] for row in sheet.iter_rows()]

    def write(self, name, records):
        path = os.path.join(self.folder, name)
        with open(path, "w", encoding="utf-8") as file:
            for record in records:
                file.write(json.dumps(record, ensure_ascii=False) + "\n")
        return path

    def test_scores_triggers_and_roles_as_chunks(self):
        result = json.loads(self.run_cli(GOLD, PRED, "--json").stdout)
        self.assertEqual(list(result)[:4], ["precision", "recall", "f1", "classification_report"])
        # 13 of 18 predicted chunks are right, of 20 gold ones.
        self.assertAlmostEqual(result["precision"], 13 / 18)
        self.assertAlmostEqual(result["recall"], 13 / 20)
        rows = {line.split()[0]: line.split()[1:] for line in
                result["classification_report"].splitlines() if line.strip()}
        self.assertEqual(rows["trigger"], ["0.80", "0.80", "0.80", "5"])
        self.assertEqual(rows["target"], ["0.00", "0.00", "0.00", "1"])

    def test_one_row_per_argument_start_with_the_trigger_text(self):
        rows = self.badcase_rows()
        self.assertEqual(rows[0], HEADER)
        body = rows[1:]
        self.assertEqual(len(body), 17)
        self.assertEqual(sorted({row[0] for row in body}), [1, 2, 3, 5],
                         "the sentence without events has no row")
        for row in body:
            self.assertEqual(row[5], int(row[1] == row[3] != "NONE"), row)
        # A right argument and an argument starting elsewhere: a gold-only and a
        # predicted-only row.
        first = [row[1:7] for row in body if row[0] == 1]
        self.assertEqual(first[0], ["time", "昨天", "time", "昨天", 1, "发布"])
        self.assertEqual(first[3:], [["product", "新款手机", "NONE", "NONE", 0, "发布"],
                                     ["NONE", "NONE", "product", "手机", 0, "发布"]])
        self.assertEqual(body[0][7], "昨天苹果公司在加州发布了新款手机。")
        # A wrong role at the right place, and a missed argument.
        second = [row[1:7] for row in body if row[0] == 2]
        self.assertIn(["target", "the embassy", "place", "the embassy", 0, "attacked"], second)
        self.assertEqual(second[-1], ["time", "Friday", "NONE", "NONE", 0, "attacked"])
        # The predicted events first, the spurious one with its own trigger, then the
        # missed event.
        third = [row[1:7] for row in body if row[0] == 3]
        self.assertEqual([row[5] for row in third], ["死亡", "死亡", "造成", "赶赴", "赶赴"])
        self.assertEqual(third[2], ["NONE", "NONE", "cause", "地震", 0, "造成"])

    def test_merged_rows_share_index_and_text(self):
        path = os.path.join(self.folder, "merged.xlsx")
        self.run_cli(GOLD, PRED, "--badcase", path)
        sheet = openpyxl.load_workbook(path)["badcase"]
        merged = {str(cell_range) for cell_range in sheet.merged_cells.ranges}
        self.assertIn("A2:A6", merged)
        self.assertIn("H2:H6", merged)

    def test_broken_records_fail_with_one_line(self):
        gold = self.write("gold.jsonl", [{"words": ["a", "b"], "events": [
            {"trigger": [0, 1], "arguments": [{"offset": [0, 1], "type": "t", "text": "a"}]}]}])
        far = self.write("far.jsonl", [{"words": ["a", "b"], "events": [
            {"trigger": {"id": 5, "offset": 0, "length": 1},
             "arguments": [{"offset": 10 ** 12, "length": 10 ** 12, "role": "t", "text": "?"}]}]}])
        result = json.loads(self.run_cli(gold, far, "--json").stdout)
        self.assertEqual(result["precision"], 0.0, "far offsets tag nothing")
        result = self.run_cli(gold, far, "--badcase", os.path.join(self.folder, "bad.xlsx"),
                              status=1)
        self.assertEqual(result.stderr.strip(),
                         f"nlpeval: IndexError: instance 1 ({gold}:1, {far}:1): "
                         "trigger id 5 is outside the 2 words")
        short = self.write("short.jsonl", [{"words": ["a", "b"], "events": [
            {"trigger": [0], "arguments": []}]}])
        result = self.run_cli(short, far, status=1)
        self.assertTrue(result.stderr.startswith("nlpeval: ValueError: "), result.stderr)
        self.assertIn("short.jsonl:1", result.stderr)


if __name__ == "__main__":
    unittest.main()

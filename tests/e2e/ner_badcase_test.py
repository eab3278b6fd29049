"""End-to-end: nlpeval ner with a badcase spreadsheet, read back with openpyxl."""
import os
import subprocess
import tempfile
import unittest

import openpyxl

CLI = os.environ.get("NLPEVAL_CLI", "nlpeval")
EXAMPLES = os.environ.get("NLPEVAL_EXAMPLES", "../../examples")
GOLD = os.path.join(EXAMPLES, "ner", "gold.jsonl")
PRED = os.path.join(EXAMPLES, "ner", "pred.jsonl")
COUNTS = os.path.join(EXAMPLES, "ner", "entity_count.tsv")

HEADER = ["index", "true_text", "pred_text", "true_label", "pred_label", "is_right",
          "error_type", "text"]


class NerBadcase(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self._dir.name, "badcase.xlsx")

    def tearDown(self):
        self._dir.cleanup()

    def run_cli(self, *extra):
        result = subprocess.run([CLI, "ner", GOLD, PRED, "--badcase", self.path, *extra],
                                capture_output=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        return openpyxl.load_workbook(self.path)["badcase"]

    @staticmethod
    def rows(sheet):
        return [[cell.value for cell in row] for row in sheet.iter_rows()]

    def test_rows_show_every_entity_and_its_error_kind(self):
        sheet = self.run_cli("--no-merge")
        rows = self.rows(sheet)
        self.assertEqual(rows[0], HEADER)
        first = [row for row in rows[1:] if row[0] == 1]
        self.assertEqual(first, [
            [1, "李明", "李明", "PER", "PER", 1, "NONE", "李明在北京大学读书。"],
            [1, "北京大学", "北京", "ORG", "LOC", 0, "PRED_IN_TRUE", "李明在北京大学读书。"],
        ])
        third = [row[1:7] for row in rows[1:] if row[0] == 3]
        self.assertEqual(third, [
            ["王芳", "王芳", "PER", "PER", 1, "NONE"],
            ["张伟", "NONE", "PER", "NONE", 0, "PRED_NONE_ERROR"],
            ["昨天", "NONE", "TIME", "NONE", 0, "PRED_NONE_ERROR"],
            ["上海", "上海", "LOC", "LOC", 1, "NONE"],
            ["NONE", "去了", "NONE", "TIME", 0, "TRUE_NONE_ERROR"],
        ])
        kinds = {row[6] for row in rows[1:]}
        self.assertTrue({"TYPE_ERROR", "PRED_IN_TRUE", "TRUE_IN_PRED", "PRED_CROSS_TRUE",
                         "PRED_NONE_ERROR", "TRUE_NONE_ERROR"} <= kinds, kinds)
        self.assertEqual(len(sheet.merged_cells.ranges), 0)

    def test_cells_of_one_instance_are_merged(self):
        sheet = self.run_cli()
        merged = {str(cell_range) for cell_range in sheet.merged_cells.ranges}
        self.assertIn("A2:A3", merged)  # instance 1: two entities
        self.assertIn("H2:H3", merged)
        self.assertEqual(sheet["A2"].value, 1)
        self.assertEqual(sheet["H2"].value, "李明在北京大学读书。")

    def test_entity_counts_add_two_columns(self):
        sheet = self.run_cli("--entity-count", COUNTS, "--no-merge")
        rows = self.rows(sheet)
        self.assertEqual(rows[0], ["index", "true_text", "true_count", "pred_text", "pred_count",
                                   "true_label", "pred_label", "is_right", "error_type", "text"])
        self.assertEqual(rows[2][1:5], ["北京大学", 1204, "北京", 8831])


    def test_rows_of_many_instances_keep_their_order(self):
        # Thousands of instances: rows are written on a thread of their own, in batches that
        # must reach the sheet in instance order.
        import json
        gold = os.path.join(self._dir.name, "gold.jsonl")
        pred = os.path.join(self._dir.name, "pred.jsonl")
        count = 5000
        with open(gold, "w", encoding="utf-8") as g, open(pred, "w", encoding="utf-8") as p:
            for k in range(count):
                text = f"实例{k}号"
                entities = [{"offset": 0, "length": 2, "type": "A"}]
                g.write(json.dumps({"text": text, "entities": entities}) + "\n")
                wrong = [{"offset": 0, "length": 2, "type": "B" if k % 2 else "A"}]
                p.write(json.dumps({"text": text, "entities": wrong}) + "\n")
        result = subprocess.run([CLI, "ner", gold, pred, "--badcase", self.path, "--no-merge"],
                                capture_output=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = self.rows(openpyxl.load_workbook(self.path, read_only=True)["badcase"])
        self.assertEqual([row[0] for row in rows[1:]], list(range(1, count + 1)))
        self.assertEqual([row[-1] for row in rows[1:3]], ["实例0号", "实例1号"])
        self.assertEqual([row[4] for row in rows[1:5]], ["A", "B", "A", "B"])


if __name__ == "__main__":
    unittest.main()

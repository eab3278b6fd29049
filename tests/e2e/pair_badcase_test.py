"""End-to-end: nlpeval relation and attribute, scores and badcase spreadsheets."""
import os
import subprocess
import tempfile
import unittest

import openpyxl

CLI = os.environ.get("NLPEVAL_CLI", "nlpeval")
EXAMPLES = os.environ.get("NLPEVAL_EXAMPLES", "../../examples")


def example(task, side):
    return os.path.join(EXAMPLES, task, side + ".jsonl")


class PairTask(unittest.TestCase):
    """Runs one task on its example files."""
    TASK = None

    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.folder = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def run_cli(self, *extra):
        result = subprocess.run([CLI, self.TASK, example(self.TASK, "gold"),
                                 example(self.TASK, "pred"), *extra],
                                capture_output=True, timeout=120, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout

    def badcase_rows(self, *extra):
        path = os.path.join(self.folder, "badcase.xlsx")
        self.run_cli("--badcase", path, "--no-merge", *extra)
        sheet = openpyxl.load_workbook(path)["badcase"]
        return [[cell.value for cell in row] for row in sheet.iter_rows()]


class RelationEndToEnd(PairTask):
    TASK = "relation"

    def test_report_scores_directed_labels_without_na(self):
        out = self.run_cli()
        self.assertTrue(out.startswith("precision: "), out)
        self.assertIn("founded_by(e2,e1)", out)
        self.assertIn("micro avg", out)
        first_words = [line.split()[0] for line in out.splitlines() if line.split()]
        self.assertNotIn("na", first_words)

    def test_badcase_rows_name_each_pair_and_its_error(self):
        rows = self.badcase_rows()
        self.assertEqual(rows[0], ["index", "head_entity", "tail_entity", "tag", "label_desc",
                                   "pred_desc", "is_right", "error_type", "text"])
        self.assertEqual(rows[1], [1, "马云", "阿里巴巴", 3, "founded_by(e2,e1)",
                                   "founded_by(e2,e1)", 1, "NONE", "马云创立了阿里巴巴。"])
        by_instance = {}
        for row in rows[1:]:
            by_instance.setdefault(row[0], []).append(row[1:8])
        # head and tail swapped: one element, described from the prediction
        self.assertIn(["Apple", "Cupertino", 4, "located_in(e1,e2)", "located_in(e2,e1)", 0,
                       "ORDER_ERROR"], by_instance[2])
        self.assertEqual(by_instance[3][0][3:], ["capital_of(e1,e2)", "located_in(e1,e2)", 0,
                                                 "TYPE_ERROR"])
        self.assertIn(["Marie Curie", "Warsaw", 13, "born_in(e1,e2)", "NONE", 0,
                       "PRED_NONE_ERROR"], by_instance[4])
        self.assertIn(["Warsaw", "Paris", 15, "NONE", "located_in(e1,e2)", 0,
                       "TRUE_NONE_ERROR"], by_instance[4])
        # "born_in_rev" with the head second reads as born_in in the reverse direction
        self.assertEqual(by_instance[5], [["李白", "碎叶城", 3, "born_in(e1,e2)",
                                           "born_in(e2,e1)", 0, "ORDER_ERROR"]])

    def test_plot_draws_the_confusion_matrix(self):
        picture = os.path.join(self.folder, "matrix.png")
        self.run_cli("--plot", picture, "--na")
        with open(picture, "rb") as file:
            self.assertEqual(file.read(8), b"\x89PNG\r\n\x1a\n")


class AttributeEndToEnd(PairTask):
    TASK = "attribute"

    def test_badcase_rows_compare_attribute_names_only(self):
        rows = self.badcase_rows()
        self.assertEqual(rows[0], ["index", "entity", "value", "tag", "label_desc", "pred_desc",
                                   "is_right", "text"])
        first = [row[1:7] for row in rows[1:] if row[0] == 1]
        self.assertEqual(first, [
            ["iPhone 15", "5999 元", 4, "price(e1,e2)", "price(e1,e2)", 1],
            ["iPhone 15", "171 克", 13, "weight(e1,e2)", "price(e1,e2)", 0],
        ])
        missing = [row[1:7] for row in rows[1:] if row[0] == 2]
        self.assertEqual(missing, [["Tesla Model 3", "500 km", 16, "range(e1,e2)", "无", 0]])
        spurious = [row[1:7] for row in rows[1:] if row[0] == 4 and row[1] == "330 m"]
        self.assertEqual(spurious, [["330 m", "1889", 17, "无", "year(e1,e2)", 0]])


if __name__ == "__main__":
    unittest.main()

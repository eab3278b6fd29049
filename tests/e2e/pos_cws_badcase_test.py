"""End-to-end: nlpeval pos and cws, scores and badcase spreadsheets read back with openpyxl."""
import json
import os
import subprocess
import tempfile
import unittest

import openpyxl

CLI = os.environ.get("NLPEVAL_CLI", "nlpeval")
EXAMPLES = os.environ.get("NLPEVAL_EXAMPLES", "../../examples")


def example(task, side):
    return os.path.join(EXAMPLES, task, side + ".jsonl")


class SegmentTask(unittest.TestCase):
    TASK = None

    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.folder = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def run_cli(self, gold, pred, *extra, status=0):
        result = subprocess.run([CLI, self.TASK, gold, pred, *extra], capture_output=True,
                                timeout=120, text=True)
        self.assertEqual(result.returncode, status, result.stderr)
        return result.stdout if status == 0 else result.stderr

    def write(self, name, records):
        path = os.path.join(self.folder, name)
        with open(path, "w", encoding="utf-8") as file:
            for record in records:
                file.write(json.dumps(record, ensure_ascii=False) + "\n")
        return path

    def badcase(self, gold, pred, *extra):
        path = os.path.join(self.folder, "badcase.xlsx")
        self.run_cli(gold, pred, "--badcase", path, *extra)
        return openpyxl.load_workbook(path)["badcase"]

    @staticmethod
    def rows(sheet):
        return [[cell.value for cell in row] for row in sheet.iter_rows()]

    def example_rows(self):
        sheet = self.badcase(example(self.TASK, "gold"), example(self.TASK, "pred"), "--no-merge")
        return self.rows(sheet)

    @staticmethod
    def of_instance(rows, index):
        return [row[1:-1] for row in rows[1:] if row[0] == index]


class PosEndToEnd(SegmentTask):
    TASK = "pos"

    def test_report_scores_parts_of_speech(self):
        out = self.run_cli(example("pos", "gold"), example("pos", "pred"))
        self.assertTrue(out.startswith("precision: 0.852\trecall: 0.784\tf1: 0.817\n"), out)
        first_words = [line.split()[0] for line in out.splitlines() if line.split()]
        self.assertIn("PROPN", first_words)
        self.assertIn("micro avg", out)

    def test_badcase_rows_tell_retags_from_boundary_errors(self):
        rows = self.example_rows()
        self.assertEqual(rows[0], ["index", "true_text", "pred_text", "true_label", "pred_label",
                                   "is_right", "error_type", "text"])
        self.assertEqual(self.of_instance(rows, 2)[3], ["长期", "长期", "NOUN", "ADV", 0,
                                                        "TYPE_ERROR"])
        # one predicted proper noun over three gold words: a retag on each paired end, and the
        # middle word, which the prediction strictly covers, is missing
        self.assertEqual(self.of_instance(rows, 8)[2:5], [
            ["南", "南美洲", "NOUN", "PROPN", 0, "TYPE_ERROR"],
            ["美", "NONE", "PROPN", "NONE", 0, "PRED_NONE_ERROR"],
            ["洲", "南美洲", "PART", "PROPN", 0, "TYPE_ERROR"],
        ])
        self.assertEqual(self.of_instance(rows, 4)[4:6], [
            ["仙人掌", "仙人", "NOUN", "NOUN", 0, "PRED_IN_TRUE"],
            ["仙人掌", "掌", "NOUN", "NOUN", 0, "PRED_IN_TRUE"],
        ])
        self.assertTrue(all(row[4] == 1 for row in self.of_instance(rows, 3)))

    def test_entity_records_are_refused_naming_words(self):
        records = self.write("ner.jsonl", [{"text": "北京", "entities": []}])
        message = self.run_cli(records, records, status=1)
        self.assertIn("'words'", message)


class CwsEndToEnd(SegmentTask):
    TASK = "cws"

    def test_prints_the_score_line_and_an_empty_line(self):
        out = self.run_cli(example("cws", "gold"), example("cws", "pred"))
        self.assertEqual(out, "precision: 0.864\trecall: 0.795\tf1: 0.828\n\n")
        result = json.loads(self.run_cli(example("cws", "gold"), example("cws", "pred"), "--json"))
        self.assertEqual(list(result)[:4], ["precision", "recall", "f1", "classification_report"])
        self.assertEqual(result["classification_report"], "")

    def test_badcase_rows_show_boundary_errors(self):
        rows = self.example_rows()
        self.assertEqual(rows[0], ["index", "true_text", "pred_text", "is_right", "error_type",
                                   "text"])
        self.assertEqual(rows[1], [1, "华尔", "华尔街", 0, "TRUE_IN_PRED",
                                   "华尔街的公司反对政府的监督与管制。"])
        self.assertEqual(self.of_instance(rows, 5)[2:5], [
            ["最终", "最", 0, "PRED_IN_TRUE"],
            ["最终", "终于", 0, "PRED_CROSS_TRUE"],
            ["于", "终于", 0, "TRUE_IN_PRED"],
        ])
        self.assertEqual(self.of_instance(rows, 8)[2:5], [
            ["南", "南美洲", 0, "TRUE_IN_PRED"],
            ["美", "NONE", 0, "PRED_NONE_ERROR"],
            ["洲", "南美洲", 0, "TRUE_IN_PRED"],
        ])

    def test_an_empty_word_shifts_the_texts_of_the_words_after_it(self):
        gold = self.write("gold.jsonl", [{"text": "abc", "words": ["a", "", "bc"]}])
        pred = self.write("pred.jsonl", [{"text": "abc", "words": ["a", "bc", "d", "e"]}])
        rows = self.rows(self.badcase(gold, pred, "--no-merge"))
        # gold words at 0, 1 and 2..3; texts past the end are empty (a blank cell)
        self.assertEqual([row[1:5] for row in rows[1:]], [
            ["a", "a", 1, "NONE"],
            ["b", "bc", 0, "TRUE_IN_PRED"],
            ["c", "bc", 0, "PRED_CROSS_TRUE"],
            ["c", None, 0, "PRED_IN_TRUE"],
            ["NONE", None, 0, "TRUE_NONE_ERROR"],
        ])


if __name__ == "__main__":
    unittest.main()

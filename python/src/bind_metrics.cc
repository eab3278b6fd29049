// The metric functions: flat-label primitives (submodule "metrics"), chunk-level scorers of
// tag sequences ("sequence"), character-level metrics ("char_metrics") and the confusion
// matrix picture.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bindings.h"
#include "convert.h"
#include "nlpeval/metrics/char_metrics.h"
#include "nlpeval/metrics/confusion_matrix.h"
#include "nlpeval/metrics/metrics.h"
#include "nlpeval/metrics/sequence_metrics.h"

namespace nlpeval::python {
namespace {

using Labels = std::vector<std::string>;
using OptionalLabels = std::optional<Labels>;

int to_digits(py::handle digits) {
  int64_t value = to_int(digits, "digits");
  // The library refuses a negative count; a huge one is as wrong.
  if (value > 1000) throw py::value_error("digits: at most 1000, got " + std::to_string(value));
  return static_cast<int>(value);
}

// A score function of (gold, predicted, labels, average), flat or by character.
using AveragedScore = double (*)(const Labels&, const Labels&, const OptionalLabels&,
                                 std::string_view);

void def_averaged(py::module_& module, const char* name, AveragedScore score, const char* doc) {
  module.def(
      name,
      [score](py::handle y_true, py::handle y_pred, py::handle labels, py::handle average) {
        Labels gold = to_strings(y_true, "y_true");
        Labels pred = to_strings(y_pred, "y_pred");
        OptionalLabels chosen = to_optional_strings(labels, "labels");
        std::string mode = to_string(average, "average");
        return without_gil([&] { return score(gold, pred, chosen, mode); });
      },
      py::arg("y_true"), py::arg("y_pred"), py::arg("labels") = py::none(),
      py::arg("average") = "micro", doc);
}

using Report = std::string (*)(const Labels&, const Labels&, const OptionalLabels&, int);

// {"precision": .., "recall": .., "f1-score": .., "support": ..}, as both reference scorers
// write a row.
py::dict row_dict(const metrics::ReportRow& row) {
  py::dict values;
  values["precision"] = row.precision;
  values["recall"] = row.recall;
  values["f1-score"] = row.f1;
  values["support"] = row.support;
  return values;
}

// The report as scikit-learn's and seqeval's output_dict lay it out: the label rows by name,
// then the average rows. An "accuracy" row is a number there, not a row.
py::dict report_dict(const metrics::ReportRows& rows) {
  py::dict report;
  for (const metrics::ReportRow& row : rows.labels) report[py::str(row.name)] = row_dict(row);
  for (const metrics::ReportRow& row : rows.averages) {
    if (row.name == "accuracy") {
      report["accuracy"] = row.precision;
    } else {
      report[py::str(row.name)] = row_dict(row);
    }
  }
  return report;
}

void def_report(py::module_& module, const char* name, Report report, const char* doc) {
  module.def(
      name,
      [report](py::handle y_true, py::handle y_pred, py::handle labels, py::handle digits) {
        Labels gold = to_strings(y_true, "y_true");
        Labels pred = to_strings(y_pred, "y_pred");
        OptionalLabels chosen = to_optional_strings(labels, "labels");
        int places = to_digits(digits);
        return without_gil([&] { return report(gold, pred, chosen, places); });
      },
      py::arg("y_true"), py::arg("y_pred"), py::arg("labels") = py::none(), py::arg("digits") = 2,
      doc);
}

// A flat report, as text or as scikit-learn's dict.
py::object flat_report(py::handle y_true, py::handle y_pred, py::handle labels, py::handle digits,
                       py::handle output_dict) {
  Labels gold = to_strings(y_true, "y_true");
  Labels pred = to_strings(y_pred, "y_pred");
  OptionalLabels chosen = to_optional_strings(labels, "labels");
  int places = to_digits(digits);
  if (!to_bool(output_dict)) {
    return py::str(
        without_gil([&] { return metrics::classification_report(gold, pred, chosen, places); }));
  }
  return report_dict(
      without_gil([&] { return metrics::classification_report_rows(gold, pred, chosen); }));
}

void bind_flat(py::module_ module) {
  def_averaged(module, "precision_score", &metrics::precision_score, "TP / predicted count.");
  def_averaged(module, "recall_score", &metrics::recall_score, "TP / support.");
  def_averaged(module, "f1_score", &metrics::f1_score, "The harmonic mean of P and R.");
  module.def(
      "accuracy_score",
      [](py::handle y_true, py::handle y_pred) {
        Labels gold = to_strings(y_true, "y_true");
        Labels pred = to_strings(y_pred, "y_pred");
        return without_gil([&] { return metrics::accuracy_score(gold, pred); });
      },
      py::arg("y_true"), py::arg("y_pred"), "The share of positions where the labels agree.");
  module.def("classification_report", &flat_report, py::arg("y_true"), py::arg("y_pred"),
             py::arg("labels") = py::none(), py::arg("digits") = 2, py::arg("output_dict") = false,
             "Per-label precision, recall, F1 and support, then the averages.");
  module.def(
      "plot_confusion_matrix",
      [](py::handle y_true, py::handle y_pred, py::handle columns, py::handle cmap,
         py::handle filename) {
        Labels gold = to_strings(y_true, "y_true");
        Labels pred = to_strings(y_pred, "y_pred");
        Labels shown = to_strings(columns, "columns");
        std::string colours = to_string(cmap, "cmap");
        std::string file = to_string(filename, "filename");
        without_gil([&] { metrics::plot_confusion_matrix(gold, pred, shown, colours, file); });
      },
      py::arg("y_true"), py::arg("y_pred"), py::arg("columns"), py::arg("cmap"),
      py::arg("filename"), "Draws the confusion matrix into a .png, .svg or .pdf file.");
}

using Sequences = std::vector<std::vector<std::string>>;
using SequenceScore = double (*)(const Sequences&, const Sequences&, const OptionalLabels&);

void def_sequence_score(py::module_& module, const char* name, SequenceScore score) {
  module.def(
      name,
      [score](py::handle y_true, py::handle y_pred, py::handle labels) {
        Sequences gold = to_sequences(y_true, "y_true");
        Sequences pred = to_sequences(y_pred, "y_pred");
        OptionalLabels chosen = to_optional_strings(labels, "labels");
        return without_gil([&] { return score(gold, pred, chosen); });
      },
      py::arg("y_true"), py::arg("y_pred"), py::arg("labels") = py::none());
}

void bind_sequence(py::module_ module) {
  def_sequence_score(module, "precision_score", &metrics::seq::precision_score);
  def_sequence_score(module, "recall_score", &metrics::seq::recall_score);
  def_sequence_score(module, "f1_score", &metrics::seq::f1_score);
  module.def(
      "classification_report",
      [](py::handle y_true, py::handle y_pred, py::handle labels, py::handle digits,
         py::handle output_dict) -> py::object {
        Sequences gold = to_sequences(y_true, "y_true");
        Sequences pred = to_sequences(y_pred, "y_pred");
        OptionalLabels chosen = to_optional_strings(labels, "labels");
        int places = to_digits(digits);
        if (!to_bool(output_dict)) {
          return py::str(without_gil(
              [&] { return metrics::seq::classification_report(gold, pred, chosen, places); }));
        }
        return report_dict(without_gil(
            [&] { return metrics::seq::classification_report_rows(gold, pred, chosen); }));
      },
      py::arg("y_true"), py::arg("y_pred"), py::arg("labels") = py::none(), py::arg("digits") = 2,
      py::arg("output_dict") = false);
}

void bind_char(py::module_ module) {
  module.def(
      "filter_O",
      [](py::handle y_true, py::handle y_pred) {
        Labels gold = to_strings(y_true, "y_true");
        Labels pred = to_strings(y_pred, "y_pred");
        auto kept = without_gil([&] { return metrics::filter_O(gold, pred); });
        return py::make_tuple(from_strings(kept.y_true), from_strings(kept.y_pred),
                              from_strings(kept.labels));
      },
      py::arg("y_true"), py::arg("y_pred"));
  def_averaged(module, "precision_score_by_char", &metrics::precision_score_by_char,
               "Precision over the positions where a side is not \"O\".");
  def_averaged(module, "recall_score_by_char", &metrics::recall_score_by_char,
               "Recall over the positions where a side is not \"O\".");
  def_averaged(module, "f1_score_by_char", &metrics::f1_score_by_char,
               "F1 over the positions where a side is not \"O\".");
  module.def(
      "accuracy_score_by_char",
      [](py::handle y_true, py::handle y_pred, py::handle labels) {
        Labels gold = to_strings(y_true, "y_true");
        Labels pred = to_strings(y_pred, "y_pred");
        OptionalLabels chosen = to_optional_strings(labels, "labels");
        return without_gil([&] { return metrics::accuracy_score_by_char(gold, pred, chosen); });
      },
      py::arg("y_true"), py::arg("y_pred"), py::arg("labels") = py::none());
  def_report(module, "classification_report_by_char", &metrics::classification_report_by_char,
             "The report over the positions where a side is not \"O\".");
  module.def(
      "transform_by_char",
      [](py::handle arguments, py::handle words) {
        if (!is_list(arguments)) throw_kind("arguments", "list", arguments);
        Records argument_list = to_record(arguments, "arguments");
        Labels word_list = to_strings(words, "words");
        return from_strings(without_gil([&] {
          return metrics::transform_by_char(argument_list[0].as_array("arguments"), word_list);
        }));
      },
      py::arg("arguments"), py::arg("words"),
      "The argument tags of one event over the characters of its words.");
}

}  // namespace

void bind_metrics(py::module_& module) {
  bind_flat(module.def_submodule("metrics", "Flat-label metric primitives."));
  bind_sequence(module.def_submodule("sequence", "Chunk-level scores of tag sequences."));
  bind_char(module.def_submodule("char_metrics", "Character-level metrics of BIO tags."));
}

}  // namespace nlpeval::python

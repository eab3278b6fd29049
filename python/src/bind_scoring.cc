// The scoring functions of the evaluator (label_score, label_na_score, cws_score, dp_score,
// srl_evaluate and their readers) and the span tools of the miners.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bindings.h"
#include "convert.h"
#include "nlpeval/evaluator/badcase/span_tools.h"
#include "nlpeval/evaluator/evaluates/cws_score.h"
#include "nlpeval/evaluator/evaluates/dp_score.h"
#include "nlpeval/evaluator/evaluates/label_na_score.h"
#include "nlpeval/evaluator/evaluates/label_score.h"
#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

namespace nlpeval::python {
namespace {

// (precision, recall, f1, classification report), as the scoring functions return them.
py::tuple from_score(const ScoreResult& score) {
  return py::make_tuple(score.precision, score.recall, score.f1, score.classification_report);
}

void bind_record_scores(py::module_& module) {
  module.def(
      "label_score",
      [](py::handle y_true, py::handle y_pred, py::handle evaluate_labels) {
        auto gold = to_sequences(y_true, "y_true");
        auto pred = to_sequences(y_pred, "y_pred");
        auto labels = to_optional_strings(evaluate_labels, "evaluate_labels");
        return from_score(without_gil([&] { return label_score(gold, pred, labels); }));
      },
      py::arg("y_true"), py::arg("y_pred"), py::arg("evaluate_labels"),
      "Chunk-level precision, recall, F1 and report of lists of tag sequences.");
  module.def(
      "label_na_score",
      [](py::handle y_true, py::handle y_pred, py::handle do_na, py::handle do_plot) {
        auto gold = to_strings(y_true, "y_true");
        auto pred = to_strings(y_pred, "y_pred");
        bool with_na = to_bool(do_na);
        // Any false value (None, "") draws nothing.
        std::optional<std::string> plot;
        if (to_bool(do_plot)) plot = to_string(do_plot, "do_plot");
        return from_score(without_gil([&] { return label_na_score(gold, pred, with_na, plot); }));
      },
      py::arg("y_true"), py::arg("y_pred"), py::arg("do_na"), py::arg("do_plot"),
      "Micro-averaged scores of relation labels, leaving out \"na\" unless do_na.");
  module.def(
      "cws_score",
      [](py::handle y_true, py::handle y_pred) {
        auto gold = to_span_lists(y_true, "y_true");
        auto pred = to_span_lists(y_pred, "y_pred");
        return from_score(without_gil([&] { return cws_score(gold, pred); }));
      },
      py::arg("y_true"), py::arg("y_pred"),
      "Word-level precision, recall and F1 of word spans, and an empty report.");
}

void bind_dp(py::module_& module) {
  module.def(
      "dp_score",
      [](py::handle y_true, py::handle y_pred, py::handle do_print) {
        ConllLines gold = to_strings(y_true, "y_true");
        ConllLines pred = to_strings(y_pred, "y_pred");
        bool prints = to_bool(do_print);
        PrintToPython print(prints);
        DpResult result = without_gil([&] { return dp_score(gold, pred, prints); });
        return from_value(result.to_json());
      },
      py::arg("y_true"), py::arg("y_pred"), py::arg("do_print") = true,
      "UAS, LAS and per-label attachment scores of CoNLL lines.");
  module.def(
      "read_conll",
      [](py::handle input_file) {
        std::string file = to_string(input_file, "input_file");
        return from_strings(without_gil([&] { return read_conll(file); }));
      },
      py::arg("input_file"), "All lines of a CoNLL file, each with its line end.");
  module.def(
      "get_head",
      [](py::handle token) {
        std::string line = to_string(token, "token");
        return std::string(get_head(line));
      },
      py::arg("token"), "The fourth tab-separated field from the end.");
  module.def(
      "get_dep",
      [](py::handle token) {
        std::string line = to_string(token, "token");
        return std::string(get_dep(line));
      },
      py::arg("token"), "The third tab-separated field from the end.");
}

void bind_srl(py::module_& module) {
  module.def(
      "srl_evaluate",
      [](py::handle gold_items, py::handle pred_items) {
        Records gold = to_records(gold_items, "gold_items");
        Records pred = to_records(pred_items, "pred_items");
        return without_gil([&] { return srl_evaluate(gold, pred).to_string(); });
      },
      py::arg("gold_items"), py::arg("pred_items"),
      "The CoNLL-2005 scorer's summary of predicted against gold sentences.");
  module.def(
      "conll_iterator",
      [](py::handle file) {
        std::string name = to_string(file, "file");
        Records sentences = without_gil([&] { return conll_iterator(name); });
        py::list items;
        for (Record sentence : sentences) items.append(from_record(sentence));
        return py::iter(items);
      },
      py::arg("file"), "The sentences of a CoNLL-2005 props file, one by one.");
}

py::object from_span(const std::optional<TypedStringSpan>& span) {
  if (!span) return py::none();
  return py::make_tuple(span->type, py::make_tuple(span->start, span->end));
}

void bind_span_tools(py::module_& module) {
  module.def(
      "iob1_tags_to_spans",
      [](py::handle tag_sequence, py::handle classes_to_ignore) {
        auto tags = to_strings(tag_sequence, "tag_sequence");
        auto ignored = to_optional_strings(classes_to_ignore, "classes_to_ignore");
        auto spans = without_gil([&] { return iob1_tags_to_spans(tags, ignored); });
        py::list list;
        for (const TypedStringSpan& span : spans) list.append(from_span(span));
        return list;
      },
      py::arg("tag_sequence"), py::arg("classes_to_ignore") = py::none(),
      "The chunks of an IOB1 tag sequence as (type, (start, end)), both ends inclusive.");
  module.def(
      "align_spans",
      [](py::handle true_labels, py::handle pred_labels) {
        auto gold = to_strings(true_labels, "true_labels");
        auto pred = to_strings(pred_labels, "pred_labels");
        auto pairs = without_gil([&] { return align_spans(gold, pred); });
        py::list list;
        for (const SpanPair& pair : pairs) {
          list.append(py::make_tuple(from_span(pair.first), from_span(pair.second)));
        }
        return list;
      },
      py::arg("true_labels"), py::arg("pred_labels"),
      "Pairs the gold spans with the predicted spans that start or end inside them.");
  module.def(
      "_iob1_start_of_chunk",
      [](py::handle prev_bio_tag, py::handle prev_conll_tag, py::handle curr_bio_tag,
         py::handle curr_conll_tag) {
        auto prev_bio = to_optional_string(prev_bio_tag, "prev_bio_tag");
        auto prev_conll = to_optional_string(prev_conll_tag, "prev_conll_tag");
        std::string curr_bio = to_string(curr_bio_tag, "curr_bio_tag");
        std::string curr_conll = to_string(curr_conll_tag, "curr_conll_tag");
        return _iob1_start_of_chunk(prev_bio, prev_conll, curr_bio, curr_conll);
      },
      py::arg("prev_bio_tag"), py::arg("prev_conll_tag"), py::arg("curr_bio_tag"),
      py::arg("curr_conll_tag"));
}

}  // namespace

void bind_scoring(py::module_& module) {
  bind_record_scores(module);
  bind_dp(module);
  bind_srl(module);
  bind_span_tools(module);
}

}  // namespace nlpeval::python

// nlpeval.Evaluation: an evaluation made a part at a time, merged across processes by its
// state.

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "bindings.h"
#include "convert.h"
#include "nlpeval/evaluator/evaluation.h"

namespace nlpeval::python {
namespace {

// An Evaluation works without the GIL; its own lock keeps two Python threads from changing
// it at once.
struct SharedEvaluation {
  explicit SharedEvaluation(Evaluation made) : evaluation(std::move(made)) {}

  Evaluation evaluation;
  mutable std::mutex lock;
};

template <typename Work>
auto locked(const SharedEvaluation& shared, Work&& work) {
  py::gil_scoped_release release;
  std::lock_guard guard(shared.lock);
  return work();
}

std::unique_ptr<SharedEvaluation> make(py::handle type_, py::handle evaluate_labels, py::handle do_na) {
  std::string type = to_string(type_, "type_");
  EvaluationOptions options{
      .evaluate_labels = to_optional_strings(evaluate_labels, "evaluate_labels"),
      .do_na = to_bool(do_na)};
  return std::make_unique<SharedEvaluation>(Evaluation(type, std::move(options)));
}

void add(SharedEvaluation& self, py::handle true_list, py::handle pred_list) {
  if (!is_list(true_list)) throw_kind("true_list", "list", true_list);
  if (!is_list(pred_list)) throw_kind("pred_list", "list", pred_list);
  Records gold = to_records(true_list, "true_list");
  Records pred = to_records(pred_list, "pred_list");
  locked(self, [&] { self.evaluation.add(gold, pred); });
}

void add_file(SharedEvaluation& self, py::handle true_file, py::handle pred_file) {
  std::string gold = to_string(py::module_::import("os").attr("fspath")(true_file), "true_file");
  std::string pred = to_string(py::module_::import("os").attr("fspath")(pred_file), "pred_file");
  locked(self, [&] { self.evaluation.add_file(gold, pred); });
}

void merge(SharedEvaluation& self, const SharedEvaluation& other) {
  if (&self == &other) {
    // Merging an evaluation with itself doubles its counts: take a copy of its state first.
    std::string state = locked(self, [&] { return self.evaluation.save_state(); });
    Evaluation copy = Evaluation::from_state(state);
    locked(self, [&] { self.evaluation.merge(copy); });
    return;
  }
  py::gil_scoped_release release;
  std::scoped_lock guard(self.lock, other.lock);
  self.evaluation.merge(other.evaluation);
}

std::string save_state(const SharedEvaluation& self) {
  return locked(self, [&] { return self.evaluation.save_state(); });
}

std::unique_ptr<SharedEvaluation> from_state(py::handle state) {
  std::string text = to_string(state, "state");
  py::gil_scoped_release release;
  return std::make_unique<SharedEvaluation>(Evaluation::from_state(text));
}

py::object options_of(const SharedEvaluation& self) {
  const EvaluationOptions& options = self.evaluation.options();
  py::dict dict;
  dict["evaluate_labels"] =
      options.evaluate_labels ? py::object(from_strings(*options.evaluate_labels)) : py::none();
  dict["do_na"] = options.do_na;
  return dict;
}

std::string repr(const SharedEvaluation& self) {
  return locked(self, [&] {
    return "Evaluation('" + std::string(self.evaluation.type()) +
           "', instances=" + std::to_string(self.evaluation.size()) + ")";
  });
}

constexpr const char* kClassDoc = R"doc(Evaluation(type_, evaluate_labels=None, do_na=False)
--

An evaluation made a part at a time: add batches as a model predicts them, or evaluate shards
in other processes and merge their states. Every score is a function of integer counts, so
the result of the parts, merged in the order of their shards, equals evaluate() on all the
instances, every float and every report character. Pickling keeps the state only: counts and
label order, no text.

Parameters
----------
type_ : str
    The task type: "ner", "pos", "cws", "relation", "attribute", "event", "dp" or "srl".
evaluate_labels : list of str or None, default=None
    As evaluate; kept by "ner", "pos" and "event" only.
do_na : bool, default=False
    As evaluate; kept by "relation" and "attribute" only.

Raises
------
KeyError
    For a type that is not a task type.
)doc";

constexpr const char* kAddDoc = R"doc(add(true_list, pred_list)
--

Adds two lists as evaluate takes them (records; CoNLL lines for "dp"; props sentences for
"srl"), after the instances added before. On an error nothing is added.

Parameters
----------
true_list, pred_list : list
    Gold and predicted instances, position by position.

Raises
------
TypeError, ValueError
    As evaluate.
)doc";

constexpr const char* kAddFileDoc = R"doc(add_file(true_file, pred_file)
--

Adds the instances of two files, read as evaluate_file reads them.

Parameters
----------
true_file, pred_file : str or os.PathLike
    The gold and predicted files.

Raises
------
OSError, ValueError
    As evaluate_file.
)doc";

constexpr const char* kMergeDoc = R"doc(merge(other)
--

Adds what another evaluation counted, as if its instances came after these; merging the
states of consecutive shards in their order gives the result of the whole.

Parameters
----------
other : Evaluation
    An evaluation of the same task type and options (this one itself included).

Raises
------
ValueError
    Naming what differs, for another task type or other options.
)doc";

constexpr const char* kResultDoc = R"doc(result()
--

The result of every instance added, as evaluate(..., do_print=False) returns it.

Parameters
----------
None.

Returns
-------
dict or str
    The scores (a str for "srl").
)doc";

constexpr const char* kSaveDoc = R"doc(save_state()
--

The state: a one-line JSON document of the task, options and counts, sealed by a checksum.

Parameters
----------
None.

Returns
-------
str
)doc";

constexpr const char* kLoadDoc = R"doc(load_state(state)
--

Replaces the counts with those of a saved state.

Parameters
----------
state : str
    A text save_state returned.

Raises
------
ValueError
    For a truncated or edited state, or one of another version, task type or options.
)doc";

constexpr const char* kFromStateDoc = R"doc(from_state(state)
--

The evaluation a saved state holds, of its task type and options.

Parameters
----------
state : str
    A text save_state returned.

Raises
------
ValueError
    For a truncated or edited state, or one of another version.
)doc";

}  // namespace

void bind_evaluation(py::module_& module) {
  py::options options;
  options.disable_function_signatures();
  py::class_<SharedEvaluation>(module, "Evaluation", kClassDoc)
      .def(py::init(&make), py::arg("type_"), py::arg("evaluate_labels") = py::none(),
           py::arg("do_na") = false)
      .def("add", &add, py::arg("true_list"), py::arg("pred_list"), kAddDoc)
      .def("add_file", &add_file, py::arg("true_file"), py::arg("pred_file"), kAddFileDoc)
      .def("merge", &merge, py::arg("other"), kMergeDoc)
      .def("result",
           [](const SharedEvaluation& self) {
             EvaluateResult result = locked(self, [&] { return self.evaluation.result(); });
             return from_value(to_json(result));
           },
           kResultDoc)
      .def("__len__",
           [](const SharedEvaluation& self) {
             return locked(self, [&] { return self.evaluation.size(); });
           })
      .def("save_state", &save_state, kSaveDoc)
      .def("load_state",
           [](SharedEvaluation& self, py::handle state) {
             std::string text = to_string(state, "state");
             locked(self, [&] { self.evaluation.load_state(text); });
           },
           py::arg("state"), kLoadDoc)
      .def_static("from_state", &from_state, py::arg("state"), kFromStateDoc)
      .def_property_readonly(
          "type", [](const SharedEvaluation& self) { return std::string(self.evaluation.type()); },
          "The task type.")
      .def_property_readonly("options", &options_of,
                             "The options kept: {\"evaluate_labels\": ..., \"do_na\": ...}.")
      .def("__repr__", &repr)
      .def(py::pickle([](const SharedEvaluation& self) { return py::make_tuple(save_state(self)); },
                      [](const py::tuple& state) {
                        if (state.size() != 1) throw_kind("state", "a 1-tuple", state);
                        return from_state(state[0]);
                      }));
}

}  // namespace nlpeval::python

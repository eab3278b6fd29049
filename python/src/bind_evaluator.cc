// The entry functions of the evaluator, the task registry and its mappers and miners.

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "bindings.h"
#include "convert.h"
#include "list_batches.h"
#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluator.h"
#include "nlpeval/evaluator/miner_kinds.h"
#include "nlpeval/tasks/task.h"
#include "watched_work.h"

namespace nlpeval::python {
namespace {

std::optional<nlohmann::ordered_json> to_schema(py::handle schema) {
  if (schema.is_none()) return std::nullopt;
  if (!PyDict_Check(schema.ptr())) throw_kind("schema", "dict or None", schema);
  return to_value(schema, "schema");
}

void check_list(py::handle value, std::string_view what) {
  if (!is_list(value)) throw_kind(what, "list", value);
}

// Runs `work` without the GIL, with what it prints sent to sys.stdout when `prints`.
template <typename Work>
auto run_printing(bool prints, Work&& work) {
  PrintToPython print(prints);
  py::gil_scoped_release release;
  return work();
}

// Runs an evaluation as run_printing does, stoppable by Ctrl-C and with its warnings issued
// as Python warnings.
template <typename Options, typename Work>
auto run_watched(Options& options, Work&& work) {
  WatchedWork watched;
  options.on_progress = watched.on_progress();
  options.on_warning = watched.on_warning();
  PrintToPython print(options.do_print);
  return watched.run(work);
}

// A record task, which evaluate_batches takes; the others ("dp", "srl", an unknown type) get
// their lists whole.
bool takes_records(std::string_view type_) {
  const TaskDescriptor* task = find_task(type_);
  return task != nullptr && task->input == TaskInput::records;
}

py::object from_result(const EvaluateResult& result) { return from_value(to_json(result)); }

py::object evaluate(py::handle type_, py::handle true_list, py::handle pred_list,
                    py::handle badcase_file, py::handle do_print, py::handle do_plot,
                    py::handle do_na, py::handle evaluate_labels, py::handle schema,
                    py::handle entity_count_file, py::handle is_merge) {
  // Every argument is checked before anything is converted or read.
  std::string type = to_string(type_, "type_");
  check_list(true_list, "true_list");
  check_list(pred_list, "pred_list");
  EvaluateOptions options{
      .badcase_file = to_optional_string(badcase_file, "badcase_file"),
      .do_print = to_bool(do_print),
      .do_plot = to_optional_string(do_plot, "do_plot"),
      .do_na = to_bool(do_na),
      .evaluate_labels = to_optional_strings(evaluate_labels, "evaluate_labels"),
      .schema = to_schema(schema),
      .entity_count_file = to_string(entity_count_file, "entity_count_file"),
      .is_merge = to_bool(is_merge),
  };
  if (takes_records(type)) {
    // Converted batch by batch while the library scores the batches before.
    ListBatches gold(true_list, "true_list");
    ListBatches pred(pred_list, "pred_list");
    EvaluateResult result = run_watched(options, [&] {
      return nlpeval::evaluate_batches(type, gold.source(), pred.source(), options);
    });
    return from_result(result);
  }
  Records gold = to_records(true_list, "true_list");
  Records pred = to_records(pred_list, "pred_list");
  EvaluateResult result =
      run_watched(options, [&] { return nlpeval::evaluate(type, gold, pred, options); });
  return from_result(result);
}

py::object evaluate_file(py::handle type_, py::handle true_file, py::handle pred_file,
                         py::handle badcase_file, py::handle do_print, py::handle do_plot,
                         py::handle do_na, py::handle schema, py::handle evaluate_labels,
                         py::handle entity_count_file, py::handle is_merge) {
  std::string type = to_string(type_, "type_");
  std::string gold_file = to_string(true_file, "true_file");
  std::string predicted_file = to_string(pred_file, "pred_file");
  EvaluateFileOptions options{
      .badcase_file = to_optional_string(badcase_file, "badcase_file"),
      .do_print = to_bool(do_print),
      .do_plot = to_optional_string(do_plot, "do_plot"),
      .do_na = to_bool(do_na),
      .schema = to_schema(schema),
      .evaluate_labels = to_optional_strings(evaluate_labels, "evaluate_labels"),
      .entity_count_file = to_string(entity_count_file, "entity_count_file"),
      .is_merge = to_bool(is_merge),
  };
  EvaluateResult result = run_watched(
      options, [&] { return nlpeval::evaluate_file(type, gold_file, predicted_file, options); });
  return from_result(result);
}

void validate(py::handle schema, py::handle true_list, py::handle pred_list, py::handle type_) {
  std::optional<nlohmann::ordered_json> checked_schema = to_schema(schema);
  check_list(true_list, "true_list");
  check_list(pred_list, "pred_list");
  std::string type = to_string(type_, "type_");
  Records gold = to_records(true_list, "true_list");
  Records pred = to_records(pred_list, "pred_list");
  py::gil_scoped_release release;
  nlpeval::validate(checked_schema, gold, pred, type);
}

py::dict read_entity_count(py::handle entity_count_file) {
  std::string file = to_string(entity_count_file, "entity_count_file");
  EntityCount entity2count;
  {
    py::gil_scoped_release release;
    entity2count = nlpeval::read_entity_count(file);
  }
  py::dict counts;
  for (const auto& [entity, count] : entity2count) counts[py::str(entity)] = count;
  return counts;
}

// A score as print_evaluate takes it: floats as they are, NaN and infinities included
// (records refuse those), anything else as a record value that the library then checks.
nlohmann::ordered_json to_printed_value(py::handle value, const char* key) {
  if (PyFloat_Check(value.ptr())) return PyFloat_AsDouble(value.ptr());
  return to_value(value, key);
}

void print_evaluate(py::handle score_json) {
  if (!PyDict_Check(score_json.ptr())) throw_kind("score_json", "dict", score_json);
  // Only the four keys are read; every one is looked up before any is converted.
  constexpr const char* kKeys[] = {"precision", "recall", "f1", "classification_report"};
  std::vector<py::handle> values;
  for (const char* key : kKeys) {
    PyObject* value = PyDict_GetItemString(score_json.ptr(), key);
    if (value == nullptr) throw_key_error(py::str(key));
    values.emplace_back(value);
  }
  nlohmann::ordered_json scores = nlohmann::ordered_json::object();
  for (size_t k = 0; k < values.size(); ++k)
    scores[kKeys[k]] = to_printed_value(values[k], kKeys[k]);
  run_printing(true, [&] { nlpeval::print_evaluate(scores); });
}

std::vector<Label2PredData> to_label2preddataset(py::handle value) {
  constexpr std::string_view kWhat = "label2preddataset";
  check_list(value, kWhat);
  std::vector<Label2PredData> dataset;
  size_t index = 0;
  for (py::handle item : value) {
    if (!py::isinstance<Label2PredData>(item)) {
      throw_kind(element_name(kWhat, index), "Label2PredData", item);
    }
    dataset.push_back(item.cast<const Label2PredData&>());
    ++index;
  }
  return dataset;
}

void generate_badcase(py::handle type_, py::handle label2preddataset, py::handle badcase_file,
                      py::handle is_merge, py::handle entity_count_file) {
  std::string type = to_string(type_, "type_");
  std::vector<Label2PredData> dataset = to_label2preddataset(label2preddataset);
  std::string file = to_string(badcase_file, "badcase_file");
  bool merge = to_bool(is_merge);
  std::string count_file = to_string(entity_count_file, "entity_count_file");
  WatchedWork watched;
  watched.run([&] {
    nlpeval::generate_badcase(type, dataset, file, merge, count_file, watched.on_progress());
  });
}

void bind_entry_functions(py::module_& module) {
  module.def("evaluate", &evaluate, py::arg("type_"), py::arg("true_list"), py::arg("pred_list"),
             py::arg("badcase_file") = py::none(), py::arg("do_print") = true,
             py::arg("do_plot") = py::none(), py::arg("do_na") = false,
             py::arg("evaluate_labels") = py::none(), py::arg("schema") = py::none(),
             py::arg("entity_count_file") = "", py::arg("is_merge") = true,
             "Scores predicted against gold records of one task type; returns the result.");
  module.def("evaluate_file", &evaluate_file, py::arg("type_"), py::arg("true_file"),
             py::arg("pred_file"), py::arg("badcase_file") = py::none(), py::arg("do_print") = true,
             py::arg("do_plot") = py::none(), py::arg("do_na") = false,
             py::arg("schema") = py::none(), py::arg("evaluate_labels") = py::none(),
             py::arg("entity_count_file") = "", py::arg("is_merge") = true,
             "Reads the gold and prediction files of a task type and evaluates them.");
  module.def("validate", &validate, py::arg("schema"), py::arg("true_list"), py::arg("pred_list"),
             py::arg("type_"), "Checks every record and that both lists have the same length.");
  module.def("read_entity_count", &read_entity_count, py::arg("entity_count_file") = "",
             "Reads an entity-count file (entity<TAB>label<TAB>count per line) into a dict.");
  module.def("print_evaluate", &print_evaluate, py::arg("score_json"),
             "Prints the scores and the report, per-label rows sorted by support.");
  module.def("generate_badcase", &generate_badcase, py::arg("type_"), py::arg("label2preddataset"),
             py::arg("badcase_file"), py::arg("is_merge") = true, py::arg("entity_count_file") = "",
             "Writes the badcase records as rows of a spreadsheet.");
  // For the benchmark: the conversion of a list of records alone.
  module.def(
      "_to_records", [](py::handle list) { return to_records(list, "records").size(); },
      py::arg("records"));
}

template <typename Spans>
py::list from_mapped(const std::vector<Spans>& lists) {
  if constexpr (std::is_same_v<Spans, WordSpans>) {
    return from_span_lists(lists);
  } else if constexpr (std::is_same_v<Spans, std::string>) {
    return from_strings(lists);
  } else {
    return from_sequences(lists);
  }
}

constexpr const char* kConvertDoc = R"doc(convert(self, label, prediction, index=None)
--

Maps one gold and one predicted record of the task to its label lists.

Parameters
----------
label : dict
    The gold record, in the task's record format.
prediction : dict
    The predicted record, in the same format.
index : int or None, default=None
    The instance's position, used in error messages only.

Returns
-------
(gold, predicted) : tuple of two lists
    The instance's gold and predicted label lists, for the caller to append to its running
    lists: tag sequences ("B-"/"I-" + type, "O"; one tag per character) for ner, pos and event,
    relation or attribute labels ("na" where one side has none) for relation and attribute,
    word spans [start, end] for cws.

Raises
------
TypeError
    A record is not a dict, or a value has the wrong kind.
KeyError
    A key the format requires is missing; the key is the exception's argument.
ValueError
    The two records' texts differ ("text is different on line: <index>").
)doc";

// The constructor section of a mapper's or miner's class docstring.
std::string class_doc(const char* summary) {
  return std::string(summary) + R"doc(

Parameters
----------
None. Mappers and miners keep no state: Instrument() hands out one shared object per task.
)doc";
}

template <typename Mapper>
void bind_mapper(py::module_& module, const char* name, const char* summary) {
  py::class_<Mapper>(module, name, class_doc(summary).c_str())
      .def(py::init<>())
      .def(
          "convert",
          [](const Mapper& mapper, py::handle label, py::handle prediction, py::handle index) {
            Records gold = to_record(label, "label");
            Records pred = to_record(prediction, "prediction");
            std::optional<int64_t> position = to_optional_int(index, "index");
            auto [gold_list, pred_list] = [&] {
              py::gil_scoped_release release;
              return mapper.convert(gold[0], pred[0], position);
            }();
            return py::make_tuple(from_mapped(gold_list), from_mapped(pred_list));
          },
          py::arg("label"), py::arg("prediction"), py::arg("index") = py::none(), kConvertDoc);
}

constexpr const char* kGenerateErrors = R"doc(
Raises
------
TypeError
    A record is not a dict, a value has the wrong kind, or id_ is not an int.
KeyError
    A key the format requires is missing; the key is the exception's argument.
ValueError
    The two records' texts differ.
)doc";

template <typename Miner>
void bind_miner(py::module_& module, const char* name, const char* summary) {
  static const std::string generate_doc = std::string(R"doc(generate(self, label, prediction, id_)
--

Describes, element by element, what one prediction got wrong.

Parameters
----------
label : dict
    The gold record, in the task's record format.
prediction : dict
    The predicted record, in the same format.
id_ : int
    The instance's index, kept in the result.

Returns
-------
Label2PredData
    The instance's index, text and one Desc per compared element (with its error_type when
    the element is wrong).
)doc") + kGenerateErrors;
  py::class_<Miner>(module, name, class_doc(summary).c_str())
      .def(py::init<>())
      .def(
          "generate",
          [](const Miner& miner, py::handle label, py::handle prediction, py::handle id_) {
            Records gold = to_record(label, "label");
            Records pred = to_record(prediction, "prediction");
            int64_t number = to_int(id_, "id_");
            py::gil_scoped_release release;
            return miner.generate(gold[0], pred[0], number);
          },
          py::arg("label"), py::arg("prediction"), py::arg("id_"), generate_doc.c_str());
}

std::optional<EntityCount> to_entity2count(py::handle value) {
  if (value.is_none()) return std::nullopt;
  if (!PyDict_Check(value.ptr())) throw_kind("entity2count", "dict or None", value);
  EntityCount counts;
  for (auto [entity, count] : value.cast<py::dict>()) {
    std::string name = to_string(entity, "entity2count key");
    counts[name] = to_int(count, "entity2count[" + name + "]");
  }
  return counts;
}

void bind_entity_miner(py::module_& module) {
  static const std::string generate_doc =
      std::string(
          R"doc(generate(self, label, prediction, id_, entity2count=None, evaluate_labels=None)
--

Describes, entity by entity, what one "ner" prediction got wrong.

Parameters
----------
label : dict
    The gold "ner" record: "text" and "entities" ({"offset", "length", "type"}).
prediction : dict
    The predicted "ner" record.
id_ : int
    The instance's index, kept in the result.
entity2count : dict of str to int or None, default=None
    Counts of entity texts; when given, each Desc gets true_count and pred_count.
evaluate_labels : list of str or None, default=None
    Entity types to describe; a pair is kept when either side's type is listed. None keeps
    every pair.

Returns
-------
Label2PredData
    The instance's index, text and one Desc per pair of overlapping gold and predicted
    entities.
)doc") +
      kGenerateErrors;
  py::class_<EntityMiner>(module, "EntityMiner",
                          class_doc("The \"ner\" miner: pairs gold and predicted entities by "
                                    "their extents and describes each pair.")
                              .c_str())
      .def(py::init<>())
      .def(
          "generate",
          [](const EntityMiner& miner, py::handle label, py::handle prediction, py::handle id_,
             py::handle entity2count, py::handle evaluate_labels) {
            Records gold = to_record(label, "label");
            Records pred = to_record(prediction, "prediction");
            int64_t number = to_int(id_, "id_");
            std::optional<EntityCount> counts = to_entity2count(entity2count);
            auto labels = to_optional_strings(evaluate_labels, "evaluate_labels");
            py::gil_scoped_release release;
            return miner.generate(gold[0], pred[0], number, counts, labels);
          },
          py::arg("label"), py::arg("prediction"), py::arg("id_"),
          py::arg("entity2count") = py::none(), py::arg("evaluate_labels") = py::none(),
          generate_doc.c_str());
}

// The registry's keys are task types. Another value is looked up as a dict would: a hashable
// one is simply not a key, an unhashable one cannot be a key at all.
std::string to_type_key(py::handle type_) {
  if (PyUnicode_Check(type_.ptr())) return to_string(type_, "type_");
  if (PyObject_Hash(type_.ptr()) == -1) {
    PyErr_Clear();
    throw TypeError("type_: unhashable type: '" + std::string(Py_TYPE(type_.ptr())->tp_name) + "'");
  }
  throw_key_error(type_);
}

// The shared object itself, so that every call returns the same Python object.
template <typename Variant>
py::object shared_object(const Variant& tool) {
  return std::visit(
      [](auto* object) { return py::cast(object, py::return_value_policy::reference); }, tool);
}

constexpr const char* kLookupErrors = R"doc(
Raises
------
KeyError
    type_ is not a record task type (e.g. "dp", "srl", or "NER": keys are case-sensitive);
    the key itself is the exception's argument.
TypeError
    type_ cannot be a key at all (an unhashable value such as a list).
)doc";

// The task types, in the command line's order, from the library's task table.
py::tuple task_types() {
  py::list names;
  for (const TaskDescriptor& task : task_descriptors()) names.append(py::str(std::string(task.name)));
  return py::tuple(names);
}

void bind_registry(py::module_& module) {
  module.attr("TASK_TYPES") = task_types();
  // The signatures are written by hand: pybind's would name the raw argument type.
  py::options options;
  options.disable_function_signatures();
  bind_mapper<EventMapper>(module, "EventMapper",
                           "The \"event\" mapper: trigger and argument tags.");
  bind_mapper<RelationMapper>(module, "RelationMapper",
                              "The \"relation\" mapper: one label per entity pair.");
  bind_mapper<EntityMapper>(module, "EntityMapper",
                            "The \"ner\" mapper: one BIO tag per character of the text.");
  bind_mapper<AttributeMapper>(module, "AttributeMapper",
                               "The \"attribute\" mapper: one label per entity and attribute.");
  bind_mapper<CwsMapper>(module, "CwsMapper", "The \"cws\" mapper: the word spans of a text.");
  bind_mapper<PosMapper>(module, "PosMapper",
                         "The \"pos\" mapper: one BIO part-of-speech tag per character.");
  bind_miner<EventMiner>(module, "EventMiner", "The \"event\" miner.");
  bind_miner<RelationMiner>(module, "RelationMiner", "The \"relation\" miner.");
  bind_entity_miner(module);
  bind_miner<AttributeMiner>(module, "AttributeMiner", "The \"attribute\" miner.");
  bind_miner<CwsMiner>(module, "CwsMiner", "The \"cws\" miner.");
  bind_miner<PosMiner>(module, "PosMiner", "The \"pos\" miner.");
  static const std::string get_generator_doc = std::string(R"doc(get_generator(self, type_)
--

The shared miner of a record task type.

Parameters
----------
type_ : str
    "event", "relation", "ner", "attribute", "cws" or "pos".

Returns
-------
EventMiner, RelationMiner, EntityMiner, AttributeMiner, CwsMiner or PosMiner
    The same object on every call, from every Instrument.
)doc") + kLookupErrors;
  static const std::string get_convertor_doc = std::string(R"doc(get_convertor(self, type_)
--

The shared mapper of a record task type.

Parameters
----------
type_ : str
    "event", "relation", "ner", "attribute", "cws" or "pos".

Returns
-------
EventMapper, RelationMapper, EntityMapper, AttributeMapper, CwsMapper or PosMapper
    The same object on every call, from every Instrument.
)doc") + kLookupErrors;
  py::class_<Instrument>(module, "Instrument", R"doc(Instrument()
--

The task registry: the shared miner and mapper of each record task type.

Parameters
----------
None; every Instrument shares one fixed table.
)doc")
      .def(py::init<>())
      .def(
          "get_generator",
          [](const Instrument& registry, py::handle type_) {
            return shared_object(registry.get_generator(to_type_key(type_)));
          },
          py::arg("type_"), get_generator_doc.c_str())
      .def(
          "get_convertor",
          [](const Instrument& registry, py::handle type_) {
            return shared_object(registry.get_convertor(to_type_key(type_)));
          },
          py::arg("type_"), get_convertor_doc.c_str());
}

}  // namespace

void bind_evaluator(py::module_& module) {
  bind_entry_functions(module);
  bind_registry(module);
}

}  // namespace nlpeval::python

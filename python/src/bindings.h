#ifndef NLPEVAL_PYTHON_BINDINGS_H_
#define NLPEVAL_PYTHON_BINDINGS_H_

// The parts of the extension module nlpeval._nlpeval, one function per area.

#include <pybind11/iostream.h>
#include <pybind11/pybind11.h>

#include <optional>

namespace nlpeval::python {

namespace py = pybind11;

// Badcase records (Desc, Label2PredData) and the constants of Const and Error.
void bind_records(py::module_& module);

// The entry functions, the registry and its mappers and miners.
void bind_evaluator(py::module_& module);

// nlpeval.Evaluation.
void bind_evaluation(py::module_& module);

// label_score, label_na_score, cws_score, dp_score and the CoNLL readers, srl_evaluate, and
// the span tools.
void bind_scoring(py::module_& module);

// Flat-label primitives, chunk-level sequence scorers, character-level metrics, the
// confusion-matrix picture.
void bind_metrics(py::module_& module);

// Private hooks that show the tapes the record writer and simdjson's parser make, so that
// tests can compare them.
void bind_tape_check(py::module_& module);

// Runs `work` with the GIL released: the library's own work touches no Python object.
template <typename Work>
auto without_gil(Work&& work) {
  py::gil_scoped_release release;
  return work();
}

// While alive and `active`, what the library prints to std::cout goes to Python's sys.stdout
// (so notebooks and contextlib.redirect_stdout see it). Create it with the GIL held; the
// stream takes the GIL whenever it writes, so the library may print with the GIL released.
// std::cout is one per process: two threads printing at once would share the redirection.
class PrintToPython {
 public:
  explicit PrintToPython(bool active) {
    if (active) redirect_.emplace();
  }

 private:
  std::optional<py::scoped_ostream_redirect> redirect_;
};

}  // namespace nlpeval::python

#endif  // NLPEVAL_PYTHON_BINDINGS_H_

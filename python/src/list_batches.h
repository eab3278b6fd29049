#ifndef NLPEVAL_PYTHON_LIST_BATCHES_H_
#define NLPEVAL_PYTHON_LIST_BATCHES_H_

// A Python list of records handed to the library batch by batch (evaluate_batches), so that
// the library validates and tags one batch on its reading thread while the next is converted.
// Converting takes the GIL, batch by batch, on whichever thread the library calls from.

#include <pybind11/pybind11.h>

#include <string>

#include "nlpeval/evaluator/evaluator.h"

namespace nlpeval::python {

namespace py = pybind11;

class ListBatches {
 public:
  // Records a thousand or so at a time, as the file road's chunks hold: enough to keep the
  // GIL changing hands rarely, few enough to stay in cache while they wait.
  static constexpr size_t kBatchRecords = 1024;

  // Takes a snapshot of the items of `list` (a list or a tuple, checked by the caller), so that
  // the batches stay those of the list at the call. Call with the GIL held; the object must
  // outlive the source and be destroyed with the GIL held.
  ListBatches(py::handle list, std::string what);

  // The source of the batches, converted as to_records does, elements named "<what>[<i>]".
  RecordBatchSource source();

 private:
  py::tuple items_;
  std::string what_;
};

}  // namespace nlpeval::python

#endif  // NLPEVAL_PYTHON_LIST_BATCHES_H_

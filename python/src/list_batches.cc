#include "list_batches.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "convert.h"

namespace nlpeval::python {

ListBatches::ListBatches(py::handle list, std::string what)
    : items_(py::reinterpret_borrow<py::tuple>(PyTuple_Check(list.ptr()) ? list.ptr() : nullptr)),
      what_(std::move(what)) {
  if (!items_) items_ = py::reinterpret_steal<py::tuple>(PyList_AsTuple(list.ptr()));
  if (!items_) throw py::error_already_set();
}

RecordBatchSource ListBatches::source() {
  // The source holds no Python object: the library copies and drops it without the GIL.
  struct Walk {
    PyObject* items;
    const std::string* what;
    size_t size;
    size_t next = 0;
  };
  auto walk = std::make_shared<Walk>(
      Walk{items_.ptr(), &what_, static_cast<size_t>(PyTuple_GET_SIZE(items_.ptr()))});
  return [walk](Records& batch) {
    if (walk->next == walk->size) return false;
    const size_t end = std::min(walk->size, walk->next + kBatchRecords);
    {
      py::gil_scoped_acquire acquire;
      batch = to_records(walk->items, *walk->what, walk->next, end);
    }
    walk->next = end;
    return true;
  };
}

}  // namespace nlpeval::python

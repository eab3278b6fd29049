// Desc and Label2PredData as Python classes, and the constants of Const and Error.

#include <string>
#include <vector>

#include "bindings.h"
#include "convert.h"
#include "nlpeval/evaluator/badcase/const.h"
#include "nlpeval/evaluator/badcase/types.h"

namespace nlpeval::python {
namespace {

std::vector<Desc> to_descs(py::handle value, std::string_view what) {
  if (!is_list(value)) throw_kind(what, "list", value);
  std::vector<Desc> descs;
  size_t index = 0;
  for (py::handle item : value) {
    if (!py::isinstance<Desc>(item)) throw_kind(element_name(what, index), "Desc", item);
    descs.push_back(item.cast<const Desc&>());
    ++index;
  }
  return descs;
}

py::list from_descs(const std::vector<Desc>& descs) {
  py::list list;
  for (const Desc& desc : descs) list.append(py::cast(desc));
  return list;
}

void bind_desc(py::module_& module) {
  py::class_<Desc>(
      module, "Desc",
      R"doc(Desc(pred_type=None, pred_desc=None, label_type=None, label_desc=None, error_type=None, is_right=0, other={})
--

One compared element of a badcase record: named fields in the order each was first set.

Fields are read and written as attributes; reading a field that was never set raises
AttributeError. Two Descs are equal when they hold the same fields with the same values, in
any order. None stands for Const.NONE.

Parameters
----------
pred_type, pred_desc, label_type, label_desc, error_type : JSON value, default=None
    The first fields, in this order.
is_right : JSON value, default=0
    1 for a right element, 0 for a wrong one.
other : JSON value, default={}
    Anything else to keep with the element.

Raises
------
TypeError
    A value JSON cannot hold (a set, an object, a dict key that is not a str).
ValueError
    An integer beyond 64 bits or a float that is not finite.
)doc")
      .def(py::init([](py::handle pred_type, py::handle pred_desc, py::handle label_type,
                       py::handle label_desc, py::handle error_type, py::handle is_right,
                       py::handle other) {
             return Desc(to_value(pred_type, "pred_type"), to_value(pred_desc, "pred_desc"),
                         to_value(label_type, "label_type"), to_value(label_desc, "label_desc"),
                         to_value(error_type, "error_type"), to_value(is_right, "is_right"),
                         to_value(other, "other"));
           }),
           py::arg("pred_type") = py::none(), py::arg("pred_desc") = py::none(),
           py::arg("label_type") = py::none(), py::arg("label_desc") = py::none(),
           py::arg("error_type") = py::none(), py::arg("is_right") = 0,
           py::arg("other") = py::dict())
      // Called only when ordinary lookup fails, so methods and dunders stay reachable.
      .def(
          "__getattr__",
          [](const Desc& desc, const std::string& field) { return from_value(desc.get(field)); },
          "__getattr__(self, field)\n--\n\nThe value of a field; AttributeError when unset.")
      .def(
          "__setattr__",
          [](Desc& desc, const std::string& field, py::handle value) {
            desc.set(field, to_value(value, field));
          },
          "__setattr__(self, field, value)\n--\n\nSets a field to a JSON value.")
      .def(
          "__eq__",
          [](const Desc& desc, py::handle other) -> py::object {
            if (!py::isinstance<Desc>(other))
              return py::reinterpret_borrow<py::object>(Py_NotImplemented);
            return py::bool_(desc == other.cast<const Desc&>());
          },
          "__eq__(self, other)\n--\n\nThe same fields with the same values, in any order.")
      .def("__repr__", &Desc::to_string, "__repr__(self)\n--\n\nThe fields as text.")
      .def(
          "__dir__",
          [](const Desc& desc) {
            py::list names;
            for (const auto& [name, value] : desc.fields().items()) names.append(name);
            return names;
          },
          "__dir__(self)\n--\n\nThe names of the fields set so far, in order.")
      .attr("__hash__") = py::none();
}

void bind_label2preddata(py::module_& module) {
  py::class_<Label2PredData>(module, "Label2PredData", R"doc(Label2PredData(index, text, desc)
--

The badcase record of one instance: its index, its text and one Desc per compared element.

Parameters
----------
index : int
    The instance's position in the evaluated lists.
text : str
    The instance's text.
desc : list of Desc
    The compared elements. The attribute returns a copy: assign a new list to change it.

Raises
------
TypeError
    An argument of the wrong kind, naming it.
)doc")
      .def(py::init([](py::handle index, py::handle text, py::handle desc) {
             return Label2PredData(to_int(index, "index"), to_string(text, "text"),
                                   to_descs(desc, "desc"));
           }),
           py::arg("index"), py::arg("text"), py::arg("desc"))
      .def_property(
          "index", [](const Label2PredData& data) { return data.index; },
          [](Label2PredData& data, py::handle index) { data.index = to_int(index, "index"); })
      .def_property(
          "text", [](const Label2PredData& data) { return data.text; },
          [](Label2PredData& data, py::handle text) { data.text = to_string(text, "text"); })
      // A copy: appending to the returned list does not change the record; assign instead.
      .def_property(
          "desc", [](const Label2PredData& data) { return from_descs(data.desc); },
          [](Label2PredData& data, py::handle desc) { data.desc = to_descs(desc, "desc"); })
      .def(
          "__eq__",
          [](const Label2PredData& data, py::handle other) -> py::object {
            if (!py::isinstance<Label2PredData>(other)) {
              return py::reinterpret_borrow<py::object>(Py_NotImplemented);
            }
            return py::bool_(data == other.cast<const Label2PredData&>());
          },
          "__eq__(self, other)\n--\n\nThe same index, text and Descs.")
      .def("__repr__", &Label2PredData::to_string, "__repr__(self)\n--\n\nThe record as text.")
      .attr("__hash__") = py::none();
}

void bind_constants(py::module_& module) {
  py::dict error_kinds;
  error_kinds["TYPE_ERROR"] = badcase::Error::TYPE_ERROR;
  error_kinds["TRUE_NONE_ERROR"] = badcase::Error::TRUE_NONE_ERROR;
  error_kinds["PRED_NONE_ERROR"] = badcase::Error::PRED_NONE_ERROR;
  error_kinds["TRUE_IN_PRED"] = badcase::Error::TRUE_IN_PRED;
  error_kinds["PRED_IN_TRUE"] = badcase::Error::PRED_IN_TRUE;
  error_kinds["PRED_CROSS_TRUE"] = badcase::Error::PRED_CROSS_TRUE;
  error_kinds["ORDER_ERROR"] = badcase::Error::ORDER_ERROR;
  module.attr("ERROR_KINDS") = error_kinds;
  module.attr("CONST_NONE") = from_value(badcase::Const::NONE);
}

}  // namespace

void bind_records(py::module_& module) {
  // The signatures are written by hand: pybind's would name the raw argument type.
  py::options options;
  options.disable_function_signatures();
  bind_desc(module);
  bind_label2preddata(module);
  bind_constants(module);
}

}  // namespace nlpeval::python

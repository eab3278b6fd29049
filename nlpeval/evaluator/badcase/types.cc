#include "nlpeval/evaluator/badcase/types.h"

#include <utility>

#include "nlpeval/core/errors.h"

namespace nlpeval {
namespace {

// The seven declared fields and the few a miner adds.
constexpr size_t kUsualFields = 12;

}  // namespace

Desc::Desc(Value pred_type, Value pred_desc, Value label_type, Value label_desc, Value error_type,
           Value is_right, Value other)
    : fields_(Value::object()) {
  // Room for the fields from the start, rather than growing the list as they come.
  fields_.get_ref<Value::object_t&>().reserve(kUsualFields);
  set("pred_type", std::move(pred_type))
      .set("pred_desc", std::move(pred_desc))
      .set("label_type", std::move(label_type))
      .set("label_desc", std::move(label_desc))
      .set("error_type", std::move(error_type))
      .set("is_right", std::move(is_right))
      .set("other", std::move(other));
}

const Value& Desc::get(std::string_view field) const {
  // The members in order, compared as views: the spreadsheet asks for every column of every
  // row, and a lookup by std::string would build one each time.
  for (const auto& [key, value] : fields_.get_ref<const Value::object_t&>()) {
    if (key == field) return value;
  }
  throw AttributeError("'Desc' object has no attribute '" + std::string(field) + "'");
}

Desc& Desc::set(std::string_view field, Value value) {
  fields_[std::string(field)] = std::move(value);
  return *this;
}

bool Desc::has(std::string_view field) const { return fields_.contains(std::string(field)); }

std::string Desc::to_string() const { return repr(fields_); }

Label2PredData::Label2PredData(int64_t index, std::string text, std::vector<Desc> desc)
    : index(index), text(std::move(text)), desc(std::move(desc)) {}

std::string Label2PredData::to_string() const {
  std::string out = "<" + text + ", ";
  const char* separator = "";
  for (const Desc& element : desc) {
    out += std::exchange(separator, ", ");
    out += element.to_string();
  }
  return out + ">";
}

std::string_view shared_text(const Record& label, const Record& prediction) {
  label.expect_object("label");
  prediction.expect_object("prediction");
  const std::optional<std::string_view> text = shared_text_of(label, prediction);
  if (!text) throw ValueError("text is different");
  return *text;
}

}  // namespace nlpeval

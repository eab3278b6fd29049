#ifndef NLPEVAL_EVALUATOR_BADCASE_TYPES_H_
#define NLPEVAL_EVALUATOR_BADCASE_TYPES_H_

// Badcase records: a Desc compares one gold element with the predicted element at the same
// place, and a Label2PredData holds the Descs of one instance. Miners create them, the
// evaluation driver collects them and the badcase spreadsheet writes one row per Desc.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/core/tags.h"
#include "nlpeval/core/value.h"
#include "nlpeval/evaluator/badcase/const.h"

namespace nlpeval {

// One compared element: an open record of named fields kept in the order each was first set.
// Construction sets the seven declared fields; miners may set them again and add more (the
// spreadsheet reads columns such as "true_text" by field name).
class Desc {
 public:
  explicit Desc(Value pred_type = badcase::Const::NONE, Value pred_desc = badcase::Const::NONE,
                Value label_type = badcase::Const::NONE, Value label_desc = badcase::Const::NONE,
                Value error_type = badcase::Const::NONE, Value is_right = 0,
                Value other = Value::object());

  // Returns the value of `field`. Throws AttributeError when the field was never set.
  const Value& get(std::string_view field) const;

  // Sets `field` to `value`. A new field goes after the existing ones; an existing field keeps
  // its place. Returns this record, so that several fields can be set in one statement.
  Desc& set(std::string_view field, Value value);

  bool has(std::string_view field) const;

  // All fields as an object, in field order.
  const Value& fields() const { return fields_; }

  // Returns "{'pred_type': NONE, ...}", the text form of the fields in field order.
  std::string to_string() const;

  // Same field names with equal values; the order in which fields were set does not matter.
  friend bool operator==(const Desc& a, const Desc& b) {
    return equal_ignoring_order(a.fields_, b.fields_);
  }

 private:
  Value fields_;
};

// The badcase record of one instance. `desc` being a list is guaranteed by its C++ type here;
// the Python bindings check it (TypeError naming "desc") at their boundary.
class Label2PredData {
 public:
  Label2PredData(int64_t index, std::string text, std::vector<Desc> desc);

  // Returns "<" + text + ", " + the text forms of the Descs joined by ", " + ">"; an empty
  // desc list gives "<text, >".
  std::string to_string() const;

  // Compares index, text and the desc lists element by element.
  friend bool operator==(const Label2PredData& a, const Label2PredData& b) = default;

  int64_t index;  // 1-based instance number
  std::string text;
  std::vector<Desc> desc;  // in the miner's order; may be empty
};

// The text of an instance, as every miner checks it first: TypeError naming "label" or
// "prediction" unless both records are objects, KeyError for a missing "text", ValueError
// "text is different" when the two texts differ as values, and only then TypeError for a text
// that is not a string.
std::string_view shared_text(const Record& label, const Record& prediction);

// What the driver lends the miners for a whole evaluation: the entity counts and the labels to
// evaluate, which the entity miner reads, and a tagger whose vocabulary and buffers are reused
// from one instance to the next by the miners that tag.
struct MiningContext {
  const std::optional<std::unordered_map<std::string, int64_t>>& entity2count;
  const std::optional<std::vector<std::string>>& evaluate_labels;
  BioTagger& tagger;
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_BADCASE_TYPES_H_

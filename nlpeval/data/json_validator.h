#ifndef NLPEVAL_DATA_JSON_VALIDATOR_H_
#define NLPEVAL_DATA_JSON_VALIDATOR_H_

// Record validators: they check one gold or predicted record before any mapping and raise
// ValueError on the first thing wrong with it. Messages name the record by its 1-based
// number, prefixed by "<origin>: " (typically "file:line") when the caller gives an origin.

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/record.h"

namespace nlpeval {

// Checks records against a caller's JSON Schema (draft 7).
//
// The schema is compiled once and reused for as long as the same schema is passed again, so
// one validator should serve all records of an evaluation. The cache makes an object unsafe
// to share between threads; give each thread its own.
class JsonValidator {
 public:
  JsonValidator();
  ~JsonValidator();
  JsonValidator(JsonValidator&&) noexcept;
  JsonValidator& operator=(JsonValidator&&) noexcept;

  // Checks `line`, record `index` (0-based) of its list, against `schema`.
  //
  // Throws ValueError "[<origin>: ]record <index+1>: <pointer>: <rule>" when the record does
  // not conform, <pointer> being the JSON pointer of the offending value ("/" for the record
  // itself) and <rule> the description of the rule that failed. Records are also refused,
  // in the same form, where the schema engine cannot take them safely: integers beyond the
  // signed 64-bit range, and strings of more than 1000 bytes (or runs of more than 1000
  // digits) where the schema sends them through a backtracking regular expression
  // ("patternProperties", a "pattern" with back-references, "format" date, time, date-time).
  //
  // Throws ValueError "invalid JSON Schema (draft 7): ..." when `schema` is not a valid
  // draft-7 schema, or one the engine would recurse on forever ("$ref" loops that never step
  // into the value, such as {"$ref": "#"}).
  void validate(const Record& line, const nlohmann::ordered_json& schema, int64_t index,
                std::string_view origin = {}) const;

 private:
  struct Compiled;

  // The compiled form of `schema`, compiling it when it differs from the cached one.
  Compiled& _compiled(const nlohmann::ordered_json& schema) const;

  mutable std::optional<nlohmann::ordered_json> schema_;
  mutable std::unique_ptr<Compiled> compiled_;
};

// Checks records against the record format of a task type: "ner", "pos", "cws", "relation",
// "attribute", "event". Every key a format lists is required with its kind, recursively;
// other keys are ignored. Integers are JSON integers within the signed 64-bit range (no
// floats, no booleans). An "event" record may be in the gold or in the predicted format.
class MvrcloudJsonValidator {
 public:
  // Checks `line`, record `index` (0-based) of its list, against the format of `type_`.
  //
  // Throws ValueError "[<origin>: ]record <index+1> (<type>): [<path>: ]<what>", for example
  // "record 4 (ner): entities[1].offset: expected integer, got string", and KeyError naming
  // `type_` when it is not one of known_types(). Does not allocate when the record conforms.
  void validate(const Record& line, std::string_view type_, int64_t index,
                std::string_view origin = {}) const;

  // The task types with a record format, in the order listed above.
  static const std::vector<std::string>& known_types();
};

}  // namespace nlpeval

#endif  // NLPEVAL_DATA_JSON_VALIDATOR_H_

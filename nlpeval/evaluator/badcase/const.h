#ifndef NLPEVAL_EVALUATOR_BADCASE_CONST_H_
#define NLPEVAL_EVALUATOR_BADCASE_CONST_H_

// The marker for "nothing on this side" and the error kinds that miners write into badcase
// records. They live in nlpeval::badcase because nlpeval::Error is the exception base.

#include <nlohmann/json.hpp>

namespace nlpeval::badcase {

struct Const {
  // Null: distinct from every text a record can hold; cells and text forms show it as NONE.
  static const nlohmann::ordered_json NONE;
};

// Error kinds of a badcase element, stored in its `error_type` field.
struct Error {
  // Both sides present at the same place, with different types or names.
  static constexpr const char* TYPE_ERROR = "TYPE_ERROR";
  // A predicted element without a gold counterpart.
  static constexpr const char* TRUE_NONE_ERROR = "TRUE_NONE_ERROR";
  // A gold element without a predicted counterpart.
  static constexpr const char* PRED_NONE_ERROR = "PRED_NONE_ERROR";
  // The gold span lies within the predicted span.
  static constexpr const char* TRUE_IN_PRED = "TRUE_IN_PRED";
  // The predicted span lies within the gold span.
  static constexpr const char* PRED_IN_TRUE = "PRED_IN_TRUE";
  // The spans overlap without either containing the other.
  static constexpr const char* PRED_CROSS_TRUE = "PRED_CROSS_TRUE";
  // A relation of the right name with head and tail swapped.
  static constexpr const char* ORDER_ERROR = "ORDER_ERROR";
};

}  // namespace nlpeval::badcase

#endif  // NLPEVAL_EVALUATOR_BADCASE_CONST_H_

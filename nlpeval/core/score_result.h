#ifndef NLPEVAL_CORE_SCORE_RESULT_H_
#define NLPEVAL_CORE_SCORE_RESULT_H_

// The four values every scoring function of the record tasks returns.

#include <nlohmann/json.hpp>
#include <string>

namespace nlpeval {

struct ScoreResult {
  double precision = 0.0;
  double recall = 0.0;
  double f1 = 0.0;
  std::string classification_report;

  // {"precision", "recall", "f1", "classification_report"}, in that order.
  nlohmann::ordered_json to_json() const {
    nlohmann::ordered_json json;
    json["precision"] = precision;
    json["recall"] = recall;
    json["f1"] = f1;
    json["classification_report"] = classification_report;
    return json;
  }

  friend bool operator==(const ScoreResult&, const ScoreResult&) = default;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_SCORE_RESULT_H_

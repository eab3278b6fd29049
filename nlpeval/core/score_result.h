#ifndef NLPEVAL_CORE_SCORE_RESULT_H_
#define NLPEVAL_CORE_SCORE_RESULT_H_

// The values every scoring function of the record tasks returns.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "nlpeval/core/tag_collisions.h"

namespace nlpeval {

// One label row of a classification report, as numbers.
struct LabelScore {
  std::string label;
  double precision = 0.0;
  double recall = 0.0;
  double f1 = 0.0;
  int64_t support = 0;

  friend bool operator==(const LabelScore&, const LabelScore&) = default;
};

struct ScoreResult {
  double precision = 0.0;
  double recall = 0.0;
  double f1 = 0.0;
  std::string classification_report;
  // The report's label rows as numbers, in the report's order; empty when it has none.
  std::vector<LabelScore> per_label;
  // Of both sides, for the tasks scored by the tags of elements with offsets ("ner", "pos").
  TagCollisions collisions;

  // {"precision", "recall", "f1", "classification_report"}, in that order, then
  // "per_label": {label: {"precision", "recall", "f1", "support"}} and
  // "warnings": {"overlapping_elements", "elements_outside_text"}.
  nlohmann::ordered_json to_json() const {
    nlohmann::ordered_json json;
    json["precision"] = precision;
    json["recall"] = recall;
    json["f1"] = f1;
    json["classification_report"] = classification_report;
    nlohmann::ordered_json labels = nlohmann::ordered_json::object();
    for (const LabelScore& row : per_label) {
      labels[row.label] = {{"precision", row.precision},
                           {"recall", row.recall},
                           {"f1", row.f1},
                           {"support", row.support}};
    }
    json["per_label"] = std::move(labels);
    json["warnings"] = {{"overlapping_elements", collisions.overlapping},
                        {"elements_outside_text", collisions.outside_text}};
    return json;
  }

  friend bool operator==(const ScoreResult&, const ScoreResult&) = default;
};

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_SCORE_RESULT_H_

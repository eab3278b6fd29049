#include "nlpeval/evaluator/evaluates/label_score.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "nlpeval/metrics/sequence_metrics.h"

namespace nlpeval {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using Sequences = std::vector<std::vector<std::string>>;

const Sequences kGold = {{"B-PER", "I-PER", "O", "B-LOC"}, {"B-ORG", "O"}};
const Sequences kPred = {{"B-PER", "I-PER", "O", "O"}, {"B-ORG", "B-LOC"}};

TEST(LabelScore, NullLabelsScoreEveryType) {
  ScoreResult result = label_score(kGold, kPred, std::nullopt);
  EXPECT_DOUBLE_EQ(result.precision, 2.0 / 3);
  EXPECT_DOUBLE_EQ(result.recall, 2.0 / 3);
  EXPECT_EQ(result, metrics::seq::score(kGold, kPred));
  EXPECT_THAT(result.classification_report, HasSubstr("         LOC "));
}

TEST(LabelScore, PassesTheLabelListOn) {
  std::vector<std::string> labels = {"PER", "LOC"};
  ScoreResult result = label_score(kGold, kPred, labels);
  EXPECT_DOUBLE_EQ(result.precision, 0.5);
  EXPECT_DOUBLE_EQ(result.recall, 0.5);
  EXPECT_EQ(result, metrics::seq::score(kGold, kPred, labels));
  EXPECT_THAT(result.classification_report, Not(HasSubstr("ORG")));
}

TEST(LabelScore, PerLabelHoldsTheReportRowsAsNumbers) {
  ScoreResult result = label_score(kGold, kPred, std::vector<std::string>{"PER", "LOC"});
  ASSERT_EQ(result.per_label.size(), 2u);
  EXPECT_EQ(result.per_label[0], (LabelScore{"PER", 1.0, 1.0, 1.0, 1}));
  EXPECT_EQ(result.per_label[1], (LabelScore{"LOC", 0.0, 0.0, 0.0, 1}));
  const metrics::ReportRows rows = metrics::seq::classification_report_rows(kGold, kPred);
  EXPECT_EQ(metrics::format_report(rows, 2),
            label_score(kGold, kPred, std::nullopt).classification_report);
}

TEST(LabelScore, NoInstancesScoreZero) {
  ScoreResult result = label_score({}, {}, std::nullopt);
  EXPECT_EQ(result.precision, 0.0);
  EXPECT_EQ(result.recall, 0.0);
  EXPECT_EQ(result.f1, 0.0);
  EXPECT_THAT(result.classification_report, HasSubstr("weighted avg       0.00"));
}

}  // namespace
}  // namespace nlpeval

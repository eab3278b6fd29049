#include "nlpeval/metrics/char_metrics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/metrics/metrics.h"
#include "test_support.h"

namespace nlpeval::metrics {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::message_of;
using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------------------
// filter_O and the scores

TEST(FilterO, KeepsPositionsWithATagAndLabelsWhereBothSidesHaveOne) {
  FilteredTags filtered = filter_O({"O", "B-a", "I-a", "O"}, {"O", "B-a", "O", "B-b"});
  EXPECT_THAT(filtered.y_true, ElementsAre("B-a", "I-a", "O"));
  EXPECT_THAT(filtered.y_pred, ElementsAre("B-a", "O", "B-b"));
  EXPECT_THAT(filtered.labels, ElementsAre("B-a"));
}

TEST(FilterO, LabelsInOrderOfFirstAppearanceGoldFirst) {
  FilteredTags filtered = filter_O({"B-b", "B-a", "B-c"}, {"B-c", "B-b", "B-a"});
  EXPECT_THAT(filtered.labels, ElementsAre("B-b", "B-c", "B-a"));
}

TEST(FilterO, ShorterPredictionIsIndexErrorLongerIsCut) {
  std::string message = message_of<IndexError>([] { filter_O({"B-a", "O", "O"}, {"B-a"}); });
  EXPECT_THAT(message, HasSubstr("1"));
  EXPECT_THAT(message, HasSubstr("3"));
  EXPECT_THROW(f1_score_by_char({"B-a", "O"}, {"B-a"}), IndexError);
  EXPECT_THROW(classification_report_by_char({"B-a", "O"}, {"B-a"}), IndexError);

  FilteredTags filtered = filter_O({"B-a", "O"}, {"B-a", "O", "B-b"});
  EXPECT_THAT(filtered.y_pred, ElementsAre("B-a"));
  EXPECT_DOUBLE_EQ(precision_score_by_char({"B-a", "O"}, {"B-a", "O", "B-b"}), 1.0);
}

// Gold B-a I-a B-b O against B-a O B-b B-a once the all-"O" positions are gone; the labels
// seen on both sides are B-a and B-b.
const Strings kGold = {"O", "B-a", "I-a", "O", "B-b", "O"};
const Strings kPredicted = {"O", "B-a", "O", "O", "B-b", "B-a"};

TEST(CharMetrics, ScoreTheFilteredLabelsByDefault) {
  EXPECT_DOUBLE_EQ(precision_score_by_char(kGold, kPredicted), 2.0 / 3);
  EXPECT_DOUBLE_EQ(recall_score_by_char(kGold, kPredicted), 1.0);
  EXPECT_DOUBLE_EQ(f1_score_by_char(kGold, kPredicted), 0.8);
  EXPECT_DOUBLE_EQ(accuracy_score_by_char(kGold, kPredicted), 0.5);
  EXPECT_EQ(classification_report_by_char(kGold, kPredicted),
            "              precision    recall  f1-score   support\n\n"
            "         B-a       0.50      1.00      0.67         1\n"
            "         B-b       1.00      1.00      1.00         1\n\n"
            "   micro avg       0.67      1.00      0.80         2\n"
            "   macro avg       0.75      1.00      0.83         2\n"
            "weighted avg       0.75      1.00      0.83         2\n");
}

TEST(CharMetrics, PassLabelsAverageAndDigitsOn) {
  Strings only_a = {"B-a"};
  EXPECT_DOUBLE_EQ(precision_score_by_char(kGold, kPredicted, only_a), 0.5);
  EXPECT_DOUBLE_EQ(f1_score_by_char(kGold, kPredicted, only_a), 2.0 / 3);
  EXPECT_DOUBLE_EQ(precision_score_by_char(kGold, kPredicted, std::nullopt, "macro"), 0.75);
  EXPECT_DOUBLE_EQ(recall_score_by_char(kGold, kPredicted, only_a, "weighted"), 1.0);
  EXPECT_THROW(f1_score_by_char(kGold, kPredicted, std::nullopt, "samples"), ValueError);
  // The accuracy takes no label list into account.
  EXPECT_DOUBLE_EQ(accuracy_score_by_char(kGold, kPredicted, only_a), 0.5);
  EXPECT_EQ(classification_report_by_char(kGold, kPredicted, Strings{"I-a", "B-a"}, 3),
            "              precision    recall  f1-score   support\n\n"
            "         I-a      0.000     0.000     0.000         1\n"
            "         B-a      0.500     1.000     0.667         1\n\n"
            "   micro avg      0.500     0.500     0.500         2\n"
            "   macro avg      0.250     0.500     0.333         2\n"
            "weighted avg      0.250     0.500     0.333         2\n");
}

TEST(CharMetrics, EmptyLabelListMeansTheFilteredLabels) {
  Strings none;
  EXPECT_EQ(precision_score_by_char(kGold, kPredicted, none),
            precision_score_by_char(kGold, kPredicted));
  EXPECT_EQ(recall_score_by_char(kGold, kPredicted, none, "macro"),
            recall_score_by_char(kGold, kPredicted, std::nullopt, "macro"));
  EXPECT_EQ(classification_report_by_char(kGold, kPredicted, none, 4),
            classification_report_by_char(kGold, kPredicted, std::nullopt, 4));
}

TEST(CharMetrics, NothingToScoreGivesZeros) {
  // All "O": two empty lists and an empty label list reach the primitives.
  Strings outside = {"O", "O"};
  EXPECT_EQ(f1_score_by_char(outside, outside), 0.0);
  EXPECT_EQ(accuracy_score_by_char(outside, outside), 0.0);
  EXPECT_EQ(classification_report_by_char(outside, outside),
            classification_report(Strings{}, Strings{}, Strings{}));

  // Tags on one side only: both positions stay, but no label is scored.
  Strings gold = {"B-a", "I-a"};
  EXPECT_EQ(precision_score_by_char(gold, outside), 0.0);
  EXPECT_EQ(recall_score_by_char(gold, outside), 0.0);
  EXPECT_EQ(accuracy_score_by_char(gold, outside), 0.0);
  EXPECT_EQ(classification_report_by_char(gold, outside),
            "              precision    recall  f1-score   support\n\n\n"
            "   micro avg       0.00      0.00      0.00         0\n"
            "   macro avg       0.00      0.00      0.00         0\n"
            "weighted avg       0.00      0.00      0.00         0\n");
}

// ---------------------------------------------------------------------------------------
// transform_by_char

// The tags for the arguments written as a JSON array.
Strings transform(const std::string& arguments, const Strings& words) {
  Records records = Records::parse("[" + arguments + "]");
  return transform_by_char(records[0].as_array("arguments"), words);
}

const Strings kWords = {"A", "BC", "D"};  // text "ABCD"

TEST(TransformByChar, ReadsBothArgumentFormats) {
  EXPECT_THAT(transform(R"([{"offset": [2, 3], "type": "time", "text": "D"},
                            {"offset": 0, "length": 1, "role": "who"}])",
                        kWords),
              ElementsAre("B-who", "O", "O", "B-time"));
  EXPECT_THAT(transform(R"([{"offset": [1, 2], "type": "what"}])", kWords),
              ElementsAre("O", "B-what", "I-what", "O"));
  EXPECT_THAT(transform("[]", kWords), ElementsAre("O", "O", "O", "O"));
  EXPECT_THAT(transform(R"([{"offset": 0, "length": 2, "role": "x"}])", {}), ElementsAre());
}

TEST(TransformByChar, CountsCodePoints) {
  EXPECT_THAT(transform(R"([{"offset": [1, 2], "type": "地点"},
                            {"offset": 4, "length": 1, "role": "人"}])",
                        {"北京", "欢迎", "你"}),
              ElementsAre("O", "O", "B-地点", "I-地点", "B-人"));
}

TEST(TransformByChar, LaterArgumentsWinPositionByPosition) {
  EXPECT_THAT(transform(R"([{"offset": 0, "length": 3, "role": "a"},
                            {"offset": 1, "length": 1, "role": "b"}])",
                        kWords),
              ElementsAre("B-a", "B-b", "I-a", "O"));
  EXPECT_THAT(transform(R"([{"offset": 1, "length": 1, "role": "b"},
                            {"offset": 0, "length": 3, "role": "a"}])",
                        kWords),
              ElementsAre("B-a", "I-a", "I-a", "O"));
  EXPECT_THAT(transform(R"([{"offset": 2, "length": 2, "role": "a"},
                            {"offset": [0, 1], "type": "b"},
                            {"offset": 0, "length": 3, "role": "c"},
                            {"offset": 3, "length": 0, "role": "d"}])",
                        kWords),
              ElementsAre("B-c", "I-c", "I-c", "B-d"));
}

TEST(TransformByChar, OnlyPositionsInsideTheTextAreTagged) {
  EXPECT_THAT(transform(R"([{"offset": -1, "length": 3, "role": "a"}])", kWords),
              ElementsAre("I-a", "I-a", "O", "O"));
  EXPECT_THAT(transform(R"([{"offset": 4, "length": 3, "role": "a"},
                            {"offset": 2, "length": 0, "role": "z"},
                            {"offset": 1, "length": -5, "role": "n"}])",
                        kWords),
              ElementsAre("O", "B-n", "B-z", "O"));
  // Extreme values neither overflow nor take time.
  EXPECT_THAT(transform(R"([{"offset": -9223372036854775808, "length": 9223372036854775807,
                             "role": "a"},
                            {"offset": 9223372036854775807, "length": 9223372036854775807,
                             "role": "b"},
                            {"offset": 3, "length": -9223372036854775808, "role": "c"},
                            {"offset": -5, "length": 9223372036854775807, "role": "d"}])",
                        kWords),
              ElementsAre("I-d", "I-d", "I-d", "I-d"));
}

TEST(TransformByChar, WordRangesFollowListSliceRules) {
  auto gold = [](int64_t start, int64_t end) {
    return transform(R"([{"offset": [)" + std::to_string(start) + ", " + std::to_string(end) +
                         R"(], "type": "t"}])",
                     kWords);
  };
  EXPECT_THAT(gold(1, 100), ElementsAre("O", "B-t", "I-t", "I-t"));
  EXPECT_THAT(gold(-2, -1), ElementsAre("O", "B-t", "I-t", "O"));
  EXPECT_THAT(gold(-100, 1), ElementsAre("B-t", "O", "O", "O"));
  // An empty range still marks where it starts, unless that is the end of the text.
  EXPECT_THAT(gold(2, 1), ElementsAre("O", "O", "O", "B-t"));
  EXPECT_THAT(gold(1, 1), ElementsAre("O", "B-t", "O", "O"));
  EXPECT_THAT(gold(5, 9), ElementsAre("O", "O", "O", "O"));
  EXPECT_THAT(gold(INT64_MIN, INT64_MAX), ElementsAre("B-t", "I-t", "I-t", "I-t"));
}

TEST(TransformByChar, OtherOffsetsMarkAPositionOnlyWhenTheyEqualOne) {
  EXPECT_THAT(transform(R"([{"offset": 2.0}])", kWords), ElementsAre("O", "O", "B-", "O"));
  for (std::string offset : {"2.5", "-1.0", "4.0", "1e300", "\"2\"", "true", "null", "{}"}) {
    EXPECT_THAT(transform(R"([{"offset": )" + offset + "}]", kWords),
                ElementsAre("O", "O", "O", "O"))
        << offset;
  }
}

TEST(TransformByChar, RefusesMalformedArguments) {
  auto key_of = [](const std::string& arguments) {
    try {
      transform(arguments, kWords);
    } catch (const KeyError& error) {
      return error.key();
    }
    return std::string("nothing");
  };
  EXPECT_EQ(key_of(R"([{"length": 1, "role": "a"}])"), "offset");
  EXPECT_EQ(key_of(R"([{"offset": 1, "length": 1}])"), "role");
  EXPECT_EQ(key_of(R"([{"offset": 1, "role": "a"}])"), "length");
  EXPECT_EQ(key_of(R"([{"offset": [0, 1], "role": "a"}])"), "type");

  EXPECT_THAT(
      message_of<IndexError>([] { transform(R"([{"offset": [1], "type": "a"}])", kWords); }),
      HasSubstr("offset"));
  EXPECT_THROW(transform(R"([{"offset": [], "type": "a"}])", kWords), IndexError);

  for (std::string argument : {
           R"({"offset": ["0", 1], "type": "a"})",
           R"({"offset": [0, 1.0], "type": "a"})",
           R"({"offset": [0, 1], "type": 7})",
           R"({"offset": 0, "length": "1", "role": "a"})",
           R"({"offset": 0, "length": true, "role": "a"})",
           R"({"offset": 0, "length": 1, "role": null})",
           R"("not an argument")",
       }) {
    EXPECT_THROW(transform("[" + argument + "]", kWords), TypeError) << argument;
  }
}

TEST(TransformByChar, ManyLongOverlappingArgumentsStayLinear) {
  constexpr int kCount = 50'000;
  Strings words(kCount, "字");
  std::string arguments = "[";
  for (int k = 0; k < kCount; ++k) {
    if (k > 0) arguments += ",";
    arguments += R"({"offset": )" + std::to_string(k % 7) + R"(, "length": 9000000000000000000,
                     "role": "r)" +
                 std::to_string(k) + "\"}";
  }
  arguments += "]";
  Strings tags = transform(arguments, words);
  ASSERT_EQ(tags.size(), static_cast<size_t>(kCount));
  int last = kCount - 1;
  size_t last_offset = last % 7;
  EXPECT_EQ(tags[0], "B-r" + std::to_string(last - last % 7));
  EXPECT_EQ(tags[last_offset], "B-r" + std::to_string(last));
  EXPECT_EQ(tags[last_offset + 1], "I-r" + std::to_string(last));
  EXPECT_EQ(tags.back(), "I-r" + std::to_string(last));
}

}  // namespace
}  // namespace nlpeval::metrics

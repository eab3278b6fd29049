#include "nlpeval/evaluator/evaluates/label_na_score.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/metrics/confusion_matrix.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::TempFile;
using Strings = std::vector<std::string>;

const Strings kGold = {"r1", "na", "na"};
const Strings kPredicted = {"r1", "r1", "na"};

TEST(LabelNaScore, LeavesNoRelationOutUnlessAsked) {
  ScoreResult without = label_na_score(kGold, kPredicted, false, std::nullopt);
  EXPECT_DOUBLE_EQ(without.precision, 0.5);
  EXPECT_DOUBLE_EQ(without.recall, 1.0);
  EXPECT_DOUBLE_EQ(without.f1, 2.0 / 3);
  EXPECT_EQ(without.classification_report,
            "              precision    recall  f1-score   support\n\n"
            "          r1       0.50      1.00      0.67         1\n\n"
            "   micro avg       0.50      1.00      0.67         1\n"
            "   macro avg       0.50      1.00      0.67         1\n"
            "weighted avg       0.50      1.00      0.67         1\n");

  ScoreResult with = label_na_score(kGold, kPredicted, true, std::nullopt);
  EXPECT_DOUBLE_EQ(with.precision, 2.0 / 3);
  EXPECT_DOUBLE_EQ(with.recall, 2.0 / 3);
  EXPECT_DOUBLE_EQ(with.f1, 2.0 / 3);
  EXPECT_EQ(with.classification_report,
            "              precision    recall  f1-score   support\n\n"
            "          na       1.00      0.50      0.67         2\n"
            "          r1       0.50      1.00      0.67         1\n\n"
            "    accuracy                           0.67         3\n"
            "   macro avg       0.75      0.75      0.67         3\n"
            "weighted avg       0.83      0.67      0.67         3\n");
}

TEST(LabelNaScore, PerLabelHoldsTheRowsOfTheScoredLabels) {
  const Strings gold = {"na", "a(e1,e2)", "b(e2,e1)", "a(e1,e2)"};
  const Strings pred = {"a(e1,e2)", "a(e1,e2)", "na", "b(e2,e1)"};
  const ScoreResult without_na = label_na_score(gold, pred, false, std::nullopt);
  ASSERT_EQ(without_na.per_label.size(), 2u);
  EXPECT_EQ(without_na.per_label[0], (LabelScore{"a(e1,e2)", 0.5, 0.5, 0.5, 2}));
  EXPECT_EQ(without_na.per_label[1], (LabelScore{"b(e2,e1)", 0.0, 0.0, 0.0, 1}));
  const ScoreResult with_na = label_na_score(gold, pred, true, std::nullopt);
  ASSERT_EQ(with_na.per_label.size(), 3u);
  EXPECT_EQ(with_na.per_label[2].label, "na");
}

// The evaluation counts label ids as they come instead of keeping the lists: every score, the
// report and the picture must be those of the lists.
TEST(LabelNaScore, CountedIdsScoreAndDrawAsTheLists) {
  const Strings names = {"na", "a(e1,e2)", "a(e2,e1)", "b(e1,e2)", "na(e1,e2)", "c(e1,e2)"};
  uint64_t state = 7;
  auto next = [&] { return (state = state * 6364136223846793005u + 1442695040888963407u) >> 33; };
  for (bool do_na : {false, true}) {
    TagVocabulary vocabulary;
    metrics::LabelIdCounter counted(/*keep_pairs=*/true);
    Strings gold;
    Strings pred;
    for (int k = 0; k < 500; ++k) {
      // Mostly agreeing, as predictions are; "c" only ever predicted.
      const std::string& g = names[next() % 5];
      const std::string& p = next() % 3 == 0 ? names[next() % names.size()] : g;
      gold.push_back(g);
      pred.push_back(p);
      counted.add(vocabulary.intern(g), vocabulary.intern(p));
    }
    TempFile listed_picture("", "listed.svg");
    TempFile counted_picture("", "counted.svg");
    const ScoreResult from_lists = label_na_score(gold, pred, do_na, listed_picture.path());
    const ScoreResult from_counts =
        label_na_score_counted(vocabulary, counted, do_na, counted_picture.path());
    EXPECT_EQ(from_counts.precision, from_lists.precision);
    EXPECT_EQ(from_counts.recall, from_lists.recall);
    EXPECT_EQ(from_counts.f1, from_lists.f1);
    EXPECT_EQ(from_counts.classification_report, from_lists.classification_report);
    EXPECT_EQ(from_counts.per_label, from_lists.per_label);
    // cairo numbers its surfaces across the process: the one difference allowed.
    auto picture = [](const std::string& path) {
      std::ifstream in(path);
      const std::string svg{std::istreambuf_iterator<char>(in), {}};
      return std::regex_replace(svg, std::regex("surface[0-9]+"), "surface");
    };
    const std::string listed_svg = picture(listed_picture.path());
    EXPECT_NE(listed_svg.find("<svg"), std::string::npos);
    EXPECT_TRUE(picture(counted_picture.path()) == listed_svg) << "the pictures differ";
  }
}

TEST(LabelNaScore, BothNoRelationLabelsAreLeftOut) {
  Strings gold = {"na(e1,e2)", "b", "na", "a"};
  Strings predicted = {"a", "na(e1,e2)", "na", "a"};
  ScoreResult without = label_na_score(gold, predicted, false, std::nullopt);
  // Listed: a, b. TP 1 (a), predicted 2 (a twice), gold 2 (a, b).
  EXPECT_DOUBLE_EQ(without.precision, 0.5);
  EXPECT_DOUBLE_EQ(without.recall, 0.5);
  EXPECT_THAT(without.classification_report, Not(HasSubstr("na")));

  ScoreResult with = label_na_score(gold, predicted, true, std::nullopt);
  EXPECT_DOUBLE_EQ(with.f1, 0.5);  // the accuracy: every label is listed
  std::string report = with.classification_report;
  EXPECT_LT(report.find("          a "), report.find("          b "));
  EXPECT_LT(report.find("          b "), report.find("          na "));
  EXPECT_LT(report.find("          na "), report.find("   na(e1,e2) "));
}

TEST(LabelNaScore, NothingLeftToScoreGivesZeros) {
  const std::string kEmptyReport =
      "              precision    recall  f1-score   support\n\n\n"
      "   micro avg       0.00      0.00      0.00         0\n"
      "   macro avg       0.00      0.00      0.00         0\n"
      "weighted avg       0.00      0.00      0.00         0\n";
  ScoreResult only_na =
      label_na_score({"na", "na(e1,e2)"}, {"na(e1,e2)", "na(e1,e2)"}, false, std::nullopt);
  EXPECT_EQ(only_na, (ScoreResult{0.0, 0.0, 0.0, kEmptyReport}));

  // Without instances nothing was left out, so the micro row is the accuracy row.
  ScoreResult empty = label_na_score({}, {}, false, std::nullopt);
  EXPECT_EQ(empty.precision, 0.0);
  EXPECT_EQ(empty.recall, 0.0);
  EXPECT_EQ(empty.f1, 0.0);
  EXPECT_THAT(empty.classification_report,
              EndsWith("\n    accuracy                           0.00         0\n"
                       "   macro avg       0.00      0.00      0.00         0\n"
                       "weighted avg       0.00      0.00      0.00         0\n"));
}

TEST(LabelNaScore, UnequalListsAreValueError) {
  EXPECT_THROW(label_na_score({"r1", "na"}, {"r1"}, false, std::nullopt), ValueError);
  EXPECT_THROW(label_na_score({"na"}, {}, false, std::nullopt), ValueError);
}

// ---------------------------------------------------------------------------------------
// The confusion-matrix picture

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class LabelNaScorePlot : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const {
    return (std::filesystem::path(folder_.path()).parent_path() / name).string();
  }

  TempFile folder_{"", "unused"};
  const Strings gold_ = {"r1", "na", "na(e1,e2)", "a", "na"};
  const Strings predicted_ = {"r1", "a", "na", "a", "na(e1,e2)"};
};

TEST_F(LabelNaScorePlot, DrawsOnlyWhenANameIsGiven) {
  ScoreResult unplotted = label_na_score(gold_, predicted_, true, std::nullopt);
  // An empty name is no name: drawing to it would fail for want of an extension.
  EXPECT_EQ(label_na_score(gold_, predicted_, true, std::string()), unplotted);

  EXPECT_EQ(label_na_score(gold_, predicted_, true, path("matrix.png")), unplotted);
  EXPECT_GT(std::filesystem::file_size(path("matrix.png")), 0u);
}

// The picture is compared with one drawn directly over the expected columns; the sorted
// order without moving "na" draws a different picture, so the comparison tells them apart.
TEST_F(LabelNaScorePlot, ColumnsStartWithNaWhenItIsScored) {
  label_na_score(gold_, predicted_, true, path("with_na.png"));
  metrics::plot_confusion_matrix(gold_, predicted_, {"na", "a", "na(e1,e2)", "r1"}, "YlGnBu",
                                 path("na_first.png"));
  metrics::plot_confusion_matrix(gold_, predicted_, {"a", "na", "na(e1,e2)", "r1"}, "YlGnBu",
                                 path("sorted.png"));
  EXPECT_EQ(file_bytes(path("with_na.png")), file_bytes(path("na_first.png")));
  EXPECT_NE(file_bytes(path("with_na.png")), file_bytes(path("sorted.png")));

  label_na_score(gold_, predicted_, false, path("without_na.png"));
  metrics::plot_confusion_matrix(gold_, predicted_, {"a", "r1"}, "YlGnBu", path("scored.png"));
  EXPECT_EQ(file_bytes(path("without_na.png")), file_bytes(path("scored.png")));
}

TEST_F(LabelNaScorePlot, PlotFailuresReachTheCaller) {
  EXPECT_THROW(label_na_score(gold_, predicted_, false, path("matrix.txt")), ValueError);
  EXPECT_FALSE(std::filesystem::exists(path("matrix.txt")));
}

}  // namespace
}  // namespace nlpeval

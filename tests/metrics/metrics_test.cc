#include "nlpeval/metrics/metrics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/metrics/report.h"
#include "test_support.h"

namespace nlpeval::metrics {
namespace {

using ::testing::HasSubstr;
using testing::message_of;
using Json = nlohmann::json;
using Strings = std::vector<std::string>;
using OptionalLabels = std::optional<Strings>;

// ---------------------------------------------------------------------------------------
// The reference cases

struct ReferenceCase {
  std::string id;
  Json data;
};

// Keeps gtest's parameter printer away from the whole JSON case.
void PrintTo(const ReferenceCase& reference, std::ostream* out) { *out << reference.id; }

std::vector<ReferenceCase> load_reference_cases() {
  std::ifstream file(NLPEVAL_REFERENCE_DIR "/metrics_primitives.json");
  if (!file) return {};
  std::vector<ReferenceCase> cases;
  Json reference = Json::parse(file);
  for (Json& data : reference.at("cases")) {
    cases.push_back({data.at("id").get<std::string>(), std::move(data)});
  }
  return cases;
}

// The five primitives over one pair of lists, through the string or the view overloads.
struct Primitives {
  std::function<double(const OptionalLabels&, std::string_view)> precision, recall, f1;
  std::function<double()> accuracy;
  std::function<std::string(const OptionalLabels&, int)> report;
};

Primitives over_strings(const Strings& y_true, const Strings& y_pred) {
  return {
      [&](const OptionalLabels& labels, std::string_view average) {
        return precision_score(y_true, y_pred, labels, average);
      },
      [&](const OptionalLabels& labels, std::string_view average) {
        return recall_score(y_true, y_pred, labels, average);
      },
      [&](const OptionalLabels& labels, std::string_view average) {
        return f1_score(y_true, y_pred, labels, average);
      },
      [&] { return accuracy_score(y_true, y_pred); },
      [&](const OptionalLabels& labels, int digits) {
        return classification_report(y_true, y_pred, labels, digits);
      },
  };
}

Primitives over_views(const std::vector<std::string_view>& y_true,
                      const std::vector<std::string_view>& y_pred) {
  return {
      [&](const OptionalLabels& labels, std::string_view average) {
        return views::precision_score(views::Labels(y_true), views::Labels(y_pred), labels,
                                      average);
      },
      [&](const OptionalLabels& labels, std::string_view average) {
        return views::recall_score(views::Labels(y_true), views::Labels(y_pred), labels, average);
      },
      [&](const OptionalLabels& labels, std::string_view average) {
        return views::f1_score(views::Labels(y_true), views::Labels(y_pred), labels, average);
      },
      [&] { return views::accuracy_score(views::Labels(y_true), views::Labels(y_pred)); },
      [&](const OptionalLabels& labels, int digits) {
        return views::classification_report(views::Labels(y_true), views::Labels(y_pred), labels,
                                            digits);
      },
  };
}

// Through one LabelTally of the lists, built for each call so that each call meets its
// errors; accuracy, which a tally does not give, from the views.
Primitives over_tally(const std::vector<std::string_view>& y_true,
                      const std::vector<std::string_view>& y_pred) {
  auto tally = [&] { return LabelTally(views::Labels(y_true), views::Labels(y_pred)); };
  return {
      [=](const OptionalLabels& labels, std::string_view average) {
        return tally().precision_score(labels, average);
      },
      [=](const OptionalLabels& labels, std::string_view average) {
        return tally().recall_score(labels, average);
      },
      [=](const OptionalLabels& labels, std::string_view average) {
        return tally().f1_score(labels, average);
      },
      [&] { return views::accuracy_score(views::Labels(y_true), views::Labels(y_pred)); },
      [=](const OptionalLabels& labels, int digits) {
        return tally().classification_report(labels, digits);
      },
  };
}

// The lists as ids of their distinct labels, named in order of first sight, plus an unused
// name, which must not count as a label of the data.
struct IdLists {
  std::vector<std::string_view> names;
  std::vector<uint32_t> y_true;
  std::vector<uint32_t> y_pred;
};

IdLists ids_of(const std::vector<std::string_view>& y_true,
               const std::vector<std::string_view>& y_pred) {
  IdLists lists;
  auto id_of = [&](std::string_view label) {
    auto found = std::find(lists.names.begin(), lists.names.end(), label);
    if (found == lists.names.end()) found = lists.names.insert(found, label);
    return static_cast<uint32_t>(found - lists.names.begin());
  };
  for (std::string_view label : y_true) lists.y_true.push_back(id_of(label));
  for (std::string_view label : y_pred) lists.y_pred.push_back(id_of(label));
  lists.names.push_back("never used");
  return lists;
}

Primitives over_ids(const IdLists& ids, const Primitives& views_run) {
  auto tally = [&] { return LabelTally(ids.names, ids.y_true, ids.y_pred); };
  return {
      [=](const OptionalLabels& labels, std::string_view average) {
        return tally().precision_score(labels, average);
      },
      [=](const OptionalLabels& labels, std::string_view average) {
        return tally().recall_score(labels, average);
      },
      [=](const OptionalLabels& labels, std::string_view average) {
        return tally().f1_score(labels, average);
      },
      views_run.accuracy,
      [=](const OptionalLabels& labels, int digits) {
        return tally().classification_report(labels, digits);
      },
  };
}

void expect_raises(const Primitives& run, const OptionalLabels& labels, int digits,
                   const std::string& kind) {
  auto kind_of = [](auto&& body) -> std::string {
    try {
      body();
    } catch (const Error& error) {
      return error.kind();
    }
    return "nothing";
  };
  EXPECT_EQ(kind_of([&] { run.precision(labels, "micro"); }), kind);
  EXPECT_EQ(kind_of([&] { run.recall(labels, "micro"); }), kind);
  EXPECT_EQ(kind_of([&] { run.f1(labels, "micro"); }), kind);
  EXPECT_EQ(kind_of([&] { run.accuracy(); }), kind);
  EXPECT_EQ(kind_of([&] { run.report(labels, digits); }), kind);
}

void expect_close(double actual, double expected, const std::string& what) {
  EXPECT_LE(std::abs(actual - expected), 1e-12 * std::abs(expected))
      << what << ": " << actual << " vs " << expected;
}

void expect_reproduces(const Primitives& run, const OptionalLabels& labels, int digits,
                       const Json& expected) {
  for (const auto& [average, values] : expected.at("by_average").items()) {
    double precision = run.precision(labels, average);
    double recall = run.recall(labels, average);
    double f1 = run.f1(labels, average);
    if (average == "micro") {
      EXPECT_EQ(precision, values.at("precision").get<double>());
      EXPECT_EQ(recall, values.at("recall").get<double>());
      EXPECT_EQ(f1, values.at("f1").get<double>());
    } else {
      expect_close(precision, values.at("precision").get<double>(), average + " precision");
      expect_close(recall, values.at("recall").get<double>(), average + " recall");
      expect_close(f1, values.at("f1").get<double>(), average + " f1");
    }
  }
  EXPECT_EQ(run.accuracy(), expected.at("accuracy").get<double>());
  EXPECT_EQ(run.report(labels, digits), expected.at("classification_report").get<std::string>());
}

// Without a label list or digits the calls score micro-averaged over every label, with two
// decimals in the report.
void expect_defaults(const Strings& y_true, const Strings& y_pred, const Json& expected,
                     int digits) {
  const Json& micro = expected.at("by_average").at("micro");
  EXPECT_EQ(precision_score(y_true, y_pred), micro.at("precision").get<double>());
  EXPECT_EQ(recall_score(y_true, y_pred), micro.at("recall").get<double>());
  EXPECT_EQ(f1_score(y_true, y_pred), micro.at("f1").get<double>());
  if (digits == 2) {
    EXPECT_EQ(classification_report(y_true, y_pred),
              expected.at("classification_report").get<std::string>());
  }
}

class ReferenceCaseTest : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceCaseTest, ReproducesValuesAndReport) {
  const Json& data = GetParam().data;
  SCOPED_TRACE(data.at("what").get<std::string>());
  Strings y_true = data.at("y_true").get<Strings>();
  Strings y_pred = data.at("y_pred").get<Strings>();
  OptionalLabels labels;
  if (!data.at("labels").is_null()) labels = data.at("labels").get<Strings>();
  int digits = data.at("digits").get<int>();
  const Json& expected = data.at("expected");

  std::vector<std::string_view> true_views(y_true.begin(), y_true.end());
  std::vector<std::string_view> pred_views(y_pred.begin(), y_pred.end());
  const IdLists ids = ids_of(true_views, pred_views);
  const Primitives by_views = over_views(true_views, pred_views);
  for (const Primitives& run : {over_strings(y_true, y_pred), by_views,
                                over_tally(true_views, pred_views), over_ids(ids, by_views)}) {
    if (expected.contains("raises")) {
      expect_raises(run, labels, digits, expected.at("raises").get<std::string>());
    } else {
      expect_reproduces(run, labels, digits, expected);
    }
  }
  if (!labels && !expected.contains("raises")) expect_defaults(y_true, y_pred, expected, digits);
}

INSTANTIATE_TEST_SUITE_P(MetricsPrimitives, ReferenceCaseTest,
                         ::testing::ValuesIn(load_reference_cases()),
                         [](const ::testing::TestParamInfo<ReferenceCase>& info) {
                           std::string name = info.param.id;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(MetricsReference, FileHoldsEveryCase) { EXPECT_EQ(load_reference_cases().size(), 42u); }

// ---------------------------------------------------------------------------------------
// What the reference file leaves out

const Strings kGold = {"na", "a", "b"};
const Strings kPredicted = {"a", "a", "na"};

TEST(Metrics, UnsupportedAverageIsValueErrorNamingIt) {
  for (std::string_view average : {"samples", "binary", "", "Micro"}) {
    EXPECT_THAT(message_of<ValueError>([&] { precision_score(kGold, kPredicted, {}, average); }),
                HasSubstr("\"" + std::string(average) + "\""));
    EXPECT_THROW(recall_score(kGold, kPredicted, {}, average), ValueError);
    EXPECT_THROW(f1_score(kGold, kPredicted, {}, average), ValueError);
  }
  // Also when there is nothing to score.
  EXPECT_THROW(f1_score({}, {}, Strings{}, "none"), ValueError);
}

TEST(Metrics, UnequalLengthsNameBothLengths) {
  Strings longer = {"a", "b", "c", "d"};
  for (const std::string& message : {
           message_of<ValueError>([&] { precision_score(longer, kPredicted); }),
           message_of<ValueError>([&] { accuracy_score(kGold, longer); }),
           message_of<ValueError>([&] { classification_report(longer, kGold); }),
       }) {
    EXPECT_THAT(message, HasSubstr("4"));
    EXPECT_THAT(message, HasSubstr("3"));
  }
}

TEST(Metrics, NegativeDigitsIsValueError) {
  EXPECT_THROW(classification_report(kGold, kPredicted, std::nullopt, -1), ValueError);
}

TEST(Metrics, ALabelNamedAccuracyKeepsItsValues) {
  std::string report = classification_report({"accuracy", "b"}, {"accuracy", "accuracy"});
  EXPECT_THAT(report, HasSubstr("    accuracy       0.50      1.00      0.67         1\n"));
  EXPECT_THAT(report, HasSubstr("\n    accuracy                           0.50         2\n"));
}

TEST(Metrics, ListedLabelsInAnyOrderMatchTheDataAsASet) {
  std::string report = classification_report(kGold, kPredicted, Strings{"na", "b", "a"}, 2);
  EXPECT_THAT(report, HasSubstr("accuracy"));
  EXPECT_THAT(report, ::testing::Not(HasSubstr("micro avg")));
  EXPECT_LT(report.find("  na "), report.find("  b "));
  EXPECT_DOUBLE_EQ(f1_score(kGold, kPredicted, Strings{"na", "b", "a"}), 1.0 / 3);
}

TEST(Metrics, LabelsAreComparedByteForByte) {
  // No normalisation: a precomposed "é" and "e" with a combining accent are two labels.
  Strings gold = {"\xC3\xA9", "e\xCC\x81"};
  Strings predicted = {"e\xCC\x81", "e\xCC\x81"};
  EXPECT_DOUBLE_EQ(accuracy_score(gold, predicted), 0.5);
  EXPECT_DOUBLE_EQ(recall_score(gold, predicted, Strings{"\xC3\xA9"}), 0.0);
}

TEST(LabelTally, AnIdWithoutANameIsAnIndexError) {
  const std::vector<std::string_view> names = {"A", "B"};
  const std::vector<uint32_t> gold = {0, 1};
  const std::vector<uint32_t> predicted = {1, 2};
  EXPECT_THAT(message_of<IndexError>([&] { LabelTally(names, gold, predicted); }),
              HasSubstr("label id 2"));
}

}  // namespace
}  // namespace nlpeval::metrics

namespace nlpeval::metrics {
namespace {

// Eight labels whose macro F1 lies on a rounding tie of two decimals: summed left to right it
// prints 0.48, summed pairwise as numpy (and so scikit-learn) sums it prints 0.47.
TEST(FlatAverages, AreSummedPairwiseAsNumpySums) {
  const std::vector<std::string> gold = {"L2", "L0", "L2", "L4", "L1", "L1", "L6",
                                         "L1", "L6", "L2", "L3", "L5", "L3", "L0",
                                         "L1", "L3", "L7", "L2", "L2", "L5"};
  const std::vector<std::string> pred = {"L2", "L0", "L2", "L5", "L4", "L1", "L2",
                                         "L1", "L1", "L2", "L5", "L0", "L4", "L1",
                                         "L1", "L3", "L7", "L2", "L5", "L5"};
  const std::string report = classification_report(gold, pred);
  EXPECT_NE(report.find("   macro avg       0.52      0.49      0.47        20\n"),
            std::string::npos)
      << report;
  const std::vector<double> f1s = {0.5, 2.0 / 3, 0.8, 0.5, 0.0, 1.0 / 3, 0.0, 1.0};
  EXPECT_EQ(f1_score(gold, pred, std::nullopt, "macro"), pairwise_sum(f1s) / 8);
}

TEST(PairwiseSum, SumsInEightPartialSumsFromEightValuesOn) {
  const std::vector<double> seven = {1e16, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(pairwise_sum(seven), 1e16);  // in order: each 1 is lost against 1e16
  const std::vector<double> eight = {1e16, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(pairwise_sum(eight), 1e16 + 6);  // the ones meet each other first
  EXPECT_EQ(pairwise_sum({}), 0.0);
}

}  // namespace
}  // namespace nlpeval::metrics

#include "nlpeval/evaluator/evaluates/cws_score.h"

#include <gtest/gtest.h>

#include <vector>

#include "nlpeval/core/errors.h"

namespace nlpeval {
namespace {

using Instances = std::vector<WordSpans>;

void expect_scores(const ScoreResult& score, double precision, double recall, double f1) {
  EXPECT_DOUBLE_EQ(score.precision, precision);
  EXPECT_DOUBLE_EQ(score.recall, recall);
  EXPECT_DOUBLE_EQ(score.f1, f1);
  EXPECT_EQ(score.classification_report, "");
}

TEST(CwsScore, PoolsWordsOverInstancesAndMatchesWithinAnInstanceOnly) {
  const WordSpans two = {{0, 2}, {2, 3}};
  expect_scores(cws_score(Instances{two, two}, Instances{two, two}), 1.0, 1.0, 1.0);
  expect_scores(cws_score(Instances{two}, Instances{{{0, 1}, {1, 2}, {2, 3}}}), 1.0 / 3, 0.5, 0.4);
  expect_scores(cws_score(Instances{two, two}, Instances{two, {{0, 1}, {1, 2}, {2, 3}}}), 0.6, 0.75,
                2.0 / 3);
  // [0,1] is a gold word of the first instance, not of the second
  expect_scores(cws_score(Instances{{{0, 1}}, {{0, 2}}}, Instances{{{0, 1}}, {{0, 1}}}), 0.5, 0.5,
                0.5);
}

TEST(CwsScore, RepeatedSpansMatchOneToOneAndOrderDoesNotMatter) {
  // empty words repeat a span; counted once per prediction, precision stays within 1
  const ScoreResult repeated =
      cws_score(Instances{{{1, 1}, {1, 1}, {0, 1}}}, Instances{{{1, 1}, {0, 1}}});
  EXPECT_EQ(repeated, cws_score(CwsCounts{.true_count = 3, .pred_count = 2, .acc_count = 2}));
  EXPECT_EQ(repeated.precision, 1.0);
  EXPECT_EQ((cws_score(Instances{{{1, 1}, {0, 1}}}, Instances{{{1, 1}, {1, 1}, {0, 1}}})),
            (cws_score(CwsCounts{.true_count = 2, .pred_count = 3, .acc_count = 2})));
  CwsCounter counter;
  counter.add({{2, 3}, {0, 2}}, {{2, 3}, {0, 1}, {0, 2}});
  counter.add({{0, 2}, {2, 3}}, {{0, 1}, {0, 2}, {2, 3}});
  EXPECT_EQ(counter.counts(), (CwsCounts{.true_count = 4, .pred_count = 6, .acc_count = 4}));
}

TEST(CwsScore, ZeroDenominatorsScoreZeroInsteadOfFailing) {
  const WordSpans gold = {{0, 2}, {2, 3}};
  expect_scores(cws_score(Instances{gold}, Instances{{{0, 1}, {1, 3}}}), 0.0, 0.0, 0.0);
  expect_scores(cws_score(Instances{gold}, Instances{{}}), 0.0, 0.0, 0.0);
  expect_scores(cws_score(Instances{{}}, Instances{gold}), 0.0, 0.0, 0.0);
  expect_scores(cws_score(Instances{}, Instances{}), 0.0, 0.0, 0.0);
  expect_scores(cws_score(Instances{{}, {}}, Instances{{}, {}}), 0.0, 0.0, 0.0);
}

TEST(CwsScore, PredictionsMayOutnumberButNotFallShortOfTheGoldInstances) {
  expect_scores(cws_score(Instances{{{0, 1}}}, Instances{{{0, 1}}, {{5, 9}}}), 1.0, 1.0, 1.0);
  EXPECT_THROW(cws_score(Instances{{{0, 1}}, {{0, 1}}}, Instances{{{0, 1}}}), IndexError);
}

}  // namespace
}  // namespace nlpeval

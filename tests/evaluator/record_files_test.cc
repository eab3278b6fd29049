#include "nlpeval/evaluator/internal/record_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;
using testing::TempFile;

// Small chunks, so that a few lines make several batches.
constexpr size_t kChunkBytes = 64;

// "{"i": 0}\n{"i": 1}\n..." with `pad` extra characters a line, so that gold and predicted
// batches end at different records.
std::string numbered_lines(int count, size_t pad) {
  std::string lines;
  for (int i = 0; i < count; ++i) {
    lines += std::string("{\"i\": ") + std::to_string(i) + ", \"pad\": \"" + std::string(pad, 'x') +
             "\"}\n";
    if (i % 4 == 1) lines += "\n";  // blank lines do not count
  }
  return lines;
}

struct Visited {
  int64_t gold;
  int64_t pred;
  size_t index;
};

// Records whose "i" is odd are invalid.
void reject_odd(const Records& batch, size_t first_index, size_t from) {
  for (size_t k = from; k < batch.size(); ++k) {
    if (batch[k].get_int("i") % 2 == 1) {
      throw ValueError("record " + std::to_string(first_index + k + 1) + " is odd");
    }
  }
}

void accept_all(const Records&, size_t, size_t) {}

StreamedPairs pairs_of(const std::string& gold, const std::string& pred,
                       BatchValidator validate_gold = accept_all,
                       BatchValidator validate_pred = accept_all,
                       std::exception_ptr held_error = nullptr) {
  return StreamedPairs(gold, pred, std::move(validate_gold), std::move(validate_pred),
                       std::move(held_error), kChunkBytes);
}

std::vector<Visited> walk(const StreamedPairs& pairs) {
  std::vector<Visited> visited;
  pairs.for_each([&](const Record& label, const Record& prediction, size_t index) {
    visited.push_back({label.get_int("i"), prediction.get_int("i"), index});
  });
  return visited;
}

// What walking `pairs` throws, or "" when it throws nothing.
std::string error_of(const StreamedPairs& pairs) {
  try {
    walk(pairs);
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

TEST(StreamedPairs, WalksBothFilesInStepAcrossBatchesOfDifferentSizes) {
  TempFile gold(numbered_lines(40, 1), "gold.jsonl");
  TempFile pred(numbered_lines(40, 30), "pred.jsonl");
  std::vector<Visited> visited = walk(pairs_of(gold.path(), pred.path()));
  ASSERT_EQ(visited.size(), 40u);
  for (size_t i = 0; i < visited.size(); ++i) {
    EXPECT_EQ(visited[i].gold, static_cast<int64_t>(i));
    EXPECT_EQ(visited[i].pred, static_cast<int64_t>(i));
    EXPECT_EQ(visited[i].index, i);
  }
}

TEST(StreamedPairs, AMissingFileIsNamed) {
  TempFile gold(numbered_lines(3, 1), "gold.jsonl");
  EXPECT_THAT(error_of(pairs_of(gold.path(), "/no/such/pred.jsonl")),
              ::testing::HasSubstr("/no/such/pred.jsonl"));
  EXPECT_THAT(error_of(pairs_of("/no/such/gold.jsonl", "/no/such/pred.jsonl")),
              ::testing::HasSubstr("/no/such/gold.jsonl"));
}

TEST(StreamedPairs, FilesOfUnequalLengthAreAnErrorWhicheverIsLonger) {
  TempFile longer(numbered_lines(12, 1), "gold.jsonl");
  TempFile shorter(numbered_lines(5, 1), "pred.jsonl");
  EXPECT_THAT(error_of(pairs_of(longer.path(), shorter.path())), ::testing::HasSubstr("unequal"));
  EXPECT_THAT(error_of(pairs_of(shorter.path(), longer.path())), ::testing::HasSubstr("unequal"));
}

TEST(StreamedPairs, NoInstanceIsVisitedAfterAnInvalidRecordIsRead) {
  TempFile gold(numbered_lines(30, 1), "gold.jsonl");
  size_t visits = 0;
  const StreamedPairs pairs = pairs_of(gold.path(), gold.path(), accept_all, reject_odd);
  EXPECT_THROW(pairs.for_each([&](const Record&, const Record&, size_t) { ++visits; }), ValueError);
  EXPECT_LT(visits, 2u);  // the first batch already holds record 2
}

TEST(StreamedPairs, ErrorsComeInTheOrderOfReadingThenValidatingThenWalking) {
  TempFile valid(numbered_lines(30, 1), "valid.jsonl");
  TempFile not_json(numbered_lines(30, 1) + "{oops\n", "broken.jsonl");
  const auto held = std::make_exception_ptr(FileError("cannot open the counts"));
  const auto visit_fails = [](const StreamedPairs& pairs) {
    try {
      pairs.for_each([](const Record&, const Record&, size_t index) {
        if (index == 3) throw KeyError("text");
      });
    } catch (const std::exception& error) {
      return std::string(error.what());
    }
    return std::string();
  };
  // A line that is not JSON, even at the end of the predicted file, beats everything else.
  EXPECT_THAT(visit_fails(pairs_of(valid.path(), not_json.path(), reject_odd, reject_odd, held)),
              ::testing::StartsWith(not_json.path() + ":"));
  // Then the error held by the caller, then invalid gold before invalid predictions.
  EXPECT_EQ(visit_fails(pairs_of(valid.path(), valid.path(), reject_odd, reject_odd, held)),
            "cannot open the counts");
  EXPECT_EQ(visit_fails(pairs_of(valid.path(), valid.path(), accept_all, reject_odd)),
            "record 2 is odd");
  // What the walk threw comes last.
  EXPECT_THAT(visit_fails(pairs_of(valid.path(), valid.path())), ::testing::HasSubstr("text"));
}

// One line {"i": value, "pad": "x"} per value.
std::string lines_of(const std::vector<int>& values) {
  std::string lines;
  for (int value : values) lines += "{\"i\": " + std::to_string(value) + ", \"pad\": \"x\"}\n";
  return lines;
}

// `count` even values, with an odd one at each of `odd_at`.
std::vector<int> evens_with_odd_at(int count, std::vector<int> odd_at = {}) {
  std::vector<int> values;
  for (int i = 0; i < count; ++i) values.push_back(2 * i);
  for (int at : odd_at) values[at] = 1;
  return values;
}

// What walking the files throws, with a visit that refuses odd records as reject_odd does
// and throws "visit failed" at instance `fail_at`; as read, then with visits vouching.
std::pair<std::string, std::string> errors_both_ways(const std::string& gold,
                                                     const std::string& pred,
                                                     size_t fail_at = SIZE_MAX) {
  const auto visit = [fail_at](const Record& label, const Record& prediction, size_t index) {
    if (label.get_int("i") % 2 == 1 || prediction.get_int("i") % 2 == 1) {
      throw ValueError("odd record visited");
    }
    if (index == fail_at) throw ValueError("visit failed");
  };
  std::pair<std::string, std::string> errors;
  for (bool vouch : {false, true}) {
    const StreamedPairs pairs(gold, pred, reject_odd, reject_odd, nullptr, kChunkBytes, vouch);
    std::string& error = vouch ? errors.second : errors.first;
    try {
      pairs.for_each(visit);
    } catch (const std::exception& thrown) {
      error = thrown.what();
    }
  }
  return errors;
}

TEST(StreamedPairs, VisitsThatVouchGiveTheErrorsOfValidatingFirst) {
  TempFile even(lines_of(evens_with_odd_at(30)), "even.jsonl");
  TempFile odd_late(lines_of(evens_with_odd_at(30, {20})), "odd_late.jsonl");
  TempFile odd_early(lines_of(evens_with_odd_at(30, {4})), "odd_early.jsonl");
  TempFile short_even(lines_of(evens_with_odd_at(5)), "short.jsonl");
  TempFile long_odd_tail(lines_of(evens_with_odd_at(12, {9})), "long.jsonl");
  const auto expect_both = [](const std::pair<std::string, std::string>& errors,
                              const std::string& expected) {
    EXPECT_EQ(errors.first, expected);
    EXPECT_EQ(errors.second, expected);
  };
  expect_both(errors_both_ways(even.path(), odd_late.path()), "record 21 is odd");
  // A visit failing earlier for another reason does not hide an invalid record after it.
  expect_both(errors_both_ways(even.path(), odd_late.path(), 3), "record 21 is odd");
  // Gold comes first, wherever the predicted error stands.
  expect_both(errors_both_ways(odd_late.path(), odd_early.path()), "record 21 is odd");
  // The longer file's records past the shorter one's end are validated too.
  expect_both(errors_both_ways(long_odd_tail.path(), short_even.path()), "record 10 is odd");
  EXPECT_THAT(errors_both_ways(even.path(), short_even.path()).second,
              ::testing::HasSubstr("unequal"));
  EXPECT_THAT(errors_both_ways(even.path(), even.path(), 3).second,
              ::testing::HasSubstr("visit failed"));
}

TEST(StreamedPairs, VisitsThatVouchSpareTheRecordsTheyPassedFromValidation) {
  TempFile gold(numbered_lines(40, 1), "gold.jsonl");
  TempFile pred(numbered_lines(33, 30), "pred.jsonl");
  size_t validated = 0;
  const BatchValidator count = [&](const Records& batch, size_t, size_t from) {
    validated += batch.size() - from;
  };
  const StreamedPairs pairs(gold.path(), pred.path(), count, count, nullptr, kChunkBytes, true);
  EXPECT_THROW(walk(pairs), ValueError);  // unequal
  EXPECT_EQ(validated, 7u) << "only the gold records past the predicted file's end";
}

TEST(CheckedStream, CountsEveryRecordAndCanBeLeftWhileReadingAhead) {
  TempFile file(numbered_lines(200, 1), "long.jsonl");
  {
    CheckedStream stream(file.path(), accept_all, kChunkBytes);
    RecordBatch batch;
    size_t seen = 0;
    while (stream.next(batch)) {
      for (const Record record : batch.records)
        EXPECT_EQ(record.get_int("i"), static_cast<int64_t>(seen++));
    }
    stream.drain();
    EXPECT_EQ(seen, 200u);
    EXPECT_EQ(stream.records(), 200u);
    EXPECT_FALSE(stream.unreadable() || stream.invalid());
  }
  // Left after one batch, with the reader waiting for room: it is stopped, not waited out.
  CheckedStream stream(file.path(), accept_all, kChunkBytes);
  RecordBatch batch;
  ASSERT_TRUE(stream.next(batch));
  EXPECT_EQ(batch.records[0].get_int("i"), 0);
}

}  // namespace
}  // namespace nlpeval

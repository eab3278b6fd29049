#ifndef NLPEVAL_METRICS_SEQUENCE_METRICS_H_
#define NLPEVAL_METRICS_SEQUENCE_METRICS_H_

// Chunk-level scores over lists of tag sequences, one sequence per instance: a predicted
// chunk is right when a gold chunk has the same type, start and end. These share their names
// with the flat-label primitives of metrics.h, hence the namespace nlpeval::metrics::seq.
//
// Reading a tag: its first character is the prefix; the type is what follows the first '-'
// after the prefix or, without a '-', everything after the prefix; an empty type reads "_".
// So "B-PER" is (B, PER), "B-PER-NAME" is (B, PER-NAME), "B_PER" is (B, _PER), "PER" is
// (P, ER), "PER-B" is (P, B), "O" is (O, _). Prefixes are case-sensitive: "b-per" is a tag
// with prefix 'b', which chunks by type changes only.
//
// Reading chunks: the sequences of a data set form one stream in which every sequence is
// followed by an "O". Going left to right, with `prev` the previous tag:
// - a chunk ends before a tag when prev is E or S; when prev is B or I and the tag is B, S
//   or O; or when prev is neither O nor "." and the types differ;
// - a chunk starts at B and S; at I and E after O, E or S; and at any tag other than O or
//   "." whose type differs from prev's.
// A chunk covers the tags from the latest start to its end and has the type of its last tag.
// (After "O", a tag such as "X" starts nothing, as its type "_" equals O's; the chunk it
// ends later reaches back to the latest start, possibly in an earlier sequence.)
//
// Scores are micro averages over the entity types; a zero denominator gives 0. `labels`
// null scores every type found on either side; a list scores the listed types only, each
// as often as it is listed. Nothing to score (no sequences, no chunk, an empty list) gives 0.
//
// Every function throws ValueError when y_true and y_pred hold different numbers of
// sequences, when a gold and a predicted sequence differ in length (naming the 1-based
// instance and both lengths), or when a tag is the empty string.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "nlpeval/core/score_result.h"
#include "nlpeval/core/tag_vocabulary.h"
#include "nlpeval/metrics/report.h"

namespace nlpeval::metrics::seq {

using TagSequence = std::vector<std::string>;

// One chunk of a tag sequence: its type and the tags [start, end) it covers.
struct Chunk {
  std::string type;
  size_t start = 0;
  size_t end = 0;

  friend bool operator==(const Chunk&, const Chunk&) = default;
};

// The chunks of `sequence` read on its own, in order of their ends.
std::vector<Chunk> get_chunks(const TagSequence& sequence);

// The chunk counts of one entity type over a data set.
struct TypeCounts {
  std::string type;
  int64_t true_count = 0;  // gold chunks (the support)
  int64_t pred_count = 0;  // predicted chunks
  int64_t correct = 0;     // predicted chunks equal to a gold chunk

  friend bool operator==(const TypeCounts&, const TypeCounts&) = default;
};

// The counts of every type found on either side, sorted by type (byte order, which is
// code-point order). One pass over the data; everything below is computed from it.
std::vector<TypeCounts> count_chunks(const std::vector<TagSequence>& y_true,
                                     const std::vector<TagSequence>& y_pred);

double precision_score(const std::vector<TagSequence>& y_true,
                       const std::vector<TagSequence>& y_pred,
                       const std::optional<std::vector<std::string>>& labels = std::nullopt);

double recall_score(const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred,
                    const std::optional<std::vector<std::string>>& labels = std::nullopt);

double f1_score(const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred,
                const std::optional<std::vector<std::string>>& labels = std::nullopt);

// The report of the flat-label primitives (report.h) with one row per entity type: all types
// in byte order when `labels` is null, else one per listed type in the given order (a type
// absent from the data gets zeros and support 0). Then "micro avg", "macro avg" and
// "weighted avg" over those rows; the means follow the reference scorers' summation order,
// so that values at a rounding tie print the same.
std::string classification_report(
    const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred,
    const std::optional<std::vector<std::string>>& labels = std::nullopt, int digits = 2);

// The same report as numbers: the label rows, then "micro avg", "macro avg" and
// "weighted avg".
ReportRows classification_report_rows(
    const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred,
    const std::optional<std::vector<std::string>>& labels = std::nullopt);

// Precision, recall, F1 and the report together, reading the data once; the result's
// per_label holds the report's label rows.
ScoreResult score(const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred,
                  const std::optional<std::vector<std::string>>& labels = std::nullopt,
                  int digits = 2);

// The same from counts already made (count_chunks, ChunkCounter).
ScoreResult score_counts(std::vector<TypeCounts> counts,
                         const std::optional<std::vector<std::string>>& labels = std::nullopt,
                         int digits = 2);

// Counts the chunks of a data set fed one gold and predicted sequence pair at a time, with
// tags as ids of `vocabulary`: the counts of count_chunks over the same sequences as strings,
// without a string per tag or the whole data set in memory. The vocabulary may grow between
// calls and must outlive the counter.
class ChunkCounter {
 public:
  explicit ChunkCounter(const TagVocabulary& vocabulary);
  ~ChunkCounter();
  ChunkCounter(const ChunkCounter&) = delete;
  ChunkCounter& operator=(const ChunkCounter&) = delete;

  // Adds one more pair. Throws ValueError as the list scorers do, naming the pair's 1-based
  // number; a pair that throws leaves the counts unusable.
  void add(std::span<const TagId> gold, std::span<const TagId> pred);

  // The counts of every type found on either side so far, sorted by type.
  std::vector<TypeCounts> counts() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace nlpeval::metrics::seq

#endif  // NLPEVAL_METRICS_SEQUENCE_METRICS_H_

#ifndef NLPEVAL_METRICS_CHAR_METRICS_H_
#define NLPEVAL_METRICS_CHAR_METRICS_H_

// Character-level metrics over BIO tags: two parallel lists with one tag per character, gold
// and predicted, "O" outside every span. The positions where both sides say "O" are dropped
// and the rest is scored with the flat-label metrics of metrics.h.
//
// The labels scored are the caller's `labels` when given and not empty, otherwise the tags
// seen at positions where neither side is "O" (see filter_O). A position where exactly one
// side is "O" therefore counts as a miss for its tag when that tag is scored, and nowhere
// otherwise.
//
// Every function reads position i of `y_pred` for each position i of `y_true` and ignores
// predicted tags beyond those: a `y_pred` shorter than `y_true` is an IndexError naming both
// lengths. Errors of the flat-label metrics (an unsupported `average`) reach the caller.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/record.h"

namespace nlpeval::metrics {

struct FilteredTags {
  // The gold and predicted tags of the positions where at least one side is not "O", in
  // input order.
  std::vector<std::string> y_true;
  std::vector<std::string> y_pred;
  // The distinct tags of the positions where neither side is "O", in order of first
  // appearance, the gold tag of a position before its predicted tag.
  std::vector<std::string> labels;
};

FilteredTags filter_O(const std::vector<std::string>& y_true,
                      const std::vector<std::string>& y_pred);

double precision_score_by_char(const std::vector<std::string>& y_true,
                               const std::vector<std::string>& y_pred,
                               const std::optional<std::vector<std::string>>& labels = std::nullopt,
                               std::string_view average = "micro");

double recall_score_by_char(const std::vector<std::string>& y_true,
                            const std::vector<std::string>& y_pred,
                            const std::optional<std::vector<std::string>>& labels = std::nullopt,
                            std::string_view average = "micro");

double f1_score_by_char(const std::vector<std::string>& y_true,
                        const std::vector<std::string>& y_pred,
                        const std::optional<std::vector<std::string>>& labels = std::nullopt,
                        std::string_view average = "micro");

// The share of kept positions where the tags agree; `labels` plays no part.
double accuracy_score_by_char(const std::vector<std::string>& y_true,
                              const std::vector<std::string>& y_pred,
                              const std::optional<std::vector<std::string>>& labels = std::nullopt);

std::string classification_report_by_char(
    const std::vector<std::string>& y_true, const std::vector<std::string>& y_pred,
    const std::optional<std::vector<std::string>>& labels = std::nullopt, int digits = 2);

// The argument tags of one event over the characters (code points) of the concatenated
// `words`: "B-" + role on an argument's first character, "I-" + role on the rest, "O"
// elsewhere; where arguments overlap, the later one wins. Reads both argument formats:
//   predicted: integer "offset" and "length" in characters, role under "role";
//   gold:      "offset" = [start, end], word indices with the end excluded, role under "type".
// Word indices follow list-slice rules: past the end means the number of words, a negative
// index counts from the end, and an end not after the start gives an empty range. An offset
// that is neither an integer nor an array puts "B-" with an empty role at that offset when it
// is a number equal to a character position, and nothing otherwise. Tags that fall outside
// the text are dropped.
//
// Throws TypeError for an argument that is not an object or a value of the wrong kind
// (a word index, an offset or a length that is not an integer, a role that is not a string),
// KeyError naming a missing "offset", "role", "length" or "type", and IndexError for a gold
// "offset" with fewer than two elements.
std::vector<std::string> transform_by_char(const RecordArray& arguments,
                                           const std::vector<std::string>& words);

}  // namespace nlpeval::metrics

#endif  // NLPEVAL_METRICS_CHAR_METRICS_H_

#ifndef NLPEVAL_EVALUATOR_EVALUATES_DP_SCORE_H_
#define NLPEVAL_EVALUATOR_EVALUATES_DP_SCORE_H_

// Dependency-parse scoring: unlabelled and labelled attachment scores (UAS, LAS) of a
// predicted parse against the gold parse, both given as CoNLL lines, one token per line.
//
// Only two columns are read, counted from the end of a line split at every tab: the fourth
// field from the end is the head, the third the relation label. In the ten-column layout
// (ID FORM LEMMA CPOSTAG POSTAG FEATS HEAD DEPREL PHEAD PDEPREL) these are HEAD and DEPREL,
// and the last two columns hold "_", so a token line contains "\t_\t_". A line feed at the
// end of a line stays in the last field and never disturbs the fields counted from the end.
// CoNLL-U files fill the last two columns (DEPS, MISC), so their lines are token lines only
// once those columns are blanked to "_".

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace nlpeval {

// Lines of a CoNLL file, each normally ending with "\n".
using ConllLines = std::vector<std::string>;

// The attachment scores of one gold relation label.
struct DpLabelScore {
  std::string item;
  double uas = 0.0;
  double las = 0.0;
  int64_t support = 0;  // the scored gold lines of the label
};

struct DpResult {
  double UAS = 0.0;
  double LAS = 0.0;
  // One entry per gold relation label, in order of first appearance in the gold lines.
  std::vector<DpLabelScore> classification;

  // {"UAS": .., "LAS": .., "classification": [{"item": .., "uas": .., "las": .., "support": ..},
  // ...]}, keys in that order.
  nlohmann::ordered_json to_json() const;
};

// Returns all lines of the UTF-8 text file `input_file` in file order, blank lines
// included, each with its line end; "\r\n" and "\r" line ends become "\n", and a UTF-8 byte
// order mark at the start of the file is skipped. The last line has no "\n" when the file does
// not end with a line end.
// Throws FileError naming the path when the file cannot be opened or read (a directory
// included), and ValueError naming the path and the 1-based line when it is not valid UTF-8.
ConllLines read_conll(const std::string& input_file);

// The fourth tab-separated field from the end of `token` (the head). Throws IndexError when
// the line has fewer than 4 fields. The view points into `token`.
std::string_view get_head(std::string_view token);

// The third tab-separated field from the end of `token` (the relation label). Throws
// IndexError when the line has fewer than 3 fields. The view points into `token`.
std::string_view get_dep(std::string_view token);

// Scores `y_pred` against `y_true`, where y_pred[i] is the prediction for y_true[i].
//
// The labels are the distinct relation labels of the gold lines containing "\t_\t_", in
// order of first appearance, leaving out labels that contain "_". A gold line is scored when
// it has more than 4 fields, contains "\t_\t_", and neither its head nor its label contains
// "_"; blank lines and multiword-token lines are therefore skipped. A scored line is an
// unlabelled hit when the predicted head equals the gold head, and a labelled hit when the
// labels are equal too (exact string comparison). UAS and LAS are the shares of hits among
// the scored lines, overall and per gold label; a share over no line is 0.0.
//
// When `do_print` is true, prints to std::cout the line "UAS: x\tLAS: y", the header
// "\tUAS\tLAS\tsupport" and one line "label\tuas\tlas\tsupport" per label, numbers with
// three decimals.
//
// Throws IndexError when y_pred has no line at the position of a scored gold line, or when
// such a predicted line has fewer than 4 fields, and ValueError when a gold relation label
// is not valid UTF-8; nothing is printed then.
DpResult dp_score(const ConllLines& y_true, const ConllLines& y_pred, bool do_print = true);

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATES_DP_SCORE_H_

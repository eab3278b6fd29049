#ifndef NLPEVAL_EVALUATOR_EVALUATES_SRL_EVALUATE_H_
#define NLPEVAL_EVALUATOR_EVALUATES_SRL_EVALUATE_H_

// Semantic role labelling: reading CoNLL-2005 props files and scoring predicted propositions
// against gold ones exactly as the CoNLL-2005 shared task's scorer (srl-eval.pl) does, down
// to the bytes of its plain-text summary.
//
// A props file holds one token per line, its columns separated by white space, and a blank
// line after each sentence. Column 1 holds the target verb of the token, or "-". Then comes
// one column per target verb, in the order the verbs appear, with the verb's arguments in
// bracket notation: "(A0*" opens an argument on this token, "*" continues, "*)" closes the
// innermost open argument (the closing may repeat its type, "*A0)"), "(A0*)" is a one-token
// argument, and several brackets combine ("(A0(A1*", "*))"). "V" marks the verb itself.
// "C-A1" continues the A1 before it, which makes one discontinuous argument; "R-A0" is a type
// of its own.
//
// A sentence is a record: an array of token rows, each an array of column strings, e.g.
// [["-", "(A0*)"], ["sit", "(V*)"]].

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "nlpeval/core/record.h"
#include "nlpeval/evaluator/evaluates/props_reader.h"  // conll_iterator

namespace nlpeval {

// Arguments of one type, or of all types but "V".
struct SrlCounts {
  int64_t correct = 0;
  int64_t excess = 0;  // predicted, not in the gold proposition
  int64_t missed = 0;  // in the gold proposition, not predicted

  // Percentages; 0 when there is nothing to divide by.
  double precision() const;
  double recall() const;
  double f1() const;
};

struct SrlTypeCounts {
  std::string type;
  SrlCounts counts;
};

struct SrlResult {
  int64_t sentences = 0;
  int64_t propositions = 0;             // gold propositions
  int64_t perfect_propositions = 0;     // no excess and no missed argument, "V" aside
  SrlCounts overall;                    // all types but "V"
  std::vector<SrlTypeCounts> types;     // every type seen but "V", in byte order of the type
  std::vector<SrlTypeCounts> excluded;  // "V", scored apart, when seen

  // 100 * perfect_propositions / propositions; 0 without propositions.
  double perfect_percentage() const;

  // The scorer's plain-text summary, its lines joined by "\n" without a final one (printing
  // adds it): the sentence, proposition and perfect-proposition lines, the table header, the
  // Overall row, one row per type and the "V" row, with the scorer's widths and two-decimal
  // percentages.
  std::string to_string() const;
};

// Scores the predicted sentences against the gold ones, sentence i against sentence i (both
// lists as conll_iterator yields them, or the same shape from JSON).
//
// Propositions pair by the position of their target verb. An argument is correct when its
// type and the start and end of every piece match; "V" is counted apart and left out of
// Overall and of the perfect propositions. A gold proposition whose prediction is missing or
// has another verb at its position counts all its arguments as missed; a predicted
// proposition without a gold one at its position is not scored. A continuation "C-X" with no
// X before it in its column is an argument of type "C-X".
//
// Throws TypeError naming the side, sentence, token and column for a sentence that is not an
// array of arrays of strings. Throws ValueError naming the side, the 1-based sentence and the
// 1-based token for: a tag that is not bracket notation, a bracket closed without being
// opened or opened and never closed, a closing type that differs from the open one, a row
// without columns or with another number of columns than the first row, a number of argument
// columns other than the number of target verbs, gold and predicted sentences with different
// numbers of tokens, and lists with different numbers of sentences.
SrlResult srl_evaluate(const Records& gold_items, const Records& pred_items);

// What scoring two props files came to: the result, or the error that scoring them ends in.
struct SrlFileScore {
  SrlResult result;
  // Unequal numbers of sentences, else the first error of the sentences in file order.
  std::exception_ptr error;

  // The result; rethrows `error` when there is one.
  const SrlResult& value() const {
    if (error) std::rethrow_exception(error);
    return result;
  }
};

// Called with the number of sentence pairs read since its last call: every 256 pairs, and
// once when both files are read. May throw to stop the reading.
using SentencePairsRead = std::function<void(size_t pairs)>;

// Scores the props file `pred_file` against `gold_file` as srl_evaluate scores the lists
// conll_iterator reads from them, but reading both files in step, a sentence of each at a
// time, in memory that does not grow with the files.
//
// Throws the errors of reading as conll_iterator does, in its order: any error of reading the
// gold file comes before one of the predicted file, so both files are read to the end even
// once scoring has failed. The errors of scoring come after those, in the returned
// SrlFileScore: a caller may check more before it takes the value.
SrlFileScore srl_evaluate_files(const std::string& gold_file, const std::string& pred_file,
                                const SentencePairsRead& on_pairs_read = {});

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATES_SRL_EVALUATE_H_

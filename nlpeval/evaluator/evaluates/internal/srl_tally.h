#ifndef NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_SRL_TALLY_H_
#define NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_SRL_TALLY_H_

// The counting of semantic role labelling: one gold sentence against its prediction at a time,
// whichever road the sentences came by (records in memory, or props files read in step).

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "nlpeval/evaluator/evaluates/internal/srl_propositions.h"
#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

namespace nlpeval::srl {

class Tally {
 public:
  // Counts the propositions of `pred` against those of `gold`. Throws ValueError naming the
  // first token that one side has and the other lacks when their token counts differ.
  void add_sentence(const SentenceProps& gold, const Place& gold_place, const SentenceProps& pred,
                    const Place& pred_place);

  // Adds the counts of `other`, as though its sentences had been added here.
  void merge(const Tally& other);

  SrlResult result() const;

 private:
  void add_proposition(const SentenceProps& gold_sentence, std::span<const Argument> gold,
                       const SentenceProps& pred_sentence, std::span<const Argument> pred);
  SrlCounts& counts_of(std::string_view type);

  int64_t sentences_ = 0;
  int64_t propositions_ = 0;
  int64_t perfect_propositions_ = 0;
  struct TypeHash {
    using is_transparent = void;
    size_t operator()(std::string_view type) const { return std::hash<std::string_view>{}(type); }
  };
  // Every type seen, "V" included; looked up once per argument, sorted once at the end.
  std::unordered_map<std::string, SrlCounts, TypeHash, std::equal_to<>> type2counts_;
};

// The error of two lists of `gold` and `pred` sentences.
[[noreturn]] void throw_unequal_sentences(size_t gold, size_t pred);

}  // namespace nlpeval::srl

#endif  // NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_SRL_TALLY_H_

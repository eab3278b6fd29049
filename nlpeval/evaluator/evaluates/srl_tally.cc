#include "nlpeval/evaluator/evaluates/internal/srl_tally.h"

#include <algorithm>
#include <compare>
#include <vector>

#include "nlpeval/core/errors.h"

namespace nlpeval::srl {
namespace {

constexpr std::string_view kExcludedType = "V";  // scored apart, left out of Overall

// Names the first token that one side has and the other lacks.
[[noreturn]] void throw_unequal_tokens(const Place& gold_place, size_t gold_tokens,
                                       const Place& pred_place, size_t pred_tokens) {
  const bool gold_longer = gold_tokens > pred_tokens;
  const Place& longer = gold_longer ? gold_place : pred_place;
  throw ValueError(longer.at(std::min(gold_tokens, pred_tokens) + 1) + "gold has " +
                   std::to_string(gold_tokens) + " tokens, prediction has " +
                   std::to_string(pred_tokens) + "; this token is missing from the " +
                   (gold_longer ? "prediction" : "gold"));
}

}  // namespace

void Tally::add_sentence(const SentenceProps& gold, const Place& gold_place,
                         const SentenceProps& pred, const Place& pred_place) {
  if (gold.token_count() != pred.token_count()) {
    throw_unequal_tokens(gold_place, gold.token_count(), pred_place, pred.token_count());
  }
  ++sentences_;
  const std::vector<Proposition>& predicted = pred.propositions();
  size_t next = 0;
  // Both lists are in token order; a prediction at a position without gold is not scored.
  for (const Proposition& proposition : gold.propositions()) {
    while (next < predicted.size() && predicted[next].position < proposition.position) ++next;
    const bool found = next < predicted.size() &&
                       predicted[next].position == proposition.position &&
                       predicted[next].verb == proposition.verb;
    std::span<const Argument> guessed;
    if (found) guessed = pred.arguments_of(predicted[next]);
    add_proposition(gold, gold.arguments_of(proposition), pred, guessed);
  }
}

void Tally::merge(const Tally& other) {
  sentences_ += other.sentences_;
  propositions_ += other.propositions_;
  perfect_propositions_ += other.perfect_propositions_;
  for (const auto& [type, counts] : other.type2counts_) {
    SrlCounts& into = counts_of(type);
    into.correct += counts.correct;
    into.excess += counts.excess;
    into.missed += counts.missed;
  }
}

SrlResult Tally::result() const {
  SrlResult result;
  result.sentences = sentences_;
  result.propositions = propositions_;
  result.perfect_propositions = perfect_propositions_;
  std::vector<SrlTypeCounts> rows;
  for (const auto& [type, counts] : type2counts_) rows.push_back({type, counts});
  // Byte order of the types, as the scorer sorts them.
  std::sort(rows.begin(), rows.end(),
            [](const SrlTypeCounts& a, const SrlTypeCounts& b) { return a.type < b.type; });
  for (const auto& [type, counts] : rows) {
    (type == kExcludedType ? result.excluded : result.types).push_back({type, counts});
    if (type == kExcludedType) continue;
    result.overall.correct += counts.correct;
    result.overall.excess += counts.excess;
    result.overall.missed += counts.missed;
  }
  return result;
}

// Both argument lists are sorted, so one walk pairs the equal ones. A proposition is perfect
// when nothing but "V" is excess or missed.
void Tally::add_proposition(const SentenceProps& gold_sentence, std::span<const Argument> gold,
                            const SentenceProps& pred_sentence, std::span<const Argument> pred) {
  ++propositions_;
  bool perfect = true;
  size_t g = 0;
  size_t p = 0;
  // How the next gold argument compares with the next predicted one; a side that has run out
  // comes last.
  auto next_order = [&] {
    if (g == gold.size()) return std::strong_ordering::greater;
    if (p == pred.size()) return std::strong_ordering::less;
    return SentenceProps::compare(gold[g], gold_sentence, pred[p], pred_sentence);
  };
  while (g < gold.size() || p < pred.size()) {
    const std::strong_ordering order = next_order();
    if (order == 0) {
      ++counts_of(gold[g].type).correct;
      ++g;
      ++p;
    } else if (order < 0) {
      ++counts_of(gold[g].type).missed;
      perfect = perfect && gold[g].type == kExcludedType;
      ++g;
    } else {
      ++counts_of(pred[p].type).excess;
      perfect = perfect && pred[p].type == kExcludedType;
      ++p;
    }
  }
  perfect_propositions_ += perfect;
}

SrlCounts& Tally::counts_of(std::string_view type) {
  auto found = type2counts_.find(type);
  if (found == type2counts_.end()) found = type2counts_.emplace(std::string(type), SrlCounts{}).first;
  return found->second;
}

void throw_unequal_sentences(size_t gold, size_t pred) {
  throw ValueError("gold has " + std::to_string(gold) + " sentences, prediction has " +
                   std::to_string(pred) + ": sentence " + std::to_string(std::min(gold, pred) + 1) +
                   (gold > pred ? " is missing from the prediction" : " is missing from the gold"));
}

}  // namespace nlpeval::srl

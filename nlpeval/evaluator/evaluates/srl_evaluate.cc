#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

#include <algorithm>
#include <cinttypes>
#include <compare>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <span>
#include <string_view>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluates/internal/srl_propositions.h"

namespace nlpeval {
namespace {

constexpr std::string_view kExcludedType = "V";  // scored apart, left out of Overall

using srl::Argument;
using srl::Place;
using srl::Proposition;
using srl::SentenceProps;

// ---------------------------------------------------------------------------------------
// Counting

class Tally {
 public:
  void add_sentence(const SentenceProps& gold, const SentenceProps& pred) {
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

  SrlResult result() const {
    SrlResult result;
    result.sentences = sentences_;
    result.propositions = propositions_;
    result.perfect_propositions = perfect_propositions_;
    for (const auto& [type, counts] : type2counts_) {
      auto& rows = type == kExcludedType ? result.excluded : result.types;
      rows.push_back({type, counts});
      if (type == kExcludedType) continue;
      result.overall.correct += counts.correct;
      result.overall.excess += counts.excess;
      result.overall.missed += counts.missed;
    }
    return result;
  }

 private:
  // Both argument lists are sorted, so one walk pairs the equal ones. A proposition is
  // perfect when nothing but "V" is excess or missed.
  void add_proposition(const SentenceProps& gold_sentence, std::span<const Argument> gold,
                       const SentenceProps& pred_sentence, std::span<const Argument> pred) {
    ++propositions_;
    bool perfect = true;
    size_t g = 0;
    size_t p = 0;
    // How the next gold argument compares with the next predicted one; a side that has run
    // out comes last.
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

  SrlCounts& counts_of(std::string_view type) {
    auto found = type2counts_.find(type);
    if (found == type2counts_.end()) found = type2counts_.emplace(type, SrlCounts{}).first;
    return found->second;
  }

  int64_t sentences_ = 0;
  int64_t propositions_ = 0;
  int64_t perfect_propositions_ = 0;
  // Byte order of the types, as the scorer sorts them; "V" included.
  std::map<std::string, SrlCounts, std::less<>> type2counts_;
};

[[noreturn]] void throw_unequal_sentences(size_t gold, size_t pred) {
  throw ValueError("gold has " + std::to_string(gold) + " sentences, prediction has " +
                   std::to_string(pred) + ": sentence " + std::to_string(std::min(gold, pred) + 1) +
                   (gold > pred ? " is missing from the prediction" : " is missing from the gold"));
}

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

// ---------------------------------------------------------------------------------------
// The text form

double percentage(int64_t part, int64_t whole) {
  return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

// printf into a string; the formats here print a few short fields.
template <typename... Values>
std::string formatted(const char* format, Values... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// "%10s   %6d  %6d  %6d   %6.2f  %6.2f  %6.2f\n"; a longer name is printed whole.
void append_row(std::string& out, std::string_view name, const SrlCounts& counts) {
  if (name.size() < 10) out.append(10 - name.size(), ' ');
  out += name;
  out += formatted("   %6" PRId64 "  %6" PRId64 "  %6" PRId64 "   %6.2f  %6.2f  %6.2f\n",
                   counts.correct, counts.excess, counts.missed, counts.precision(),
                   counts.recall(), counts.f1());
}

constexpr std::string_view kRule = "------------------------------------------------------------\n";

}  // namespace

double SrlCounts::precision() const { return percentage(correct, correct + excess); }

double SrlCounts::recall() const { return percentage(correct, correct + missed); }

double SrlCounts::f1() const {
  const double p = precision();
  const double r = recall();
  return p + r > 0 ? 2 * p * r / (p + r) : 0.0;
}

double SrlResult::perfect_percentage() const {
  return percentage(perfect_propositions, propositions);
}

std::string SrlResult::to_string() const {
  std::string text = formatted("Number of Sentences    :      %6" PRId64 "\n", sentences);
  text += formatted("Number of Propositions :      %6" PRId64 "\n", propositions);
  text += formatted("Percentage of perfect props : %6.2f\n\n", perfect_percentage());
  text += formatted("%10s   %6s  %6s  %6s   %6s  %6s  %6s\n", "", "corr.", "excess", "missed",
                    "prec.", "rec.", "F1");
  text += kRule;
  append_row(text, "Overall", overall);
  text += "----------\n";
  for (const SrlTypeCounts& row : types) append_row(text, row.type, row.counts);
  text += kRule;
  for (const SrlTypeCounts& row : excluded) append_row(text, row.type, row.counts);
  text += kRule;
  text.pop_back();  // printing adds the last line break
  return text;
}

SrlResult srl_evaluate(const Records& gold_items, const Records& pred_items) {
  if (gold_items.size() != pred_items.size()) {
    throw_unequal_sentences(gold_items.size(), pred_items.size());
  }
  SentenceProps gold;
  SentenceProps pred;
  Tally tally;
  for (size_t index = 0; index < gold_items.size(); ++index) {
    const Place gold_place{"gold", gold_items, index};
    const Place pred_place{"prediction", pred_items, index};
    gold.load(gold_items[index], gold_place);
    pred.load(pred_items[index], pred_place);
    if (gold.token_count() != pred.token_count()) {
      throw_unequal_tokens(gold_place, gold.token_count(), pred_place, pred.token_count());
    }
    tally.add_sentence(gold, pred);
  }
  return tally.result();
}

}  // namespace nlpeval

#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "nlpeval/evaluator/evaluates/internal/srl_propositions.h"
#include "nlpeval/evaluator/evaluates/internal/srl_tally.h"

namespace nlpeval {
namespace {

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
    srl::throw_unequal_sentences(gold_items.size(), pred_items.size());
  }
  srl::SentenceProps gold;
  srl::SentenceProps pred;
  srl::Tally tally;
  for (size_t index = 0; index < gold_items.size(); ++index) {
    const srl::Place gold_place{"gold", index, &gold_items};
    const srl::Place pred_place{"prediction", index, &pred_items};
    gold.load(gold_items[index], gold_place);
    pred.load(pred_items[index], pred_place);
    tally.add_sentence(gold, gold_place, pred, pred_place);
  }
  return tally.result();
}

}  // namespace nlpeval

// Scoring props files as they are read: the gold and the predicted file in step, a sentence of
// each at a time, through the same counting as srl_evaluate.

#include <exception>
#include <optional>
#include <string>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluates/internal/srl_propositions.h"
#include "nlpeval/evaluator/evaluates/internal/srl_tally.h"
#include "nlpeval/evaluator/evaluates/props_reader.h"
#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

namespace nlpeval {
namespace {

// Often enough for a stop to take effect at once, rarely enough to cost nothing.
constexpr size_t kPairsBetweenCalls = 256;

// One side's file and the sentences read from it so far.
struct Side {
  std::string_view name;
  std::optional<PropsReader> reader;  // empty once the file is read, or cannot be
  PropsSentence sentence;
  size_t sentences = 0;
  srl::SentenceProps props;

  // Reads the next sentence; false at the end of the file.
  bool next() {
    if (!reader) return false;
    if (reader->next(sentence)) {
      ++sentences;
      return true;
    }
    reader.reset();
    return false;
  }

  srl::Place place() const {
    return {name, sentences - 1, nullptr, reader->file(), sentence.first_line};
  }
};

// Scores pairs of sentences until one fails; the failure is kept, as it only counts when
// reading finds no error of its own.
class PairScorer {
 public:
  void score(Side& gold, Side& pred) {
    if (error_) return;
    try {
      const srl::Place gold_place = gold.place();
      const srl::Place pred_place = pred.place();
      gold.props.load(gold.sentence.text, gold_place);
      pred.props.load(pred.sentence.text, pred_place);
      tally_.add_sentence(gold.props, gold_place, pred.props, pred_place);
    } catch (const Error&) {
      error_ = std::current_exception();
    }
  }

  SrlFileScore finish(size_t gold_sentences, size_t pred_sentences) const {
    SrlFileScore score;
    if (gold_sentences != pred_sentences) {
      try {
        srl::throw_unequal_sentences(gold_sentences, pred_sentences);
      } catch (const Error&) {
        score.error = std::current_exception();
      }
    } else if (error_) {
      score.error = error_;
    } else {
      score.result = tally_.result();
    }
    return score;
  }

 private:
  srl::Tally tally_;
  std::exception_ptr error_;
};

}  // namespace

SrlFileScore srl_evaluate_files(const std::string& gold_file, const std::string& pred_file,
                                const SentencePairsRead& on_pairs_read) {
  Side gold{"gold", PropsReader(gold_file)};
  Side pred{"prediction", std::nullopt};
  // An error of the predicted file counts only once the gold file is read without one.
  std::exception_ptr pred_error;
  try {
    pred.reader.emplace(pred_file);
  } catch (const Error&) {
    pred_error = std::current_exception();
  }
  PairScorer scorer;
  size_t pairs = 0;
  for (;;) {
    const bool gold_read = gold.next();
    bool pred_read = false;
    try {
      pred_read = pred.next();
    } catch (const Error&) {
      pred_error = std::current_exception();
      pred.reader.reset();
    }
    if (!gold_read && !pred_read) break;
    if (gold_read && pred_read && !pred_error) scorer.score(gold, pred);
    if (++pairs == kPairsBetweenCalls) {
      if (on_pairs_read) on_pairs_read(pairs);
      pairs = 0;
    }
  }
  if (on_pairs_read) on_pairs_read(pairs);
  if (pred_error) std::rethrow_exception(pred_error);
  return scorer.finish(gold.sentences, pred.sentences);
}

}  // namespace nlpeval

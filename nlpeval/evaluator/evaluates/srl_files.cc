// Scoring props files as they are read: the gold and the predicted file in step, a sentence of
// each at a time, through the same counting as srl_evaluate. One thread reads both files; the
// pairs it reads are scored in batches on two threads.

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/evaluates/internal/srl_propositions.h"
#include "nlpeval/evaluator/evaluates/internal/srl_tally.h"
#include "nlpeval/evaluator/evaluates/props_reader.h"
#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

namespace nlpeval {
namespace {

// Often enough for a stop to take effect at once, rarely enough to cost nothing.
constexpr size_t kPairsBetweenCalls = 256;

// Sentence pairs handed to a scoring thread at a time: enough to make the handing over cheap,
// few enough that the batches waiting stay in the caches.
constexpr size_t kPairsPerBatch = 64;

// One side's file and the sentences read from it so far.
struct Side {
  std::optional<PropsReader> reader;  // empty once the file is read, or cannot be
  PropsSentence sentence;
  size_t sentences = 0;

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
};

// A run of sentence pairs, their texts copied out of the readers' buffers.
struct PairBatch {
  struct Sentence {
    size_t begin;  // in `texts`
    size_t size;
    size_t first_line;
  };
  struct Pair {
    size_t index;  // 0-based, in both files
    Sentence gold;
    Sentence pred;
  };

  std::string texts;
  std::vector<Pair> pairs;

  void clear() {
    texts.clear();
    pairs.clear();
  }

  void add(size_t index, const PropsSentence& gold, const PropsSentence& pred) {
    const Sentence gold_at = append(gold);
    pairs.push_back({index, gold_at, append(pred)});
  }

  std::string_view text(const Sentence& sentence) const {
    return std::string_view(texts).substr(sentence.begin, sentence.size);
  }

 private:
  Sentence append(const PropsSentence& sentence) {
    const size_t begin = texts.size();
    texts.append(sentence.text);
    return {begin, sentence.text.size(), sentence.first_line};
  }
};

// Scores batches of pairs into a tally of its own, in memory that stays warm on its thread,
// until a pair fails. The failure is kept with its pair: it counts only when reading finds no
// error of its own and no earlier pair failed on the other thread.
class PairScorer {
 public:
  PairScorer(std::string_view gold_file, std::string_view pred_file)
      : gold_file_(gold_file), pred_file_(pred_file) {}

  void score(const PairBatch& batch) {
    for (const PairBatch::Pair& pair : batch.pairs) {
      if (error_) return;
      try {
        const srl::Place gold_place{"gold", pair.index, nullptr, gold_file_, pair.gold.first_line};
        const srl::Place pred_place{"prediction", pair.index, nullptr, pred_file_,
                                    pair.pred.first_line};
        gold_.load(batch.text(pair.gold), gold_place);
        pred_.load(batch.text(pair.pred), pred_place);
        tally_.add_sentence(gold_, gold_place, pred_, pred_place);
      } catch (const Error&) {
        error_ = std::current_exception();
        error_pair_ = pair.index;
      }
    }
  }

  // Takes in the counts of `other`, and its failure when it came at an earlier pair.
  void merge(const PairScorer& other) {
    if (other.error_ && (!error_ || other.error_pair_ < error_pair_)) {
      error_ = other.error_;
      error_pair_ = other.error_pair_;
    }
    tally_.merge(other.tally_);
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
  std::string_view gold_file_;
  std::string_view pred_file_;
  srl::SentenceProps gold_;
  srl::SentenceProps pred_;
  srl::Tally tally_;
  std::exception_ptr error_;
  size_t error_pair_ = 0;
};

// Scores the batches the reading thread fills on two threads: a helper takes them as they
// come, and the reading thread scores one itself whenever more wait than the helper needs, so
// that both cores work. Batches are reused once scored.
class ScoringPool {
 public:
  ScoringPool(std::string_view gold_file, std::string_view pred_file)
      : own_(gold_file, pred_file), helper_(gold_file, pred_file) {
    helper_thread_ = std::thread([this] { help(); });
  }

  ~ScoringPool() { stop(); }
  ScoringPool(const ScoringPool&) = delete;
  ScoringPool& operator=(const ScoringPool&) = delete;

  // An empty batch to fill.
  PairBatch take_empty() {
    std::lock_guard lock(mutex_);
    if (spare_.empty()) return PairBatch();
    PairBatch batch = std::move(spare_.back());
    spare_.pop_back();
    batch.clear();
    return batch;
  }

  // Queues a filled batch, and scores one on this thread when the helper has enough waiting.
  void add(PairBatch&& batch) {
    std::unique_lock lock(mutex_);
    queue_.push_back(std::move(batch));
    work_ready_.notify_one();
    if (queue_.size() > kQueuedForHelper) score_one(lock, own_);
  }

  // Scores what is queued, waits for the helper, and returns the counts of both. Rethrows what
  // the helper met beyond the errors of scoring (such as running out of memory).
  const PairScorer& finish() {
    {
      std::unique_lock lock(mutex_);
      while (!queue_.empty()) score_one(lock, own_);
    }
    stop();
    if (helper_failure_) std::rethrow_exception(helper_failure_);
    own_.merge(helper_);
    return own_;
  }

 private:
  static constexpr size_t kQueuedForHelper = 2;

  // Takes the first queued batch and scores it into `scorer` with the lock released.
  void score_one(std::unique_lock<std::mutex>& lock, PairScorer& scorer) {
    PairBatch batch = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    scorer.score(batch);
    lock.lock();
    spare_.push_back(std::move(batch));
  }

  // The helper thread. After a failure it only drops what comes, so that the reading goes on.
  void help() {
    std::unique_lock lock(mutex_);
    for (;;) {
      work_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping
      if (helper_failure_) {
        spare_.push_back(std::move(queue_.front()));
        queue_.pop_front();
        continue;
      }
      try {
        score_one(lock, helper_);
      } catch (...) {
        if (!lock.owns_lock()) lock.lock();
        helper_failure_ = std::current_exception();
      }
    }
  }

  // Lets the helper score what is queued, then ends it.
  void stop() {
    if (!helper_thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_ready_.notify_one();
    helper_thread_.join();
  }

  PairScorer own_;
  PairScorer helper_;                 // the helper thread's
  std::exception_ptr helper_failure_;  // the helper's, read once it has ended

  // Shared with the helper, under `mutex_`.
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::deque<PairBatch> queue_;
  std::vector<PairBatch> spare_;
  bool stopping_ = false;
  std::thread helper_thread_;  // last, so that it starts after the rest is made
};

}  // namespace

SrlFileScore srl_evaluate_files(const std::string& gold_file, const std::string& pred_file,
                                const SentencePairsRead& on_pairs_read) {
  Side gold{PropsReader(gold_file)};
  Side pred;
  // An error of the predicted file counts only once the gold file is read without one.
  std::exception_ptr pred_error;
  try {
    pred.reader.emplace(pred_file);
  } catch (const Error&) {
    pred_error = std::current_exception();
  }
  ScoringPool scorers(gold_file, pred_file);
  PairBatch batch = scorers.take_empty();
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
    if (gold_read && pred_read && !pred_error) {
      batch.add(gold.sentences - 1, gold.sentence, pred.sentence);
      if (batch.pairs.size() == kPairsPerBatch) {
        scorers.add(std::move(batch));
        batch = scorers.take_empty();
      }
    }
    if (++pairs == kPairsBetweenCalls) {
      if (on_pairs_read) on_pairs_read(pairs);
      pairs = 0;
    }
  }
  if (on_pairs_read) on_pairs_read(pairs);
  if (pred_error) std::rethrow_exception(pred_error);
  scorers.add(std::move(batch));
  return scorers.finish().finish(gold.sentences, pred.sentences);
}

}  // namespace nlpeval

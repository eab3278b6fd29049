#ifndef NLPEVAL_EVALUATOR_INTERNAL_RECORD_FILES_H_
#define NLPEVAL_EVALUATOR_INTERNAL_RECORD_FILES_H_

// Two JSON Lines files (or two sources of record batches) evaluated in one pass without holding
// them whole. Each file is read, parsed and validated chunk by chunk on a thread of its own, a
// few chunks ahead of its use, while the caller walks the records of both in step. Only a few
// chunks of each file are in memory at a time, and the memory of a chunk's parsed records is
// reused for the next one.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/progress.h"
#include "nlpeval/core/record.h"
#include "nlpeval/core/internal/tags_ahead.h"
#include "nlpeval/data/json_reader.h"
#include "nlpeval/evaluator/evaluator.h"

namespace nlpeval {

// Checks the records of a batch from position `from` on, the batch standing at `first_index`
// onwards in its file; throws for the first invalid one.
using BatchValidator = std::function<void(const Records& batch, size_t first_index, size_t from)>;

// Opens a source of record batches (see RecordBatchSource in evaluator.h); a throw means the
// source cannot be read at all, as a missing file.
using SourceOpener = std::function<RecordBatchSource()>;

// The source of the chunks of a JSON Lines file; opening throws FileError naming it.
SourceOpener json_lines_opener(std::string file, size_t chunk_bytes);

// A batch of records and, when its file is tagged ahead, their tags.
struct RecordBatch {
  Records records;
  TaggedBatch tagged;
};

// The batches of one JSON Lines file, read and validated on a thread of its own up to
// kBatchesAhead batches ahead of their use, so that the reader rides out a slow stretch of
// the caller and the other way round. Validation stops at the first invalid record; reading
// goes on. Errors are kept, not thrown.
class CheckedStream {
 public:
  static constexpr size_t kBatchesAhead = 3;

  // When records are validated: each batch as it is read, or only those the caller did not
  // vouch for: the rest of the batch named to check_rest and every batch drain() reads.
  enum class Validation { as_read, unvouched };

  // With `ahead_keys`, each batch is also tagged (see AheadTagger) on the reading thread.
  CheckedStream(const std::string& file, BatchValidator validate, size_t chunk_bytes,
                Validation validation = Validation::as_read,
                const std::optional<TagKeys>& ahead_keys = std::nullopt);
  // The same over the batches of any source, which the reading thread calls.
  CheckedStream(const SourceOpener& open, BatchValidator validate,
                Validation validation = Validation::as_read,
                const std::optional<TagKeys>& ahead_keys = std::nullopt);
  ~CheckedStream();
  CheckedStream(const CheckedStream&) = delete;
  CheckedStream& operator=(const CheckedStream&) = delete;

  // Replaces `batch` with the next batch and returns true; returns false once the file is read
  // or cannot be read further. The batch handed back is read into again in the background, so
  // the records taken from it must no longer be in use.
  bool next(RecordBatch& batch);

  // Whether a record handed out so far, or the batch handed out last, is invalid.
  bool met_invalid() const { return met_invalid_; }

  // Validates the records of `batch`, the batch handed out last, from `position` on. Does
  // nothing when batches are validated as read, or once an invalid record was found.
  void check_rest(const Records& batch, size_t position);

  // Reads the rest of the file, validating it when validation is left to the caller.
  void drain();

  // Once the file is drained: what was wrong with it, and how many records it holds. (Until
  // then only the reading thread may touch these.)
  std::exception_ptr unreadable() const { return unreadable_; }  // no file, or a line not JSON
  std::exception_ptr invalid() const { return invalid_; }        // the first invalid record
  size_t records() const { return records_; }

 private:
  // A batch read, where it starts in the file, and whether it or a batch before it held an
  // invalid record.
  struct Ready {
    RecordBatch batch;
    size_t first_index;
    bool after_invalid;
  };

  void read_all();
  bool read_into(RecordBatch& batch);

  BatchValidator validate_;
  Validation validation_;
  std::exception_ptr unreadable_;
  // Written by the reading thread when it validates, otherwise by the caller's.
  std::exception_ptr invalid_;
  size_t records_ = 0;
  bool met_invalid_ = false;  // the caller's copy, taken with each batch
  size_t first_index_ = 0;    // of the batch handed out last
  RecordBatchSource source_;
  std::unique_ptr<AheadTagger> ahead_tagger_;  // used by the reading thread alone

  // Shared with the reading thread, under `mutex_`.
  std::mutex mutex_;
  std::condition_variable batch_ready_;  // to the caller: a batch, or the end, has come
  std::condition_variable room_ahead_;   // to the reader: a batch was taken, or it must stop
  std::deque<Ready> ready_;              // at most kBatchesAhead
  std::vector<RecordBatch> spare_;       // batches handed back, to be read into again
  bool finished_ = false;                // the reader has read all it will
  bool stopping_ = false;                // the caller wants no more
  std::thread reader_;                   // last, so that it starts after the rest is made
};

// The instances of a gold and a predicted JSON Lines file, walked in step (see InstancePairs)
// while both files are read and validated. Errors come in the order of reading both files
// whole, then validating all gold and all predicted records, then walking: an unreadable gold
// file, an unreadable predicted file, `held_error` (an error the caller met before the walk),
// an invalid gold record, an invalid predicted record, files of unequal length, and last what
// `visit` threw. A visit that throws Cancelled stops the walk at once. There being no held error,
// instances are visited while every record read so far is valid; the rest of both files is then
// read to find errors that come first.
//
// With `visits_vouch`, the caller promises that a visit that returns has proved both records
// valid (its mapper fails on whatever the validators refuse). Records are then validated only
// where no visit vouched for them: from the instance whose visit threw, and those of the
// longer file past the end of the shorter. The errors are the same; valid files are walked
// without a validating pass.
//
// With `ahead_keys`, both files are tagged ahead as they are read, and a visit that takes
// them gets each side's AheadTags after the instance number.
//
// Over two sources of batches instead of files, the errors come in the same order, as those
// of evaluate() on lists: an error of a source counts as its list's, the unequal lengths are
// "prediction_file and label_file has unequal" alone, and a visit's error is not given the
// instance's place.
class StreamedPairs {
 public:
  StreamedPairs(std::string true_file, std::string pred_file, BatchValidator validate_gold,
                BatchValidator validate_pred, std::exception_ptr held_error = nullptr,
                size_t chunk_bytes = JsonLinesStream::kDefaultChunkBytes, bool visits_vouch = false,
                std::optional<TagKeys> ahead_keys = std::nullopt)
      : StreamedPairs(json_lines_opener(true_file, chunk_bytes),
                      json_lines_opener(pred_file, chunk_bytes), std::move(validate_gold),
                      std::move(validate_pred), std::move(held_error), visits_vouch, ahead_keys) {
    files_ = FileNames{std::move(true_file), std::move(pred_file)};
  }

  StreamedPairs(SourceOpener open_gold, SourceOpener open_pred, BatchValidator validate_gold,
                BatchValidator validate_pred, std::exception_ptr held_error, bool visits_vouch,
                std::optional<TagKeys> ahead_keys)
      : open_gold_(std::move(open_gold)),
        open_pred_(std::move(open_pred)),
        validate_gold_(std::move(validate_gold)),
        validate_pred_(std::move(validate_pred)),
        held_error_(std::move(held_error)),
        validation_(visits_vouch ? CheckedStream::Validation::unvouched
                                 : CheckedStream::Validation::as_read),
        ahead_keys_(ahead_keys) {}

  // Whether records are validated only where no visit vouched for them.
  bool visits_vouch() const { return validation_ == CheckedStream::Validation::unvouched; }

  template <typename Visit>
  void for_each(Visit&& visit) const {
    CheckedStream gold(open_gold_, validate_gold_, validation_, ahead_keys_);
    CheckedStream pred(open_pred_, validate_pred_, validation_, ahead_keys_);
    std::exception_ptr visit_error;
    if (!held_error_) {
      try {
        walk_in_step(gold, pred, visit, files_.has_value());
      } catch (const Cancelled&) {
        throw;  // the caller wants nothing more, not even the errors of the rest
      } catch (...) {
        visit_error = std::current_exception();
      }
    }
    gold.drain();
    pred.drain();
    throw_first_error(gold, pred, visit_error);
  }

 private:
  // Visits pairs until a file ends, a record read is invalid or a visit throws; the records
  // no visit returned from are then left to check_rest.
  template <typename Visit>
  static void walk_in_step(CheckedStream& gold, CheckedStream& pred, Visit& visit,
                           bool places_errors) {
    RecordBatch gold_batch;
    RecordBatch pred_batch;
    size_t gold_at = 0;
    size_t pred_at = 0;
    try {
      visit_in_step(gold, pred, visit, gold_batch, pred_batch, gold_at, pred_at, places_errors);
    } catch (const Cancelled&) {
      throw;
    } catch (...) {
      gold.check_rest(gold_batch.records, gold_at);
      pred.check_rest(pred_batch.records, pred_at);
      throw;
    }
    gold.check_rest(gold_batch.records, gold_at);
    pred.check_rest(pred_batch.records, pred_at);
  }

  // The loop of walk_in_step; `gold_at` and `pred_at` stay at the instance being visited.
  template <typename Visit>
  static void visit_in_step(CheckedStream& gold, CheckedStream& pred, Visit& visit,
                            RecordBatch& gold_batch, RecordBatch& pred_batch, size_t& gold_at,
                            size_t& pred_at, bool places_errors) {
    for (size_t index = 0;; ++index) {
      if (gold_at == gold_batch.records.size()) {
        if (!gold.next(gold_batch)) return;
        gold_at = 0;
      }
      if (pred_at == pred_batch.records.size()) {
        if (!pred.next(pred_batch)) return;
        pred_at = 0;
      }
      if (gold.met_invalid() || pred.met_invalid()) return;
      const Record label = gold_batch.records[gold_at];
      const Record prediction = pred_batch.records[pred_at];
      try {
        if constexpr (std::is_invocable_v<Visit&, const Record&, const Record&, size_t,
                                          const AheadTags&, const AheadTags&>) {
          visit(label, prediction, index, ahead_tags(gold_batch, gold_at),
                ahead_tags(pred_batch, pred_at));
        } else {
          visit(label, prediction, index);
        }
      } catch (const Error& error) {
        if (!places_errors) throw;
        rethrow_at_instance(error, index, gold_batch.records.origin(gold_at),
                            pred_batch.records.origin(pred_at));
      }
      ++gold_at;
      ++pred_at;
    }
  }

  static AheadTags ahead_tags(const RecordBatch& batch, size_t position) {
    return {batch.tagged.records.empty() ? nullptr : &batch.tagged, position};
  }

  // Throws an error of the kind of `error` whose message also names the instance (1-based) and
  // the lines of both files it stands on, which the mappers and miners do not know.
  [[noreturn]] static void rethrow_at_instance(const Error& error, size_t index,
                                               const std::string& gold_origin,
                                               const std::string& pred_origin);

  void throw_first_error(const CheckedStream& gold, const CheckedStream& pred,
                         const std::exception_ptr& visit_error) const;

  struct FileNames {
    std::string gold;
    std::string pred;
  };

  SourceOpener open_gold_;
  SourceOpener open_pred_;
  std::optional<FileNames> files_;  // null for sources other than files
  BatchValidator validate_gold_;
  BatchValidator validate_pred_;
  std::exception_ptr held_error_;
  CheckedStream::Validation validation_;
  std::optional<TagKeys> ahead_keys_;
};

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_INTERNAL_RECORD_FILES_H_

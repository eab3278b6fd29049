#include "nlpeval/evaluator/internal/record_files.h"

namespace nlpeval {

SourceOpener json_lines_opener(std::string file, size_t chunk_bytes) {
  return [file = std::move(file), chunk_bytes]() -> RecordBatchSource {
    auto stream = std::make_shared<JsonLinesStream>(file, chunk_bytes);
    return [stream](Records& batch) { return stream->next(batch); };
  };
}

CheckedStream::CheckedStream(const std::string& file, BatchValidator validate, size_t chunk_bytes,
                             Validation validation, const std::optional<TagKeys>& ahead_keys)
    : CheckedStream(json_lines_opener(file, chunk_bytes), std::move(validate), validation,
                    ahead_keys) {}

CheckedStream::CheckedStream(const SourceOpener& open, BatchValidator validate,
                             Validation validation, const std::optional<TagKeys>& ahead_keys)
    : validate_(std::move(validate)), validation_(validation) {
  if (ahead_keys) ahead_tagger_ = std::make_unique<AheadTagger>(*ahead_keys);
  try {
    source_ = open();
  } catch (...) {
    unreadable_ = std::current_exception();
    finished_ = true;
    return;
  }
  reader_ = std::thread([this] { read_all(); });
}

CheckedStream::~CheckedStream() {
  if (!reader_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  room_ahead_.notify_one();
  reader_.join();
}

bool CheckedStream::next(RecordBatch& batch) {
  std::unique_lock lock(mutex_);
  spare_.push_back(std::move(batch));
  batch = RecordBatch();
  room_ahead_.notify_one();
  batch_ready_.wait(lock, [this] { return !ready_.empty() || finished_; });
  if (ready_.empty()) return false;
  batch = std::move(ready_.front().batch);
  first_index_ = ready_.front().first_index;
  met_invalid_ = ready_.front().after_invalid;
  ready_.pop_front();
  return true;
}

void CheckedStream::check_rest(const Records& batch, size_t position) {
  if (validation_ != Validation::unvouched || invalid_ || position >= batch.size()) return;
  try {
    validate_(batch, first_index_, position);
  } catch (...) {
    invalid_ = std::current_exception();
  }
}

void CheckedStream::drain() {
  RecordBatch batch;
  while (next(batch)) {
    if (validation_ == Validation::unvouched) check_rest(batch.records, 0);
  }
  if (reader_.joinable()) reader_.join();
}

// The reading thread: reads batch after batch while there is room ahead, until the file ends,
// cannot be read further, or the caller stops.
void CheckedStream::read_all() {
  for (;;) {
    RecordBatch batch;
    {
      std::unique_lock lock(mutex_);
      room_ahead_.wait(lock, [this] { return ready_.size() < kBatchesAhead || stopping_; });
      if (stopping_) break;
      if (!spare_.empty()) {
        batch = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    const size_t first_index = records_;
    bool got = read_into(batch);
    std::lock_guard lock(mutex_);
    if (!got) break;
    // Left to the caller, validation writes `invalid_` on the caller's thread: not read here.
    const bool after_invalid = validation_ == Validation::as_read && invalid_ != nullptr;
    ready_.push_back({std::move(batch), first_index, after_invalid});
    batch_ready_.notify_one();
  }
  std::lock_guard lock(mutex_);
  finished_ = true;
  batch_ready_.notify_one();
}

// Runs on the reading thread; the counts and errors it sets are read once it has finished.
bool CheckedStream::read_into(RecordBatch& batch) {
  try {
    if (!source_(batch.records)) return false;
    // Only running out of memory throws past the source: malformed records are left untagged.
    if (ahead_tagger_) ahead_tagger_->tag(batch.records, batch.tagged);
  } catch (...) {
    unreadable_ = std::current_exception();
    batch = RecordBatch();
    return false;
  }
  if (validation_ == Validation::as_read && !invalid_) {
    try {
      validate_(batch.records, records_, 0);
    } catch (...) {
      invalid_ = std::current_exception();
    }
  }
  records_ += batch.records.size();
  return true;
}

void StreamedPairs::throw_first_error(const CheckedStream& gold, const CheckedStream& pred,
                                      const std::exception_ptr& visit_error) const {
  for (const std::exception_ptr& error :
       {gold.unreadable(), pred.unreadable(), held_error_, gold.invalid(), pred.invalid()}) {
    if (error) std::rethrow_exception(error);
  }
  if (gold.records() != pred.records()) {
    if (!files_) throw ValueError("prediction_file and label_file has unequal");
    throw ValueError("prediction_file and label_file has unequal: " + files_->gold + " holds " +
                     std::to_string(gold.records()) + " records, " + files_->pred + " " +
                     std::to_string(pred.records()));
  }
  if (visit_error) std::rethrow_exception(visit_error);
}

void StreamedPairs::rethrow_at_instance(const Error& error, size_t index,
                                        const std::string& gold_origin,
                                        const std::string& pred_origin) {
  const std::string where =
      "instance " + std::to_string(index + 1) + " (" + gold_origin + ", " + pred_origin + ")";
  const std::string message = where + ": " + error.what();
  if (const auto* key_error = dynamic_cast<const KeyError*>(&error)) {
    // The message of a KeyError starts with the key; the place goes into its detail.
    const std::string& detail = key_error->detail();
    throw KeyError(key_error->key(), "in " + where + (detail.empty() ? "" : ": " + detail));
  }
  if (dynamic_cast<const TypeError*>(&error)) throw TypeError(message);
  if (dynamic_cast<const ValueError*>(&error)) throw ValueError(message);
  if (dynamic_cast<const IndexError*>(&error)) throw IndexError(message);
  if (dynamic_cast<const AttributeError*>(&error)) throw AttributeError(message);
  if (dynamic_cast<const ZeroDivisionError*>(&error)) throw ZeroDivisionError(message);
  if (dynamic_cast<const FileError*>(&error)) throw FileError(message);
  throw Error(message);
}

}  // namespace nlpeval

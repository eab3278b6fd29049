#include "nlpeval/evaluator/record_files.h"

namespace nlpeval {

CheckedStream::CheckedStream(const std::string& file, BatchValidator validate, size_t chunk_bytes)
    : validate_(std::move(validate)) {
  try {
    stream_ = std::make_unique<JsonLinesStream>(file, chunk_bytes);
  } catch (...) {
    unreadable_ = std::current_exception();
    return;
  }
  read_ahead();
}

CheckedStream::~CheckedStream() {
  if (pending_.valid()) pending_.wait();
}

bool CheckedStream::next(Records& batch) {
  if (!pending_.valid()) return false;
  bool got = pending_.get();
  met_invalid_ = invalid_ != nullptr;  // read now: the next read may set it
  std::swap(batch, ahead_);
  if (got) read_ahead();
  return got;
}

void CheckedStream::drain() {
  Records batch;
  while (next(batch)) {
  }
}

void CheckedStream::read_ahead() {
  pending_ = std::async(std::launch::async, [this] { return read_into(ahead_); });
}

// Runs on the reading thread, one call at a time; next() waits for it before looking at the
// counts and errors.
bool CheckedStream::read_into(Records& batch) {
  try {
    if (!stream_->next(batch)) return false;
  } catch (...) {
    unreadable_ = std::current_exception();
    batch = Records();
    return false;
  }
  if (!invalid_) {
    try {
      validate_(batch, records_);
    } catch (...) {
      invalid_ = std::current_exception();
    }
  }
  records_ += batch.size();
  return true;
}

void StreamedPairs::throw_first_error(const CheckedStream& gold, const CheckedStream& pred,
                                      const std::exception_ptr& visit_error) const {
  for (const std::exception_ptr& error :
       {gold.unreadable(), pred.unreadable(), held_error_, gold.invalid(), pred.invalid()}) {
    if (error) std::rethrow_exception(error);
  }
  if (gold.records() != pred.records()) {
    throw ValueError("prediction_file and label_file has unequal: " + true_file_ + " holds " +
                     std::to_string(gold.records()) + " records, " + pred_file_ + " " +
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

#include "nlpeval/metrics/sequence_metrics.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/metrics/report.h"

namespace nlpeval::metrics::seq {
namespace {

constexpr std::string_view kNoType = "_";

struct Tag {
  char prefix = 'O';
  std::string_view type = kNoType;
};

// What follows every sequence.
constexpr Tag kOutside{};

bool is_continuation_byte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The per-tag steps below are forced inline: left to the compiler they stayed calls, which
// made scoring a third slower.

// Splits a non-empty tag into prefix and type. Only ASCII prefixes mean anything, so a
// multi-byte first character is represented by its lead byte; its other bytes are skipped.
[[gnu::always_inline]] inline Tag parse_tag(std::string_view tag) {
  if (tag.size() == 1) return {tag[0], kNoType};  // "O", mostly
  size_t prefix_size = 1;
  if (static_cast<unsigned char>(tag[0]) >= 0x80) {
    while (prefix_size < tag.size() && is_continuation_byte(tag[prefix_size])) ++prefix_size;
  }
  std::string_view type = tag.substr(prefix_size);
  size_t dash = type.starts_with('-') ? 0 : type.find('-');  // "B-PER": skip the search
  if (dash != std::string_view::npos) type.remove_prefix(dash + 1);
  return {tag[0], type.empty() ? kNoType : type};
}

bool is_outside(char prefix) { return prefix == 'O' || prefix == '.'; }

// The chunk rules of the header, in its order.
[[gnu::always_inline]] inline bool ends_chunk(const Tag& prev, const Tag& tag) {
  if (prev.prefix == 'E' || prev.prefix == 'S') return true;
  if ((prev.prefix == 'B' || prev.prefix == 'I') &&
      (tag.prefix == 'B' || tag.prefix == 'S' || tag.prefix == 'O')) {
    return true;
  }
  return !is_outside(prev.prefix) && prev.type != tag.type;
}

[[gnu::always_inline]] inline bool starts_chunk(const Tag& prev, const Tag& tag) {
  if (tag.prefix == 'B' || tag.prefix == 'S') return true;
  if ((tag.prefix == 'I' || tag.prefix == 'E') &&
      (prev.prefix == 'O' || prev.prefix == 'E' || prev.prefix == 'S')) {
    return true;
  }
  return !is_outside(tag.prefix) && prev.type != tag.type;
}

// Reads the chunks of one side of a data set, a sequence at a time. Positions count over the
// whole stream of sequences, each followed by an "O", because a chunk may start in an
// earlier sequence (see the header).
class ChunkReader {
 public:
  // Calls on_chunk(type, first, last) for each chunk ending in `sequence`, in order; `type`
  // points into `sequence`. `instance` (1-based, 0 for none) only goes into messages.
  template <typename OnChunk>
  void read(const TagSequence& sequence, size_t instance, OnChunk&& on_chunk) {
    Tag prev = kOutside;
    for (size_t i = 0; i <= sequence.size(); ++i) {
      Tag tag = i < sequence.size() ? checked_tag(sequence[i], instance, i) : kOutside;
      size_t position = offset_ + i;
      // prev is outside at i == 0, so position - 1 never wraps.
      if (ends_chunk(prev, tag)) on_chunk(prev.type, begin_, position - 1);
      if (starts_chunk(prev, tag)) begin_ = position;
      prev = tag;
    }
    offset_ += sequence.size() + 1;
  }

 private:
  static Tag checked_tag(const std::string& tag, size_t instance, size_t index) {
    if (tag.empty()) throw_empty_tag(instance, index);
    return parse_tag(tag);
  }

  [[noreturn, gnu::noinline]] static void throw_empty_tag(size_t instance, size_t index) {
    std::string where = instance == 0 ? "" : " of instance " + std::to_string(instance);
    throw ValueError("tag " + std::to_string(index + 1) + where + " is empty");
  }

  size_t offset_ = 0;  // stream position of the next sequence's first tag
  size_t begin_ = 0;   // stream position of the latest chunk start
};

// A chunk with its type interned; first and last are stream positions.
struct IdChunk {
  size_t type;
  size_t first;
  size_t last;
};

// FNV-1a: types are a few bytes long, where it beats the library's out-of-line hash.
struct TypeHash {
  size_t operator()(std::string_view type) const {
    uint64_t hash = 14695981039346656037u;
    for (char byte : type) hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211u;
    return static_cast<size_t>(hash);
  }
};

// Interns chunk types and counts per type. The keys view the input tags, which outlive the
// tally and, unlike the counted names, never move.
class TypeTally {
 public:
  size_t id(std::string_view type) {
    auto [it, added] = ids_.try_emplace(type, counts_.size());
    if (added) counts_.push_back({.type = std::string(type)});
    return it->second;
  }

  TypeCounts& operator[](size_t id) { return counts_[id]; }

  std::vector<TypeCounts> sorted() && {
    std::sort(counts_.begin(), counts_.end(),
              [](const TypeCounts& a, const TypeCounts& b) { return a.type < b.type; });
    return std::move(counts_);
  }

 private:
  std::unordered_map<std::string_view, size_t, TypeHash> ids_;
  std::vector<TypeCounts> counts_;
};

// Counts the predicted chunks equal to a gold chunk. Both lists are ordered by their ends and
// no two chunks of one list share an end, so one merge finds every pair.
void count_correct(const std::vector<IdChunk>& gold, const std::vector<IdChunk>& pred,
                   TypeTally& tally) {
  size_t g = 0;
  size_t p = 0;
  while (g < gold.size() && p < pred.size()) {
    if (gold[g].last < pred[p].last) {
      ++g;
    } else if (pred[p].last < gold[g].last) {
      ++p;
    } else {
      if (gold[g].first == pred[p].first && gold[g].type == pred[p].type) {
        ++tally[gold[g].type].correct;
      }
      ++g;
      ++p;
    }
  }
}

void check_lengths(const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred) {
  if (y_true.size() != y_pred.size()) {
    throw ValueError("y_true and y_pred hold different numbers of sequences: " +
                     std::to_string(y_true.size()) + " and " + std::to_string(y_pred.size()));
  }
}

void check_lengths(const TagSequence& gold, const TagSequence& pred, size_t instance) {
  if (gold.size() != pred.size()) {
    throw ValueError("instance " + std::to_string(instance) + ": the gold sequence has " +
                     std::to_string(gold.size()) + " tags, the predicted one " +
                     std::to_string(pred.size()));
  }
}

// The scored rows: every counted type, or one per listed type in the listed order.
std::vector<TypeCounts> select_rows(std::vector<TypeCounts> counts,
                                    const std::optional<std::vector<std::string>>& labels) {
  if (!labels) return counts;
  std::unordered_map<std::string_view, size_t> index;
  for (size_t i = 0; i < counts.size(); ++i) index.emplace(counts[i].type, i);
  std::vector<TypeCounts> rows;
  rows.reserve(labels->size());
  for (const std::string& label : *labels) {
    auto it = index.find(label);
    rows.push_back(it == index.end() ? TypeCounts{.type = label} : counts[it->second]);
  }
  return rows;
}

std::vector<TypeCounts> scored_rows(const std::vector<TagSequence>& y_true,
                                    const std::vector<TagSequence>& y_pred,
                                    const std::optional<std::vector<std::string>>& labels) {
  return select_rows(count_chunks(y_true, y_pred), labels);
}

double ratio(int64_t numerator, int64_t denominator) {
  return denominator == 0 ? 0.0 : static_cast<double>(numerator) / static_cast<double>(denominator);
}

// Written as 2 * p * r / (p + r), in that order, to match the reference values to the bit.
double harmonic_mean(double precision, double recall) {
  double denominator = precision + recall;
  return denominator == 0.0 ? 0.0 : 2 * precision * recall / denominator;
}

ReportRow scored_row(std::string name, int64_t correct, int64_t pred_count, int64_t true_count) {
  double precision = ratio(correct, pred_count);
  double recall = ratio(correct, true_count);
  return {std::move(name), precision, recall, harmonic_mean(precision, recall), true_count};
}

ReportRow micro_average(const std::vector<TypeCounts>& rows) {
  int64_t correct = 0;
  int64_t pred_count = 0;
  int64_t true_count = 0;
  for (const TypeCounts& row : rows) {
    correct += row.correct;
    pred_count += row.pred_count;
    true_count += row.true_count;
  }
  return scored_row("micro avg", correct, pred_count, true_count);
}

// Sums the way the reference scorers' arrays sum: in order below 8 values, in 8 interleaved
// partial sums up to 128, halving above. Only the last bit can differ from a plain loop, but
// that bit decides a value that lies on a rounding tie.
double pairwise_sum(std::span<const double> values) {
  constexpr size_t kBlock = 128;
  if (values.size() < 8) {
    double sum = 0.0;
    for (double value : values) sum += value;
    return sum;
  }
  if (values.size() <= kBlock) {
    double partial[8];
    std::copy_n(values.begin(), 8, partial);
    size_t i = 8;
    for (; i + 8 <= values.size(); i += 8) {
      for (size_t j = 0; j < 8; ++j) partial[j] += values[i + j];
    }
    double sum = ((partial[0] + partial[1]) + (partial[2] + partial[3])) +
                 ((partial[4] + partial[5]) + (partial[6] + partial[7]));
    for (; i < values.size(); ++i) sum += values[i];
    return sum;
  }
  size_t half = values.size() / 2;
  half -= half % 8;
  return pairwise_sum(values.first(half)) + pairwise_sum(values.subspan(half));
}

// The plain or support-weighted mean of one column of `rows`; 0 when the weights sum to 0.
double mean(const std::vector<ReportRow>& rows, double ReportRow::*column, bool weighted) {
  std::vector<double> terms;
  terms.reserve(rows.size());
  double total_weight = 0.0;
  for (const ReportRow& row : rows) {
    double weight = weighted ? static_cast<double>(row.support) : 1.0;
    terms.push_back(weighted ? row.*column * weight : row.*column);
    total_weight += weight;
  }
  return total_weight == 0.0 ? 0.0 : pairwise_sum(terms) / total_weight;
}

ReportRow mean_row(std::string name, const std::vector<ReportRow>& rows, int64_t support,
                   bool weighted) {
  return {std::move(name), mean(rows, &ReportRow::precision, weighted),
          mean(rows, &ReportRow::recall, weighted), mean(rows, &ReportRow::f1, weighted), support};
}

std::string report_of(const std::vector<TypeCounts>& counts, int digits) {
  std::vector<ReportRow> rows;
  rows.reserve(counts.size());
  for (const TypeCounts& row : counts) {
    rows.push_back(scored_row(row.type, row.correct, row.pred_count, row.true_count));
  }
  ReportRow micro = micro_average(counts);
  std::vector<ReportRow> averages = {micro, mean_row("macro avg", rows, micro.support, false),
                                     mean_row("weighted avg", rows, micro.support, true)};
  return format_report(rows, averages, digits);
}

}  // namespace

std::vector<Chunk> get_chunks(const TagSequence& sequence) {
  std::vector<Chunk> chunks;
  ChunkReader reader;
  reader.read(sequence, 0, [&](std::string_view type, size_t first, size_t last) {
    chunks.push_back({std::string(type), first, last + 1});
  });
  return chunks;
}

std::vector<TypeCounts> count_chunks(const std::vector<TagSequence>& y_true,
                                     const std::vector<TagSequence>& y_pred) {
  check_lengths(y_true, y_pred);
  TypeTally tally;
  ChunkReader gold_reader;
  ChunkReader pred_reader;
  std::vector<IdChunk> gold;  // the chunks ending in the current instance, reused
  std::vector<IdChunk> pred;
  for (size_t k = 0; k < y_true.size(); ++k) {
    check_lengths(y_true[k], y_pred[k], k + 1);
    gold.clear();
    pred.clear();
    gold_reader.read(y_true[k], k + 1, [&](std::string_view type, size_t first, size_t last) {
      size_t id = tally.id(type);
      ++tally[id].true_count;
      gold.push_back({id, first, last});
    });
    pred_reader.read(y_pred[k], k + 1, [&](std::string_view type, size_t first, size_t last) {
      size_t id = tally.id(type);
      ++tally[id].pred_count;
      pred.push_back({id, first, last});
    });
    count_correct(gold, pred, tally);
  }
  return std::move(tally).sorted();
}

double precision_score(const std::vector<TagSequence>& y_true,
                       const std::vector<TagSequence>& y_pred,
                       const std::optional<std::vector<std::string>>& labels) {
  return micro_average(scored_rows(y_true, y_pred, labels)).precision;
}

double recall_score(const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred,
                    const std::optional<std::vector<std::string>>& labels) {
  return micro_average(scored_rows(y_true, y_pred, labels)).recall;
}

double f1_score(const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred,
                const std::optional<std::vector<std::string>>& labels) {
  return micro_average(scored_rows(y_true, y_pred, labels)).f1;
}

std::string classification_report(const std::vector<TagSequence>& y_true,
                                  const std::vector<TagSequence>& y_pred,
                                  const std::optional<std::vector<std::string>>& labels,
                                  int digits) {
  return report_of(scored_rows(y_true, y_pred, labels), digits);
}

ScoreResult score(const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred,
                  const std::optional<std::vector<std::string>>& labels, int digits) {
  std::vector<TypeCounts> rows = scored_rows(y_true, y_pred, labels);
  ReportRow micro = micro_average(rows);
  return {micro.precision, micro.recall, micro.f1, report_of(rows, digits)};
}

}  // namespace nlpeval::metrics::seq

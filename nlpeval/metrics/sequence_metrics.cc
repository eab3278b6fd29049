#include "nlpeval/metrics/sequence_metrics.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/internal/short_strings.h"
#include "nlpeval/metrics/report.h"

namespace nlpeval::metrics::seq {
namespace {

constexpr std::string_view kNoType = "_";

// A tag split into prefix and type. The type is a view of the tag's text or, when tags come
// as vocabulary ids, an interned type id.
template <typename Type>
struct Tag {
  char prefix;
  Type type;
};

using TextTag = Tag<std::string_view>;
constexpr TextTag kTextOutside{'O', kNoType};

bool is_continuation_byte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The per-tag steps below are forced inline: left to the compiler they stayed calls, which
// made scoring a third slower.

// Splits a non-empty tag into prefix and type. Only ASCII prefixes mean anything, so a
// multi-byte first character is represented by its lead byte; its other bytes are skipped.
[[gnu::always_inline]] inline TextTag parse_tag(std::string_view tag) {
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
template <typename Type>
[[gnu::always_inline]] inline bool ends_chunk(const Tag<Type>& prev, const Tag<Type>& tag) {
  if (prev.prefix == 'E' || prev.prefix == 'S') return true;
  if ((prev.prefix == 'B' || prev.prefix == 'I') &&
      (tag.prefix == 'B' || tag.prefix == 'S' || tag.prefix == 'O')) {
    return true;
  }
  return !is_outside(prev.prefix) && prev.type != tag.type;
}

template <typename Type>
[[gnu::always_inline]] inline bool starts_chunk(const Tag<Type>& prev, const Tag<Type>& tag) {
  if (tag.prefix == 'B' || tag.prefix == 'S') return true;
  if ((tag.prefix == 'I' || tag.prefix == 'E') &&
      (prev.prefix == 'O' || prev.prefix == 'E' || prev.prefix == 'S')) {
    return true;
  }
  return !is_outside(tag.prefix) && prev.type != tag.type;
}

[[noreturn, gnu::noinline]] void throw_empty_tag(size_t instance, size_t index) {
  std::string where = instance == 0 ? "" : " of instance " + std::to_string(instance);
  throw ValueError("tag " + std::to_string(index + 1) + where + " is empty");
}

// Reads the chunks of one side of a data set, a sequence at a time. Positions count over the
// whole stream of sequences, each followed by an "O", because a chunk may start in an
// earlier sequence (see the header).
template <typename Type>
class ChunkReader {
 public:
  explicit ChunkReader(Tag<Type> outside) : outside_(outside) {}

  // Calls on_chunk(type, first, last) for each chunk ending in a sequence of `size` tags, in
  // order; tag_at(i) returns the i-th tag split.
  template <typename TagAt, typename OnChunk>
  [[gnu::always_inline]] inline void read(size_t size, TagAt&& tag_at, OnChunk&& on_chunk) {
    Tag<Type> prev = outside_;
    for (size_t i = 0; i <= size; ++i) {
      Tag<Type> tag = i < size ? tag_at(i) : outside_;
      size_t position = offset_ + i;
      // prev is outside at i == 0, so position - 1 never wraps.
      if (ends_chunk(prev, tag)) on_chunk(prev.type, begin_, position - 1);
      if (starts_chunk(prev, tag)) begin_ = position;
      prev = tag;
    }
    offset_ += size + 1;
  }

 private:
  Tag<Type> outside_;
  size_t offset_ = 0;  // stream position of the next sequence's first tag
  size_t begin_ = 0;   // stream position of the latest chunk start
};

// Reads sequences of tag strings; `instance` (1-based, 0 for none) only goes into messages.
class TextChunkReader {
 public:
  template <typename OnChunk>
  void read(const TagSequence& sequence, size_t instance, OnChunk&& on_chunk) {
    reader_.read(
        sequence.size(),
        [&](size_t i) {
          const std::string& tag = sequence[i];
          if (tag.empty()) throw_empty_tag(instance, i);
          return parse_tag(tag);
        },
        on_chunk);
  }

 private:
  ChunkReader<std::string_view> reader_{kTextOutside};
};

// A chunk with its type interned; first and last are stream positions.
struct IdChunk {
  size_t type;
  size_t first;
  size_t last;
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
  std::unordered_map<std::string_view, size_t, ShortStringHash> ids_;
  std::vector<TypeCounts> counts_;
};

// Counts the predicted chunks equal to a gold chunk. Both lists are ordered by their ends and
// no two chunks of one list share an end, so one merge finds every pair.
template <typename Tally>
void count_correct(const std::vector<IdChunk>& gold, const std::vector<IdChunk>& pred,
                   Tally& tally) {
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

void check_lengths(size_t gold_size, size_t pred_size, size_t instance) {
  if (gold_size != pred_size) {
    throw ValueError("instance " + std::to_string(instance) + ": the gold sequence has " +
                     std::to_string(gold_size) + " tags, the predicted one " +
                     std::to_string(pred_size));
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

ReportRows rows_of(const std::vector<TypeCounts>& counts) {
  ReportRows rows;
  rows.labels.reserve(counts.size());
  for (const TypeCounts& row : counts) {
    rows.labels.push_back(scored_row(row.type, row.correct, row.pred_count, row.true_count));
  }
  ReportRow micro = micro_average(counts);
  rows.averages = {micro, mean_row("macro avg", rows.labels, micro.support, false),
                   mean_row("weighted avg", rows.labels, micro.support, true)};
  return rows;
}

}  // namespace

std::vector<Chunk> get_chunks(const TagSequence& sequence) {
  std::vector<Chunk> chunks;
  TextChunkReader reader;
  reader.read(sequence, 0, [&](std::string_view type, size_t first, size_t last) {
    chunks.push_back({std::string(type), first, last + 1});
  });
  return chunks;
}

std::vector<TypeCounts> count_chunks(const std::vector<TagSequence>& y_true,
                                     const std::vector<TagSequence>& y_pred) {
  check_lengths(y_true, y_pred);
  TypeTally tally;
  TextChunkReader gold_reader;
  TextChunkReader pred_reader;
  std::vector<IdChunk> gold;  // the chunks ending in the current instance, reused
  std::vector<IdChunk> pred;
  for (size_t k = 0; k < y_true.size(); ++k) {
    check_lengths(y_true[k].size(), y_pred[k].size(), k + 1);
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

// The counter reads each vocabulary entry once, into its prefix and a type key: every type
// seen in a tag gets a key, "_" (no type) key 0; only types that close a chunk get a row in
// the tally, as with tag strings.
struct ChunkCounter::State {
  static constexpr uint32_t kNoTypeKey = 0;
  static constexpr uint32_t kEmptyTag = std::numeric_limits<uint32_t>::max();
  static constexpr size_t kUnseen = std::numeric_limits<size_t>::max();
  using KeyTag = Tag<uint32_t>;

  explicit State(const TagVocabulary& vocabulary) : vocabulary(vocabulary) { type_key(kNoType); }

  uint32_t type_key(std::string_view type) {
    auto [it, added] = type_keys.try_emplace(type, static_cast<uint32_t>(type_names.size()));
    if (added) {
      type_names.push_back(type);
      tally_ids.push_back(kUnseen);
    }
    return it->second;
  }

  // The split tag of `id`, reading the vocabulary entries added since the last call.
  [[gnu::always_inline]] inline KeyTag tag_of(TagId id) {
    if (id >= split_tags.size()) split_new_tags();
    return split_tags[id];
  }

  void split_new_tags() {
    for (size_t id = split_tags.size(); id < vocabulary.size(); ++id) {
      const std::string_view text = vocabulary.tag(static_cast<TagId>(id));
      if (text.empty()) {
        split_tags.push_back({'O', kEmptyTag});
        continue;
      }
      const TextTag tag = parse_tag(text);
      split_tags.push_back({tag.prefix, type_key(tag.type)});
    }
  }

  size_t tally_id(uint32_t key) {
    if (tally_ids[key] == kUnseen) tally_ids[key] = tally.id(type_names[key]);
    return tally_ids[key];
  }

  template <typename OnChunk>
  void read(ChunkReader<uint32_t>& reader, std::span<const TagId> sequence, size_t instance,
            OnChunk&& on_chunk) {
    reader.read(
        sequence.size(),
        [&](size_t i) {
          const KeyTag tag = tag_of(sequence[i]);
          if (tag.type == kEmptyTag) throw_empty_tag(instance, i);
          return tag;
        },
        on_chunk);
  }

  const TagVocabulary& vocabulary;
  std::vector<KeyTag> split_tags;  // by tag id
  std::unordered_map<std::string_view, uint32_t, ShortStringHash>
      type_keys;                             // views the vocabulary
  std::vector<std::string_view> type_names;  // by type key
  std::vector<size_t> tally_ids;             // by type key
  TypeTally tally;
  ChunkReader<uint32_t> gold_reader{{'O', kNoTypeKey}};
  ChunkReader<uint32_t> pred_reader{{'O', kNoTypeKey}};
  std::vector<IdChunk> gold;  // the chunks ending in the current pair, reused
  std::vector<IdChunk> pred;
  size_t added = 0;
};

ChunkCounter::ChunkCounter(const TagVocabulary& vocabulary)
    : state_(std::make_unique<State>(vocabulary)) {}

ChunkCounter::~ChunkCounter() = default;

void ChunkCounter::add(std::span<const TagId> gold, std::span<const TagId> pred) {
  State& state = *state_;
  const size_t instance = ++state.added;
  check_lengths(gold.size(), pred.size(), instance);
  state.gold.clear();
  state.pred.clear();
  state.read(state.gold_reader, gold, instance, [&](uint32_t key, size_t first, size_t last) {
    const size_t id = state.tally_id(key);
    ++state.tally[id].true_count;
    state.gold.push_back({id, first, last});
  });
  state.read(state.pred_reader, pred, instance, [&](uint32_t key, size_t first, size_t last) {
    const size_t id = state.tally_id(key);
    ++state.tally[id].pred_count;
    state.pred.push_back({id, first, last});
  });
  count_correct(state.gold, state.pred, state.tally);
}

std::vector<TypeCounts> ChunkCounter::counts() const {
  TypeTally copy = state_->tally;
  return std::move(copy).sorted();
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
  return format_report(rows_of(scored_rows(y_true, y_pred, labels)), digits);
}

ScoreResult score(const std::vector<TagSequence>& y_true, const std::vector<TagSequence>& y_pred,
                  const std::optional<std::vector<std::string>>& labels, int digits) {
  return score_counts(count_chunks(y_true, y_pred), labels, digits);
}

ScoreResult score_counts(std::vector<TypeCounts> counts,
                         const std::optional<std::vector<std::string>>& labels, int digits) {
  const ReportRows rows = rows_of(select_rows(std::move(counts), labels));
  const ReportRow& micro = rows.averages[0];
  ScoreResult result{micro.precision, micro.recall, micro.f1, format_report(rows, digits)};
  result.per_label = label_scores(rows);
  return result;
}

ReportRows classification_report_rows(const std::vector<TagSequence>& y_true,
                                      const std::vector<TagSequence>& y_pred,
                                      const std::optional<std::vector<std::string>>& labels) {
  return rows_of(scored_rows(y_true, y_pred, labels));
}

}  // namespace nlpeval::metrics::seq

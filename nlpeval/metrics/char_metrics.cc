#include "nlpeval/metrics/char_metrics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_set>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"
#include "nlpeval/metrics/metrics.h"

namespace nlpeval::metrics {
namespace {

using OptionalLabels = std::optional<std::vector<std::string>>;

constexpr std::string_view kOutside = "O";

// ---------------------------------------------------------------------------------------
// Dropping the positions where both sides say "O"

// The kept positions and the filtered labels as views of the caller's tags, so that scoring
// copies no tag.
struct FilteredViews {
  std::vector<std::string_view> y_true;
  std::vector<std::string_view> y_pred;
  std::vector<std::string_view> labels;
};

FilteredViews filter_views(const std::vector<std::string>& y_true,
                           const std::vector<std::string>& y_pred) {
  if (y_pred.size() < y_true.size()) {
    throw IndexError("y_pred has " + std::to_string(y_pred.size()) + " tags, fewer than the " +
                     std::to_string(y_true.size()) + " of y_true");
  }
  FilteredViews filtered;
  std::unordered_set<std::string_view> seen;
  auto add_label = [&](std::string_view tag) {
    if (seen.insert(tag).second) filtered.labels.push_back(tag);
  };
  for (size_t i = 0; i < y_true.size(); ++i) {
    std::string_view gold = y_true[i];
    std::string_view predicted = y_pred[i];
    if (gold == kOutside && predicted == kOutside) continue;
    filtered.y_true.push_back(gold);
    filtered.y_pred.push_back(predicted);
    if (gold != kOutside && predicted != kOutside) {
      add_label(gold);
      add_label(predicted);
    }
  }
  return filtered;
}

std::vector<std::string> to_strings(const std::vector<std::string_view>& views) {
  return std::vector<std::string>(views.begin(), views.end());
}

// The caller's labels when given and not empty, otherwise the filtered labels.
OptionalLabels chosen_labels(const FilteredViews& filtered, const OptionalLabels& labels) {
  if (labels && !labels->empty()) return labels;
  return to_strings(filtered.labels);
}

// ---------------------------------------------------------------------------------------
// Event arguments as tags

// One argument: "B-" + role at `offset`, "I-" + role on the `length` - 1 positions after it.
// No offset means one that matches no character position.
struct ArgumentSpan {
  std::optional<int64_t> offset;
  int64_t length = 0;
  std::string_view role;
};

// starts[k] is the character position where word k begins; starts.back() is the text length.
std::vector<int64_t> word_starts(const std::vector<std::string>& words) {
  std::vector<int64_t> starts(words.size() + 1, 0);
  for (size_t k = 0; k < words.size(); ++k) {
    starts[k + 1] = starts[k] + static_cast<int64_t>(utf8::length(words[k]));
  }
  return starts;
}

// A word index under list-slice rules, in [0, word_count].
int64_t slice_index(int64_t index, int64_t word_count) {
  if (index < 0) index = std::max<int64_t>(index + word_count, 0);
  return std::min(index, word_count);
}

// The gold format: [start, end] word indices.
ArgumentSpan gold_span(const Record& argument, const Record& offset,
                       const std::vector<int64_t>& starts) {
  RecordArray range = offset.as_array("offset");
  auto element = range.begin();
  std::optional<Record> first;
  std::optional<Record> second;
  if (element != range.end()) first = *element++;
  if (element != range.end()) second = *element;
  if (!second) {
    throw IndexError("offset: expected [start, end] word indices, got " +
                     std::to_string(range.size()) + " element(s)");
  }
  auto word_count = static_cast<int64_t>(starts.size() - 1);
  int64_t start = slice_index(first->as_int("offset[0]"), word_count);
  int64_t end = slice_index(second->as_int("offset[1]"), word_count);
  int64_t length = end > start ? starts[end] - starts[start] : 0;
  return ArgumentSpan{starts[start], length, argument.get_string("type")};
}

// A number that is not an integer stands for a position only when it equals one.
std::optional<int64_t> position_of_number(const Record& offset, int64_t text_length) {
  double value = 0.0;
  if (offset.kind() != Kind::floating || offset.element().get(value) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  if (!(value >= 0.0 && value < static_cast<double>(text_length)) || value != std::floor(value)) {
    return std::nullopt;
  }
  return static_cast<int64_t>(value);
}

ArgumentSpan read_argument(const Record& argument, const std::vector<int64_t>& starts) {
  argument.expect_object("argument");
  Record offset = argument.at("offset");
  switch (offset.kind()) {
    case Kind::integer: {  // the predicted format
      int64_t position = offset.as_int("offset");
      std::string_view role = argument.get_string("role");
      return ArgumentSpan{position, argument.get_int("length"), role};
    }
    case Kind::array:
      return gold_span(argument, offset, starts);
    default:
      return ArgumentSpan{position_of_number(offset, starts.back()), 0, ""};
  }
}

int64_t saturating_add(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) {
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  }
  return sum;
}

// The tags of a text, painted argument by argument so that later arguments win. Arguments are
// painted last to first and each position is painted once: a "next unpainted position" forest
// skips painted runs, so the work stays near the text length plus the number of arguments,
// however long or overlapping the arguments are.
class TagCanvas {
 public:
  explicit TagCanvas(int64_t length)
      : length_(length), next_(static_cast<size_t>(length) + 1), marks_(next_.size() - 1, kBlank) {
    for (size_t i = 0; i < next_.size(); ++i) next_[i] = i;
  }

  void paint(const ArgumentSpan& span, size_t span_index) {
    if (!span.offset) return;
    int64_t offset = *span.offset;
    if (offset >= 0 && offset < length_) fill(offset, offset + 1, 2 * span_index);
    int64_t first_inside = std::clamp<int64_t>(saturating_add(offset, 1), 0, length_);
    int64_t end = std::clamp<int64_t>(saturating_add(offset, span.length), 0, length_);
    if (first_inside < end) fill(first_inside, end, 2 * span_index + 1);
  }

  std::vector<std::string> tags(const std::vector<ArgumentSpan>& spans) const {
    std::vector<std::string> tags;
    tags.reserve(marks_.size());
    for (size_t mark : marks_) {
      if (mark == kBlank) {
        tags.emplace_back(kOutside);
      } else {
        std::string_view role = spans[mark / 2].role;
        tags.emplace_back(mark % 2 == 0 ? "B-" : "I-").append(role);
      }
    }
    return tags;
  }

 private:
  static constexpr size_t kBlank = SIZE_MAX;

  // The first unpainted position at or after `position` (path halving).
  size_t next_unpainted(size_t position) {
    while (next_[position] != position) {
      next_[position] = next_[next_[position]];
      position = next_[position];
    }
    return position;
  }

  // Marks the unpainted positions of [begin, end).
  void fill(int64_t begin, int64_t end, size_t mark) {
    auto stop = static_cast<size_t>(end);
    for (size_t at = next_unpainted(static_cast<size_t>(begin)); at < stop;
         at = next_unpainted(at + 1)) {
      marks_[at] = mark;
      next_[at] = at + 1;
    }
  }

  int64_t length_;
  std::vector<size_t> next_;   // next_[length_] stays length_: the end of the text
  std::vector<size_t> marks_;  // 2 * argument + (0 for "B-", 1 for "I-"), or kBlank
};

}  // namespace

FilteredTags filter_O(const std::vector<std::string>& y_true,
                      const std::vector<std::string>& y_pred) {
  FilteredViews filtered = filter_views(y_true, y_pred);
  return FilteredTags{to_strings(filtered.y_true), to_strings(filtered.y_pred),
                      to_strings(filtered.labels)};
}

double precision_score_by_char(const std::vector<std::string>& y_true,
                               const std::vector<std::string>& y_pred, const OptionalLabels& labels,
                               std::string_view average) {
  FilteredViews filtered = filter_views(y_true, y_pred);
  return views::precision_score(filtered.y_true, filtered.y_pred, chosen_labels(filtered, labels),
                                average);
}

double recall_score_by_char(const std::vector<std::string>& y_true,
                            const std::vector<std::string>& y_pred, const OptionalLabels& labels,
                            std::string_view average) {
  FilteredViews filtered = filter_views(y_true, y_pred);
  return views::recall_score(filtered.y_true, filtered.y_pred, chosen_labels(filtered, labels),
                             average);
}

double f1_score_by_char(const std::vector<std::string>& y_true,
                        const std::vector<std::string>& y_pred, const OptionalLabels& labels,
                        std::string_view average) {
  FilteredViews filtered = filter_views(y_true, y_pred);
  return views::f1_score(filtered.y_true, filtered.y_pred, chosen_labels(filtered, labels),
                         average);
}

double accuracy_score_by_char(const std::vector<std::string>& y_true,
                              const std::vector<std::string>& y_pred,
                              const OptionalLabels& /*labels*/) {
  FilteredViews filtered = filter_views(y_true, y_pred);
  return views::accuracy_score(filtered.y_true, filtered.y_pred);
}

std::string classification_report_by_char(const std::vector<std::string>& y_true,
                                          const std::vector<std::string>& y_pred,
                                          const OptionalLabels& labels, int digits) {
  FilteredViews filtered = filter_views(y_true, y_pred);
  return views::classification_report(filtered.y_true, filtered.y_pred,
                                      chosen_labels(filtered, labels), digits);
}

std::vector<std::string> transform_by_char(const RecordArray& arguments,
                                           const std::vector<std::string>& words) {
  std::vector<int64_t> starts = word_starts(words);
  std::vector<ArgumentSpan> spans;
  spans.reserve(arguments.size());
  for (Record argument : arguments) spans.push_back(read_argument(argument, starts));

  TagCanvas canvas(starts.back());
  for (size_t k = spans.size(); k-- > 0;) canvas.paint(spans[k], k);
  return canvas.tags(spans);
}

}  // namespace nlpeval::metrics

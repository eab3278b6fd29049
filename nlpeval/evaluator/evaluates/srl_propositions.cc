#include "nlpeval/evaluator/evaluates/internal/srl_propositions.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <tuple>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/text.h"

namespace nlpeval::srl {
namespace {

constexpr size_t kNpos = std::string_view::npos;
constexpr std::string_view kContinuation = "C-";

[[noreturn]] void throw_malformed(const std::string& where, std::string_view tag) {
  throw ValueError(where + "not a bracket tag: " + quoted_excerpt(tag) +
                   " (expected forms like '(A0*', '*', '*)')");
}

std::string columns_text(size_t count) {
  return std::to_string(count) + (count == 1 ? " column" : " columns");
}

std::string kind_of(simdjson::dom::element element) {
  return std::string(kind_name(Record(element).kind()));
}

// "A1" for "C-A1"; the type itself otherwise.
std::string_view base_type(std::string_view type) {
  const bool continues = type.size() > kContinuation.size() && type[0] == kContinuation[0] &&
                         type[1] == kContinuation[1];
  return continues ? type.substr(kContinuation.size()) : type;
}

bool is_continuation(std::string_view type) { return base_type(type).size() != type.size(); }

// Column 1 of a token that is no target verb.
bool is_no_target(std::string_view cell) { return cell.size() == 1 && cell[0] == '-'; }

// A tag that neither opens nor closes an argument.
bool is_inside_only(std::string_view tag) { return tag.size() == 1 && tag[0] == '*'; }

// The white space that separates the columns of a props line, and its line end: a table, as
// every byte of the file is looked up.
constexpr std::array<bool, 256> kColumnBreaks = [] {
  std::array<bool, 256> breaks{};
  for (unsigned char c : {' ', '\t', '\n', '\r', '\f', '\v'}) breaks[c] = true;
  return breaks;
}();

bool is_column_break(char c) { return kColumnBreaks[static_cast<unsigned char>(c)]; }

// The first '(', ')' or '*' of `tag` from `from` on, or npos.
size_t find_bracket(std::string_view tag, size_t from) {
  for (size_t at = from; at < tag.size(); ++at) {
    if (tag[at] == '(' || tag[at] == ')' || tag[at] == '*') return at;
  }
  return kNpos;
}

}  // namespace

void SentenceProps::read_cells(const Record& sentence, const Place& place) {
  cells_.clear();
  tokens_ = 0;
  columns_ = 0;
  simdjson::dom::array rows;
  if (sentence.element().get_array().get(rows) != simdjson::SUCCESS) {
    throw TypeError(place.sentence() + ": expected array, got " + kind_of(sentence.element()));
  }
  for (simdjson::dom::element row : rows) {
    ++tokens_;
    read_row(row, place);
  }
}

void SentenceProps::read_row(simdjson::dom::element row, const Place& place) {
  simdjson::dom::array columns;
  if (row.get_array().get(columns) != simdjson::SUCCESS) {
    throw TypeError(place.at(tokens_) + "expected array, got " + kind_of(row));
  }
  const size_t before = cells_.size();
  for (simdjson::dom::element column : columns) {
    std::string_view text;
    if (column.get_string().get(text) != simdjson::SUCCESS) {
      throw TypeError(place.at(tokens_, cells_.size() - before + 1) + "expected string, got " +
                      kind_of(column));
    }
    cells_.push_back(text);
  }
  end_row(before, place);
}

void SentenceProps::split_cells(std::string_view text, const Place& place) {
  cells_.clear();
  tokens_ = 0;
  columns_ = 0;
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at != end) {
    ++tokens_;
    const size_t before = cells_.size();
    // One pass over the row's bytes: white space ends a column, a line end the row.
    for (;;) {
      while (at != end && is_column_break(*at) && *at != '\n') ++at;
      if (at == end || *at == '\n') break;
      const char* column = at;
      while (at != end && !is_column_break(*at)) ++at;
      cells_.emplace_back(column, static_cast<size_t>(at - column));
    }
    if (at != end) ++at;  // the line end
    end_row(before, place);
  }
}

void SentenceProps::throw_bad_row(size_t count, const Place& place) const {
  if (count == 0) throw ValueError(place.at(tokens_) + "a token without columns");
  throw ValueError(place.at(tokens_) + columns_text(count) + ", but token 1 has " +
                   columns_text(columns_));
}

void SentenceProps::read_propositions(const Place& place) {
  propositions_.clear();
  arguments_.clear();
  pieces_.clear();
  size_t targets = 0;
  for (size_t token = 0; token < tokens_; ++token) targets += !is_no_target(cell(token, 0));
  if (tokens_ > 0 && targets != columns_ - 1) {
    throw ValueError(place.at(0) + "column 1 names " + std::to_string(targets) +
                     " target verb(s), but there are " + std::to_string(columns_ - 1) +
                     " argument column(s)");
  }
  size_t column = 1;
  for (size_t token = 0; token < tokens_; ++token) {
    if (is_no_target(cell(token, 0))) continue;
    read_brackets(column, place);
    const size_t first_argument = arguments_.size();
    build_arguments();
    propositions_.push_back(
        {cell(token, 0), token, first_argument, arguments_.size() - first_argument});
    ++column;
  }
}

void SentenceProps::read_brackets(size_t column, const Place& place) {
  phrases_.clear();
  open_.clear();
  for (size_t token = 0; token < tokens_; ++token) {
    std::string_view tag = cell(token, column);
    if (!is_inside_only(tag)) read_tag(tag, token, column, place);
  }
  if (!open_.empty()) {
    const Phrase& unclosed = open_.front();
    throw ValueError(place.at(unclosed.tokens.start + 1, column + 1) + "argument " +
                     quoted_excerpt(unclosed.type) + " is opened here and never closed");
  }
}

void SentenceProps::read_tag(std::string_view tag, size_t token, size_t column,
                             const Place& place) {
  auto where = [&] { return place.at(token + 1, column + 1); };
  size_t at = 0;
  while (at < tag.size() && tag[at] == '(') {
    size_t end = find_bracket(tag, at + 1);
    if (end == kNpos || end == at + 1) throw_malformed(where(), tag);
    open_.push_back({tag.substr(at + 1, end - at - 1), {token, token}});
    at = end;
  }
  if (at == tag.size() || tag[at] != '*') throw_malformed(where(), tag);
  for (++at; at < tag.size();) {
    size_t end = find_bracket(tag, at);
    if (end == kNpos || tag[end] != ')') throw_malformed(where(), tag);
    std::string_view type = tag.substr(at, end - at);
    if (open_.empty()) {
      throw ValueError(where() + quoted_excerpt(tag) + " closes an argument that was never opened");
    }
    if (!type.empty() && type != open_.back().type) {
      throw ValueError(where() + quoted_excerpt(tag) + " closes '" + std::string(type) +
                       "' but the open argument is " + quoted_excerpt(open_.back().type));
    }
    phrases_.push_back({open_.back().type, {open_.back().tokens.start, token}});
    open_.pop_back();
    at = end + 1;
  }
}

// Phrases are taken by base type, then by position, so the pieces of an argument follow
// each other.
void SentenceProps::build_arguments() {
  phrase_order_.resize(phrases_.size());
  std::iota(phrase_order_.begin(), phrase_order_.end(), size_t{0});
  std::sort(phrase_order_.begin(), phrase_order_.end(), [&](size_t a, size_t b) {
    const Phrase& x = phrases_[a];
    const Phrase& y = phrases_[b];
    return std::tuple(base_type(x.type), x.tokens, a) < std::tuple(base_type(y.type), y.tokens, b);
  });
  const size_t first_argument = arguments_.size();
  std::string_view group;       // the base type of the phrases being taken
  bool group_has_base = false;  // an "X" was seen in the group: "C-X" continues the last one
  for (size_t index : phrase_order_) {
    const Phrase& phrase = phrases_[index];
    if (arguments_.size() == first_argument || base_type(phrase.type) != group) {
      group = base_type(phrase.type);
      group_has_base = false;
    }
    if (is_continuation(phrase.type) && group_has_base) {
      ++arguments_.back().piece_count;
    } else {
      arguments_.push_back({base_type(phrase.type), pieces_.size(), 1});
      group_has_base = true;
    }
    pieces_.push_back(phrase.tokens);
  }
  std::sort(arguments_.begin() + static_cast<std::ptrdiff_t>(first_argument), arguments_.end(),
            [&](const Argument& a, const Argument& b) { return compare(a, *this, b, *this) < 0; });
}

}  // namespace nlpeval::srl

#include "nlpeval/evaluator/evaluates/srl_evaluate.h"

#include <simdjson.h>

#include <algorithm>
#include <cinttypes>
#include <compare>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <span>
#include <string_view>
#include <tuple>
#include <utility>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/huge_pages.h"

namespace nlpeval {
namespace {

constexpr size_t kNpos = std::string_view::npos;
constexpr std::string_view kWhiteSpace = " \t\r\n\f\v";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

constexpr std::string_view kNoTarget = "-";
constexpr std::string_view kContinuation = "C-";
constexpr std::string_view kExcludedType = "V";  // scored apart, left out of Overall

// Sentences are gathered into JSON arrays of about this size, each parsed into one document:
// one allocation per chunk of sentences instead of one per sentence.
constexpr size_t kChunkBytes = size_t{4} << 20;
// A chunk is one simdjson document (at most 4 GB); a sentence must leave room for the others.
constexpr size_t kMaxSentenceBytes = simdjson::SIMDJSON_MAXSIZE_BYTES - 2 * kChunkBytes;

// How much of an offending tag an error message quotes.
constexpr size_t kQuotedBytes = 80;

// ---------------------------------------------------------------------------------------
// Reading props files

bool is_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Appends one byte of a token inside a JSON string. Tokens hold no white space, but may hold
// quotes, backslashes and other control characters.
void append_json_byte(std::string& out, char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte == '"' || byte == '\\') {
    out += '\\';
  } else if (byte < 0x20) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
    out += escaped;
    return;
  }
  out += c;
}

// Gathers the sentences of a props file as JSON arrays of token rows, straight from the
// lines, and parses them a chunk at a time into records.
class SentenceGatherer {
 public:
  explicit SentenceGatherer(const std::string& file) : file_(file), json_(1, '[') {}

  // One line of the file without its line end; a blank line ends the sentence.
  void add_line(std::string_view line, size_t line_number) {
    if (line.find_first_not_of(kWhiteSpace) == kNpos) {
      end_sentence();
      return;
    }
    if (in_sentence_) {
      json_ += ',';
    } else {
      start_sentence(line_number);
    }
    append_row(line);
    if (json_.size() - sentence_begin_ > kMaxSentenceBytes) {
      throw ValueError(file_ + ":" + std::to_string(line_number) +
                       ": the sentence is too long to keep");
    }
  }

  Records finish() {
    end_sentence();
    if (sentences_in_chunk_ > 0) parse_chunk();
    records_.set_source(file_, std::move(first_lines_));
    return std::move(records_);
  }

 private:
  void start_sentence(size_t line_number) {
    if (sentences_in_chunk_ > 0) json_ += ',';
    sentence_begin_ = json_.size();
    json_ += '[';
    first_lines_.push_back(line_number);
    in_sentence_ = true;
  }

  void end_sentence() {
    if (!in_sentence_) return;
    json_ += ']';
    in_sentence_ = false;
    ++sentences_in_chunk_;
    if (json_.size() >= kChunkBytes) parse_chunk();
  }

  // The white-space-separated columns of a line, in one pass over its bytes.
  void append_row(std::string_view line) {
    json_ += '[';
    bool in_column = false;
    bool first = true;
    for (char c : line) {
      if (is_white_space(c)) {
        if (in_column) json_ += '"';
        in_column = false;
        continue;
      }
      if (!in_column) {
        json_ += first ? "\"" : ",\"";
        in_column = true;
        first = false;
      }
      append_json_byte(json_, c);
    }
    if (in_column) json_ += '"';
    json_ += ']';
  }

  void parse_chunk() {
    json_ += ']';
    const size_t length = json_.size();
    json_.append(simdjson::SIMDJSON_PADDING, ' ');  // simdjson reads past the end
    auto document = std::make_unique<simdjson::dom::document>();
    simdjson::error_code error = document->allocate(length);
    if (error == simdjson::SUCCESS) {
      advise_huge_pages(document->tape.get(), (length + 3) * sizeof(uint64_t));
      advise_huge_pages(document->string_buf.get(), 5 * length / 3);
      error = parser_.parse_into_document(*document, json_.data(), length, false).error();
    }
    if (error != simdjson::SUCCESS) {
      throw ValueError(file_ + ": cannot keep the sentences: " + simdjson::error_message(error));
    }
    records_.append_document(std::move(document));
    json_.assign(1, '[');
    sentences_in_chunk_ = 0;
  }

  const std::string& file_;
  std::string json_;  // "[" and the sentences of the chunk so far
  size_t sentence_begin_ = 0;
  size_t sentences_in_chunk_ = 0;
  bool in_sentence_ = false;
  std::vector<size_t> first_lines_;
  simdjson::dom::parser parser_;
  Records records_;
};

std::ifstream open_for_reading(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::error_code ignored;
  if (!in || std::filesystem::is_directory(file, ignored)) {
    throw FileError("cannot open '" + file + "'");
  }
  return in;
}

// ---------------------------------------------------------------------------------------
// Places and quotes in messages

// A sentence of one side, named in messages as "gold sentence 3 (starting at gold.props:12)".
struct Place {
  std::string_view side;
  const Records& records;
  size_t index;  // 0-based

  std::string sentence() const {
    std::string text = std::string(side) + " sentence " + std::to_string(index + 1);
    std::string origin = records.origin(index);
    return origin.empty() ? text : text + " (starting at " + origin + ")";
  }

  // The sentence, then the 1-based token and column when they are not 0, then ": ".
  std::string at(size_t token, size_t column = 0) const {
    std::string text = sentence();
    if (token != 0) text += ", token " + std::to_string(token);
    if (column != 0) text += ", column " + std::to_string(column);
    return text + ": ";
  }
};

// `text` in single quotes, cut to kQuotedBytes on a code-point boundary.
std::string quoted(std::string_view text) {
  size_t end = text.size();
  if (end > kQuotedBytes) {
    end = kQuotedBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  }
  std::string out(1, '\'');
  out.append(text.substr(0, end)).append(end < text.size() ? "...'" : "'");
  return out;
}

[[noreturn]] void throw_malformed(const std::string& where, std::string_view tag) {
  throw ValueError(where + "not a bracket tag: " + quoted(tag) +
                   " (expected forms like '(A0*', '*', '*)')");
}

std::string columns_text(size_t count) {
  return std::to_string(count) + (count == 1 ? " column" : " columns");
}

std::string kind_of(simdjson::dom::element element) {
  return std::string(kind_name(Record(element).kind()));
}

// ---------------------------------------------------------------------------------------
// Sentences and their propositions

// Tokens of one bracketed phrase, 0-based and inclusive, as the scorer compares them.
struct Piece {
  size_t start;
  size_t end;
  auto operator<=>(const Piece&) const = default;
};

struct Phrase {
  std::string_view type;
  Piece tokens;
};

// A continuous argument has one piece, a discontinuous one ("A1" and its "C-A1") several.
struct Argument {
  std::string_view type;
  size_t first_piece;
  size_t piece_count;
};

struct Proposition {
  std::string_view verb;
  size_t position;  // the token of the target verb
  size_t first_argument;
  size_t argument_count;
};

// "A1" for "C-A1"; the type itself otherwise.
std::string_view base_type(std::string_view type) {
  const bool continues = type.size() > kContinuation.size() && type.starts_with(kContinuation);
  return continues ? type.substr(kContinuation.size()) : type;
}

bool is_continuation(std::string_view type) { return base_type(type).size() != type.size(); }

// One sentence of one side: its cells, and the propositions with their arguments read from
// them. One object serves sentence after sentence, so that its vectors stop allocating once
// they are large enough.
class SentenceProps {
 public:
  // Reads `sentence` (an array of token rows, each an array of column strings) and the
  // brackets of every argument column. Throws TypeError and ValueError naming `place`.
  void load(const Record& sentence, const Place& place) {
    read_cells(sentence, place);
    read_propositions(place);
  }

  size_t token_count() const { return tokens_; }
  const std::vector<Proposition>& propositions() const { return propositions_; }

  // The arguments of a proposition, ordered by their pieces, then by type.
  std::span<const Argument> arguments_of(const Proposition& proposition) const {
    return {arguments_.data() + proposition.first_argument, proposition.argument_count};
  }

  std::span<const Piece> pieces_of(const Argument& argument) const {
    return {pieces_.data() + argument.first_piece, argument.piece_count};
  }

  // Orders arguments by their pieces, then by type; equal arguments compare equal.
  static std::strong_ordering compare(const Argument& a, const SentenceProps& a_sentence,
                                      const Argument& b, const SentenceProps& b_sentence) {
    std::span<const Piece> a_pieces = a_sentence.pieces_of(a);
    std::span<const Piece> b_pieces = b_sentence.pieces_of(b);
    std::strong_ordering by_pieces = std::lexicographical_compare_three_way(
        a_pieces.begin(), a_pieces.end(), b_pieces.begin(), b_pieces.end());
    return by_pieces != 0 ? by_pieces : a.type <=> b.type;
  }

 private:
  std::string_view cell(size_t token, size_t column) const {
    return cells_[token * columns_ + column];
  }

  void read_cells(const Record& sentence, const Place& place) {
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

  void read_row(simdjson::dom::element row, const Place& place) {
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
    const size_t count = cells_.size() - before;
    if (count == 0) throw ValueError(place.at(tokens_) + "a token without columns");
    if (tokens_ == 1) columns_ = count;
    if (count != columns_) {
      throw ValueError(place.at(tokens_) + columns_text(count) + ", but token 1 has " +
                       columns_text(columns_));
    }
  }

  // Column 1 names the target verbs; the n-th target's arguments are in column n + 1.
  void read_propositions(const Place& place) {
    propositions_.clear();
    arguments_.clear();
    pieces_.clear();
    size_t targets = 0;
    for (size_t token = 0; token < tokens_; ++token) targets += cell(token, 0) != kNoTarget;
    if (tokens_ > 0 && targets != columns_ - 1) {
      throw ValueError(place.at(0) + "column 1 names " + std::to_string(targets) +
                       " target verb(s), but there are " + std::to_string(columns_ - 1) +
                       " argument column(s)");
    }
    size_t column = 1;
    for (size_t token = 0; token < tokens_; ++token) {
      if (cell(token, 0) == kNoTarget) continue;
      read_brackets(column, place);
      const size_t first_argument = arguments_.size();
      build_arguments();
      propositions_.push_back(
          {cell(token, 0), token, first_argument, arguments_.size() - first_argument});
      ++column;
    }
  }

  // The phrases of one column.
  void read_brackets(size_t column, const Place& place) {
    phrases_.clear();
    open_.clear();
    for (size_t token = 0; token < tokens_; ++token) {
      std::string_view tag = cell(token, column);
      if (tag != "*") read_tag(tag, token, column, place);
    }
    if (!open_.empty()) {
      const Phrase& unclosed = open_.front();
      throw ValueError(place.at(unclosed.tokens.start + 1, column + 1) + "argument " +
                       quoted(unclosed.type) + " is opened here and never closed");
    }
  }

  // A tag is any number of openings "(" TYPE, one "*", then any number of closings TYPE? ")",
  // where a type is one or more characters other than "()*". A closing ends the innermost
  // open phrase.
  void read_tag(std::string_view tag, size_t token, size_t column, const Place& place) {
    auto where = [&] { return place.at(token + 1, column + 1); };
    size_t at = 0;
    while (at < tag.size() && tag[at] == '(') {
      size_t end = tag.find_first_of("()*", at + 1);
      if (end == kNpos || end == at + 1) throw_malformed(where(), tag);
      open_.push_back({tag.substr(at + 1, end - at - 1), {token, token}});
      at = end;
    }
    if (at == tag.size() || tag[at] != '*') throw_malformed(where(), tag);
    for (++at; at < tag.size();) {
      size_t end = tag.find_first_of("()*", at);
      if (end == kNpos || tag[end] != ')') throw_malformed(where(), tag);
      std::string_view type = tag.substr(at, end - at);
      if (open_.empty()) {
        throw ValueError(where() + quoted(tag) + " closes an argument that was never opened");
      }
      if (!type.empty() && type != open_.back().type) {
        throw ValueError(where() + quoted(tag) + " closes '" + std::string(type) +
                         "' but the open argument is " + quoted(open_.back().type));
      }
      phrases_.push_back({open_.back().type, {open_.back().tokens.start, token}});
      open_.pop_back();
      at = end + 1;
    }
  }

  // Turns the phrases of one column into arguments: a "C-X" phrase becomes a further piece of
  // the last "X" that starts before it; with none before it, it starts an argument "X" itself,
  // as the CoNLL-2005 scorer reads it.
  // Phrases are taken by base type, then by position, so the pieces of an argument follow
  // each other.
  void build_arguments() {
    phrase_order_.resize(phrases_.size());
    std::iota(phrase_order_.begin(), phrase_order_.end(), size_t{0});
    std::sort(phrase_order_.begin(), phrase_order_.end(), [&](size_t a, size_t b) {
      const Phrase& x = phrases_[a];
      const Phrase& y = phrases_[b];
      return std::tuple(base_type(x.type), x.tokens, a) <
             std::tuple(base_type(y.type), y.tokens, b);
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
    std::sort(
        arguments_.begin() + static_cast<std::ptrdiff_t>(first_argument), arguments_.end(),
        [&](const Argument& a, const Argument& b) { return compare(a, *this, b, *this) < 0; });
  }

  std::vector<std::string_view> cells_;  // row by row
  size_t tokens_ = 0;
  size_t columns_ = 0;
  std::vector<Phrase> open_;     // the open brackets of a column, innermost last
  std::vector<Phrase> phrases_;  // the closed brackets of a column
  std::vector<size_t> phrase_order_;
  std::vector<Proposition> propositions_;
  std::vector<Argument> arguments_;
  std::vector<Piece> pieces_;
};

// ---------------------------------------------------------------------------------------
// Counting

class Tally {
 public:
  void add_sentence(const SentenceProps& gold, const SentenceProps& pred) {
    ++sentences_;
    const std::vector<Proposition>& predicted = pred.propositions();
    size_t next = 0;
    // Both lists are in token order; a prediction at a position without gold is not scored.
    for (const Proposition& proposition : gold.propositions()) {
      while (next < predicted.size() && predicted[next].position < proposition.position) ++next;
      const bool found = next < predicted.size() &&
                         predicted[next].position == proposition.position &&
                         predicted[next].verb == proposition.verb;
      std::span<const Argument> guessed;
      if (found) guessed = pred.arguments_of(predicted[next]);
      add_proposition(gold, gold.arguments_of(proposition), pred, guessed);
    }
  }

  SrlResult result() const {
    SrlResult result;
    result.sentences = sentences_;
    result.propositions = propositions_;
    result.perfect_propositions = perfect_propositions_;
    for (const auto& [type, counts] : type2counts_) {
      auto& rows = type == kExcludedType ? result.excluded : result.types;
      rows.push_back({type, counts});
      if (type == kExcludedType) continue;
      result.overall.correct += counts.correct;
      result.overall.excess += counts.excess;
      result.overall.missed += counts.missed;
    }
    return result;
  }

 private:
  // Both argument lists are sorted, so one walk pairs the equal ones. A proposition is
  // perfect when nothing but "V" is excess or missed.
  void add_proposition(const SentenceProps& gold_sentence, std::span<const Argument> gold,
                       const SentenceProps& pred_sentence, std::span<const Argument> pred) {
    ++propositions_;
    bool perfect = true;
    size_t g = 0;
    size_t p = 0;
    // How the next gold argument compares with the next predicted one; a side that has run
    // out comes last.
    auto next_order = [&] {
      if (g == gold.size()) return std::strong_ordering::greater;
      if (p == pred.size()) return std::strong_ordering::less;
      return SentenceProps::compare(gold[g], gold_sentence, pred[p], pred_sentence);
    };
    while (g < gold.size() || p < pred.size()) {
      const std::strong_ordering order = next_order();
      if (order == 0) {
        ++counts_of(gold[g].type).correct;
        ++g;
        ++p;
      } else if (order < 0) {
        ++counts_of(gold[g].type).missed;
        perfect = perfect && gold[g].type == kExcludedType;
        ++g;
      } else {
        ++counts_of(pred[p].type).excess;
        perfect = perfect && pred[p].type == kExcludedType;
        ++p;
      }
    }
    perfect_propositions_ += perfect;
  }

  SrlCounts& counts_of(std::string_view type) {
    auto found = type2counts_.find(type);
    if (found == type2counts_.end()) found = type2counts_.emplace(type, SrlCounts{}).first;
    return found->second;
  }

  int64_t sentences_ = 0;
  int64_t propositions_ = 0;
  int64_t perfect_propositions_ = 0;
  // Byte order of the types, as the scorer sorts them; "V" included.
  std::map<std::string, SrlCounts, std::less<>> type2counts_;
};

[[noreturn]] void throw_unequal_sentences(size_t gold, size_t pred) {
  throw ValueError("gold has " + std::to_string(gold) + " sentences, prediction has " +
                   std::to_string(pred) + ": sentence " + std::to_string(std::min(gold, pred) + 1) +
                   (gold > pred ? " is missing from the prediction" : " is missing from the gold"));
}

// Names the first token that one side has and the other lacks.
[[noreturn]] void throw_unequal_tokens(const Place& gold_place, size_t gold_tokens,
                                       const Place& pred_place, size_t pred_tokens) {
  const bool gold_longer = gold_tokens > pred_tokens;
  const Place& longer = gold_longer ? gold_place : pred_place;
  throw ValueError(longer.at(std::min(gold_tokens, pred_tokens) + 1) + "gold has " +
                   std::to_string(gold_tokens) + " tokens, prediction has " +
                   std::to_string(pred_tokens) + "; this token is missing from the " +
                   (gold_longer ? "prediction" : "gold"));
}

// ---------------------------------------------------------------------------------------
// The text form

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

Records conll_iterator(const std::string& file) {
  std::ifstream in = open_for_reading(file);
  SentenceGatherer gatherer(file);
  std::string line;
  for (size_t line_number = 1; std::getline(in, line); ++line_number) {
    std::string_view text = line;
    if (line_number == 1 && text.starts_with(kByteOrderMark)) {
      text.remove_prefix(kByteOrderMark.size());
    }
    if (!simdjson::validate_utf8(text)) {
      throw ValueError(file + ":" + std::to_string(line_number) + ": invalid UTF-8");
    }
    gatherer.add_line(text, line_number);
  }
  if (in.bad()) throw FileError("cannot read '" + file + "'");
  return gatherer.finish();
}

SrlResult srl_evaluate(const Records& gold_items, const Records& pred_items) {
  if (gold_items.size() != pred_items.size()) {
    throw_unequal_sentences(gold_items.size(), pred_items.size());
  }
  SentenceProps gold;
  SentenceProps pred;
  Tally tally;
  for (size_t index = 0; index < gold_items.size(); ++index) {
    const Place gold_place{"gold", gold_items, index};
    const Place pred_place{"prediction", pred_items, index};
    gold.load(gold_items[index], gold_place);
    pred.load(pred_items[index], pred_place);
    if (gold.token_count() != pred.token_count()) {
      throw_unequal_tokens(gold_place, gold.token_count(), pred_place, pred.token_count());
    }
    tally.add_sentence(gold, pred);
  }
  return tally.result();
}

}  // namespace nlpeval

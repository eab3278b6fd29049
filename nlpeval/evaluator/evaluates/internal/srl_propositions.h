#ifndef NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_SRL_PROPOSITIONS_H_
#define NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_SRL_PROPOSITIONS_H_

// The propositions of one sentence of a props file (layout in srl_evaluate.h): the target
// verbs of column 1 and the arguments read from the brackets of their columns.

#include <simdjson.h>

#include <algorithm>
#include <compare>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/record.h"

namespace nlpeval::srl {

// A sentence of one side, named in messages as "gold sentence 3 (starting at gold.props:12)":
// a record of `records`, or the sentence of `file` that starts at line `first_line`.
struct Place {
  std::string_view side;
  size_t index;  // 0-based
  const Records* records = nullptr;
  std::string_view file;
  size_t first_line = 0;

  std::string sentence() const {
    std::string text = std::string(side) + " sentence " + std::to_string(index + 1);
    std::string origin = records != nullptr ? records->origin(index)
                         : file.empty()     ? std::string()
                                            : std::string(file) + ":" + std::to_string(first_line);
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

  // The same from the lines of a props file, as PropsReader yields them: a token a line, its
  // columns separated by white space. `text` must outlive the use of the propositions.
  void load(std::string_view text, const Place& place) {
    split_cells(text, place);
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

  void read_cells(const Record& sentence, const Place& place);
  void read_row(simdjson::dom::element row, const Place& place);
  void split_cells(std::string_view text, const Place& place);
  // Checks the number of columns of the row just read, whose cells start at `row_begin`.
  void end_row(size_t row_begin, const Place& place) {
    const size_t count = cells_.size() - row_begin;
    if (tokens_ == 1) columns_ = count;
    if (count == 0 || count != columns_) throw_bad_row(count, place);
  }
  [[noreturn]] void throw_bad_row(size_t count, const Place& place) const;
  // Column 1 names the target verbs; the n-th target's arguments are in column n + 1.
  void read_propositions(const Place& place);
  // The phrases of one column.
  void read_brackets(size_t column, const Place& place);
  // A tag is any number of openings "(" TYPE, one "*", then any number of closings TYPE? ")",
  // where a type is one or more characters other than "()*". A closing ends the innermost
  // open phrase.
  void read_tag(std::string_view tag, size_t token, size_t column, const Place& place);
  // Turns the phrases of one column into arguments: a "C-X" phrase becomes a further piece of
  // the last "X" that starts before it; with none before it, it starts an argument "X" itself,
  // as the CoNLL-2005 scorer reads it.
  void build_arguments();

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

}  // namespace nlpeval::srl

#endif  // NLPEVAL_EVALUATOR_EVALUATES_INTERNAL_SRL_PROPOSITIONS_H_

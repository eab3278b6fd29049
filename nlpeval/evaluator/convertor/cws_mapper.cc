#include "nlpeval/evaluator/convertor/cws_mapper.h"

#include <string>
#include <string_view>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/utf8.h"

namespace nlpeval {

std::pair<std::vector<WordSpans>, std::vector<WordSpans>> CwsMapper::convert(
    const Record& label, const Record& prediction, std::optional<int64_t> index) const {
  std::pair<std::vector<WordSpans>, std::vector<WordSpans>> result;
  convert_spans(label, prediction, index, result.first.emplace_back(),
                result.second.emplace_back());
  return result;
}

void CwsMapper::convert_spans(const Record& label, const Record& prediction,
                              std::optional<int64_t> index, WordSpans& true_spans,
                              WordSpans& pred_spans) const {
  label.expect_object("label");
  prediction.expect_object("prediction");
  if (!shared_text_of(label, prediction)) {
    throw ValueError("text is different on line: " +
                     (index ? std::to_string(*index) : std::string("None")));
  }
  const RecordArray true_words = label.get_array("words");
  const RecordArray pred_words = prediction.get_array("words");
  _convert_words(true_words, true_spans);
  _convert_words(pred_words, pred_spans);
}

void CwsMapper::_convert_words(const RecordArray& words, WordSpans& spans) {
  spans.clear();
  size_t offset = 0;
  for (const Record word : words) {
    // The element's name is built only for the error, not for every word.
    if (word.kind() != Kind::string) word.as_string("words[" + std::to_string(spans.size()) + "]");
    const size_t end = offset + utf8::length(word.as_string("words"));
    spans.push_back({offset, end});
    offset = end;
  }
}

}  // namespace nlpeval

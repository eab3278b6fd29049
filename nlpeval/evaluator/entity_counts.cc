// Entity-count files: "entity<TAB>label<TAB>count" lines.

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/core/files.h"
#include "nlpeval/core/text.h"
#include "nlpeval/core/utf8.h"
#include "nlpeval/evaluator/evaluator.h"

namespace nlpeval {
namespace {

// An optional sign followed by ASCII digits, within 64 bits.
std::optional<int64_t> parse_count(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || (text.front() == '-' && text.size() == 1)) return std::nullopt;
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

EntityCount read_entity_count(const std::string& entity_count_file) {
  const std::string file_contents = files::read_file(entity_count_file);
  std::string_view contents = file_contents;
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (contents.starts_with(kByteOrderMark)) contents.remove_prefix(kByteOrderMark.size());
  EntityCount entity2count;
  if (contents.empty()) return entity2count;  // an empty file has no line
  std::vector<std::string_view> lines = split(contents, "\n");
  if (!contents.empty() && contents.back() == '\n') lines.pop_back();
  for (size_t index = 0; index < lines.size(); ++index) {
    auto where = [&] { return entity_count_file + ":" + std::to_string(index + 1) + ": "; };
    if (!utf8::is_valid(lines[index])) throw ValueError(where() + "invalid UTF-8");
    std::vector<std::string_view> fields = split(strip_ascii_space(lines[index]), "\t");
    if (fields.size() != 3) {
      throw ValueError(where() + "expected 3 tab-separated fields (entity, label, count), got " +
                       std::to_string(fields.size()));
    }
    std::optional<int64_t> count = parse_count(fields[2]);
    if (!count) {
      throw ValueError(where() + "count is not an integer: '" + std::string(fields[2]) + "'");
    }
    entity2count.insert_or_assign(std::string(fields[0]), *count);
  }
  return entity2count;
}

}  // namespace nlpeval

// GCC 12 misreports two pieces of the standard library inlined here, at libstdc++ lines read
// with the first include, so they can only be silenced for the whole file: std::string's
// replace in valijson's JSON pointer code as an overlapping memcpy (GCC bug 105651), and, in
// sanitizer builds, std::regex's std::function members as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wrestrict"
#ifdef __SANITIZE_ADDRESS__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif

#include "nlpeval/data/json_validator.h"

// valijson reports a bad schema with abort() unless exceptions are switched on.
#define VALIJSON_USE_EXCEPTIONS 1

#include <algorithm>
#include <array>
#include <exception>
#include <regex>
#include <span>
#include <unordered_map>
#include <utility>
#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validation_results.hpp>
#include <valijson/validation_visitor.hpp>

#include "nlpeval/core/errors.h"
#include "nlpeval/data/internal/record_name.h"

namespace nlpeval {
namespace {
// ---------------------------------------------------------------------------------------------
// JSON Schema
//
// valijson is trusted with the schema language, not with the stack: it recurses along
// "$ref" without a loop check, and hands strings to std::regex, whose default engine
// recurses about once per character. What could overflow the stack is refused up front.

// Far deeper than any schema or record of ours; it bounds every recursion here.
constexpr int kMaxNesting = 1024;
// std::regex compiles a pattern by recursive descent.
constexpr size_t kMaxPatternLength = 4096;
// The most characters handed to the backtracking engine (~400 bytes of stack each).
constexpr size_t kMaxBacktrackedInput = 1000;

[[noreturn]] void throw_invalid_schema(std::string_view why) {
  throw ValueError("invalid JSON Schema (draft 7): " + std::string(why));
}

// Whether `value` nests containers deeper than kMaxNesting (the recursion stops there).
bool nests_too_deep(const nlohmann::ordered_json& value, int depth = 0) {
  if (depth > kMaxNesting) return true;
  if (!value.is_structured()) return false;
  for (const auto& child : value) {
    if (nests_too_deep(child, depth + 1)) return true;
  }
  return false;
}

// The parts of a record that a schema sends through the backtracking regex engine.
struct Backtracking {
  bool keys = false;        // "patternProperties" (valijson compiles those itself)
  bool strings = false;     // a "pattern" that needs back-references
  bool digit_runs = false;  // "format" date, time and date-time, which repeat [0-9]+
};

// Compiles a "pattern" for the engine whose stack use does not grow with the input, unless it
// has back-references, which only the backtracking engine runs (`backtracks` tells which).
// Throws std::regex_error for a malformed pattern.
std::regex compile_pattern(const std::string& pattern, bool& backtracks) {
  backtracks = false;
  try {
    return std::regex(pattern, std::regex::ECMAScript | std::regex_constants::__polynomial);
  } catch (const std::regex_error& error) {
    if (error.code() != std::regex_constants::error_complexity) throw;
  }
  backtracks = true;
  return std::regex(pattern);
}

// `text` as a JSON string, for messages; bytes that are not UTF-8 become U+FFFD.
std::string quoted(const std::string& text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// One walk over the subschemas a schema applies, as valijson will apply them. It finds loops
// that never step into the value ({"$ref": "#"}, {"allOf": [{"$ref": "#"}]}), on which
// valijson would recurse forever, compiles every "pattern" with the non-recursive engine,
// and notes what still needs the backtracking one.
class SchemaSurvey {
 public:
  explicit SchemaSurvey(const nlohmann::json& root) : root_(root) {}

  // Throws ValueError for a loop, a bad pattern or a reference too long to follow.
  void run() {
    std::vector<const nlohmann::json*> starts = {&root_};
    while (!starts.empty()) {
      const nlohmann::json* start = starts.back();
      starts.pop_back();
      if (!state_.contains(start)) _walk_in_place(start, starts);
    }
  }

  std::unordered_map<std::string, std::regex>& regexes() { return regexes_; }
  const Backtracking& backtracking() const { return backtracking_; }

 private:
  enum class State { open, done };

  // Subschemas applied to the same value, and those applied to parts of it.
  struct Children {
    std::vector<const nlohmann::json*> in_place;
    std::vector<const nlohmann::json*> nested;
  };

  // Depth first along in-place edges, on an explicit stack: a chain of references may be as
  // long as the schema is large. Subschemas of parts are left in `starts` for later.
  void _walk_in_place(const nlohmann::json* start, std::vector<const nlohmann::json*>& starts) {
    struct Frame {
      const nlohmann::json* node;
      std::vector<const nlohmann::json*> next;
      size_t visited = 0;
    };
    std::vector<Frame> stack;
    const auto open = [&](const nlohmann::json* node) {
      state_[node] = State::open;
      _note_regexes(*node);
      Children children = _children(*node);
      starts.insert(starts.end(), children.nested.begin(), children.nested.end());
      stack.push_back({node, std::move(children.in_place)});
    };
    open(start);
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.visited == frame.next.size()) {
        state_[frame.node] = State::done;
        stack.pop_back();
        continue;
      }
      const nlohmann::json* child = frame.next[frame.visited++];
      auto found = state_.find(child);
      if (found == state_.end()) {
        open(child);
      } else if (found->second == State::open) {
        throw_invalid_schema("\"$ref\" leads back to the same value without stepping into it");
      }
    }
  }

  Children _children(const nlohmann::json& node) const {
    Children children;
    if (!node.is_object()) return children;
    // valijson ignores the other keywords of an object holding "$ref".
    if (auto ref = node.find("$ref"); ref != node.end()) {
      if (!ref->is_string()) return children;
      if (const nlohmann::json* target = _resolve(ref->get_ref<const std::string&>())) {
        children.in_place.push_back(target);
      }
      return children;
    }
    const auto add = [&node](std::vector<const nlohmann::json*>& to, const char* key) {
      if (auto found = node.find(key); found != node.end()) to.push_back(&*found);
    };
    const auto add_members = [&node](std::vector<const nlohmann::json*>& to, const char* key) {
      auto found = node.find(key);
      if (found == node.end() || !found->is_structured()) return;
      for (const nlohmann::json& member : *found) to.push_back(&member);
    };
    for (const char* key : {"allOf", "anyOf", "oneOf", "dependencies"}) {
      add_members(children.in_place, key);
    }
    for (const char* key : {"not", "if", "then", "else"}) add(children.in_place, key);
    for (const char* key : {"properties", "patternProperties"}) add_members(children.nested, key);
    for (const char* key :
         {"additionalProperties", "additionalItems", "contains", "propertyNames"}) {
      add(children.nested, key);
    }
    if (auto items = node.find("items"); items != node.end() && items->is_array()) {
      add_members(children.nested, "items");
    } else {
      add(children.nested, "items");
    }
    return children;
  }

  // The node a reference leads to, found the way valijson finds it: by the fragment alone,
  // trailing slashes and empty tokens ignored. nullptr when it leads nowhere (valijson then
  // refuses the schema itself).
  const nlohmann::json* _resolve(const std::string& ref) const {
    size_t hash = ref.find('#');
    std::string pointer = hash == std::string::npos ? "" : ref.substr(hash + 1);
    pointer.erase(pointer.find_last_not_of('/') + 1);
    // valijson spends a stack frame per token, empty ones included.
    if (std::count(pointer.begin(), pointer.end(), '/') > kMaxNesting) {
      throw_invalid_schema("\"$ref\" with more than " + std::to_string(kMaxNesting) + " tokens");
    }
    const nlohmann::json* node = &root_;
    for (size_t begin = 0; node != nullptr && begin < pointer.size();) {
      size_t end = std::min(pointer.find('/', begin + 1), pointer.size());
      node = _step(*node, pointer.substr(begin + 1, end - begin - 1));
      begin = end;
    }
    return node;
  }

  static const nlohmann::json* _step(const nlohmann::json& node, const std::string& raw_token) {
    try {
      std::string token = valijson::internal::json_pointer::extractReferenceToken(raw_token.begin(),
                                                                                  raw_token.end());
      if (token.empty()) return &node;
      if (node.is_array()) {
        unsigned long position = std::stoul(token);
        return position < node.size() ? &node[position] : nullptr;
      }
      if (!node.is_object()) return nullptr;
      auto member = node.find(token);
      return member != node.end() ? &*member : nullptr;
    } catch (const std::exception&) {
      return nullptr;
    }
  }

  void _note_regexes(const nlohmann::json& node) {
    if (!node.is_object() || node.contains("$ref")) return;
    if (auto pattern = node.find("pattern"); pattern != node.end() && pattern->is_string()) {
      _compile(pattern->get_ref<const std::string&>());
    }
    if (auto patterns = node.find("patternProperties");
        patterns != node.end() && patterns->is_object()) {
      for (const auto& [pattern, subschema] : patterns->items()) _check_length(pattern);
      backtracking_.keys = true;
    }
    if (auto format = node.find("format"); format != node.end()) {
      if (*format == "date" || *format == "time" || *format == "date-time") {
        backtracking_.digit_runs = true;
      }
    }
  }

  // Compiles `pattern` into valijson's regex cache, ahead of valijson.
  void _compile(const std::string& pattern) {
    if (regexes_.contains(pattern)) return;
    _check_length(pattern);
    bool backtracks = false;
    try {
      regexes_.emplace(pattern, compile_pattern(pattern, backtracks));
    } catch (const std::regex_error& error) {
      throw_invalid_schema("\"pattern\" " + quoted(pattern) + ": " + error.what());
    }
    backtracking_.strings = backtracking_.strings || backtracks;
  }

  static void _check_length(const std::string& pattern) {
    if (pattern.size() > kMaxPatternLength) {
      throw_invalid_schema("pattern longer than " + std::to_string(kMaxPatternLength) +
                           " characters");
    }
  }

  const nlohmann::json& root_;
  std::unordered_map<const nlohmann::json*, State> state_;
  std::unordered_map<std::string, std::regex> regexes_;
  Backtracking backtracking_;
};

// The RFC 6901 form of one key or position.
std::string pointer_token(std::string_view token) {
  std::string escaped = "/";
  for (char c : token) {
    if (c == '~') {
      escaped += "~0";
    } else if (c == '/') {
      escaped += "~1";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// A record value valijson must not see: its JSON pointer and why.
struct Refusal {
  std::string pointer;
  std::string reason;
};

size_t longest_digit_run(std::string_view text) {
  size_t longest = 0;
  size_t run = 0;
  for (char c : text) {
    run = c >= '0' && c <= '9' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

// Why a key or string would take the backtracking regex engine too deep, if it would.
std::optional<Refusal> backtracking_refusal(std::string_view text, bool is_key,
                                            const Backtracking& backtracking) {
  const auto refuse = [](const std::string& what) {
    return Refusal{"", what + ", more than the " + std::to_string(kMaxBacktrackedInput) +
                           " the schema's regular expressions can take"};
  };
  bool limited = is_key ? backtracking.keys || backtracking.strings : backtracking.strings;
  if (limited && text.size() > kMaxBacktrackedInput) {
    return refuse(std::string(is_key ? "a key" : "a string") + " of " +
                  std::to_string(text.size()) + " bytes");
  }
  if (size_t run = backtracking.digit_runs ? longest_digit_run(text) : 0;
      run > kMaxBacktrackedInput) {
    return refuse(std::to_string(run) + " digits in a row");
  }
  return std::nullopt;
}

// Copies a record for valijson's adapter, or says why it must not: nesting deeper than
// kMaxNesting, an integer beyond the signed 64-bit range (the adapter would wrap it around),
// or text too long for the regular expressions. A repeated key keeps its last value.
std::optional<Refusal> copy_record(simdjson::dom::element element, nlohmann::json& out,
                                   const Backtracking& backtracking, int depth = 0) {
  if (depth > kMaxNesting) {
    return Refusal{"", "nested deeper than " + std::to_string(kMaxNesting) + " levels"};
  }
  const auto within = [](std::string_view token, std::optional<Refusal> refusal) {
    refusal->pointer.insert(0, pointer_token(token));
    return refusal;
  };
  switch (element.type()) {
    case simdjson::dom::element_type::OBJECT:
      out = nlohmann::json::object();
      for (simdjson::dom::key_value_pair field : simdjson::dom::object(element)) {
        auto refusal = backtracking_refusal(field.key, true, backtracking);
        if (!refusal) {
          refusal = copy_record(field.value, out[std::string(field.key)], backtracking, depth + 1);
        }
        if (refusal) return within(field.key, std::move(refusal));
      }
      return std::nullopt;
    case simdjson::dom::element_type::ARRAY: {
      out = nlohmann::json::array();
      size_t position = 0;
      for (simdjson::dom::element item : simdjson::dom::array(element)) {
        auto refusal = copy_record(item, out.emplace_back(), backtracking, depth + 1);
        if (refusal) return within(std::to_string(position), std::move(refusal));
        ++position;
      }
      return std::nullopt;
    }
    case simdjson::dom::element_type::STRING:
      out = std::string(std::string_view(element));
      return backtracking_refusal(out.get_ref<const std::string&>(), false, backtracking);
    case simdjson::dom::element_type::INT64:
      out = int64_t(element);
      return std::nullopt;
    case simdjson::dom::element_type::UINT64:
      return Refusal{"", "expected integer within the signed 64-bit range"};
    case simdjson::dom::element_type::DOUBLE:
      out = double(element);
      return std::nullopt;
    case simdjson::dom::element_type::BOOL:
      out = bool(element);
      return std::nullopt;
    case simdjson::dom::element_type::NULL_VALUE:
      out = nullptr;
      return std::nullopt;
  }
  return std::nullopt;
}

// The JSON pointer of a valijson error context: "<root>" followed by "[key]" or "[index]".
std::string json_pointer(const std::vector<std::string>& context) {
  std::string pointer;
  for (size_t i = 1; i < context.size(); ++i) {
    std::string_view step = context[i];
    if (step.size() >= 2 && step.front() == '[' && step.back() == ']') {
      step = step.substr(1, step.size() - 2);
    }
    pointer += pointer_token(step);
  }
  return pointer;
}

// The most specific error: the deepest, the first of those when several are as deep.
// Parents report a summary of their children's failures after them.
const valijson::ValidationResults::Error* deepest_error(
    const valijson::ValidationResults& results) {
  const valijson::ValidationResults::Error* deepest = nullptr;
  for (const valijson::ValidationResults::Error& error : results) {
    if (deepest == nullptr || error.context.size() > deepest->context.size()) deepest = &error;
  }
  return deepest;
}

// "<record>: <pointer>: <what>", the record itself shown as "/".
[[noreturn]] void throw_nonconforming(int64_t index, std::string_view origin,
                                      const std::string& pointer, const std::string& what) {
  throw ValueError(record_name(index, origin) + ": " + (pointer.empty() ? "/" : pointer) + ": " +
                   what);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// JsonValidator

struct JsonValidator::Compiled {
  valijson::Schema schema;
  std::unordered_map<std::string, std::regex> regexes;  // valijson's cache for "pattern"
  Backtracking backtracking;
};

JsonValidator::JsonValidator() = default;
JsonValidator::~JsonValidator() = default;
JsonValidator::JsonValidator(JsonValidator&&) noexcept = default;
JsonValidator& JsonValidator::operator=(JsonValidator&&) noexcept = default;

JsonValidator::Compiled& JsonValidator::_compiled(const nlohmann::ordered_json& schema) const {
  if (compiled_ && *schema_ == schema) return *compiled_;
  // Forget the old schema first, so that a failed compilation leaves no stale pair behind.
  compiled_.reset();
  schema_.reset();
  if (nests_too_deep(schema)) {
    throw_invalid_schema("nested deeper than " + std::to_string(kMaxNesting) + " levels");
  }
  // valijson's adapter reads the plain (sorted) nlohmann::json only.
  const nlohmann::json plain(schema);
  SchemaSurvey survey(plain);
  survey.run();
  auto compiled = std::make_unique<Compiled>();
  try {
    valijson::SchemaParser parser(valijson::SchemaParser::kDraft7);
    parser.populateSchema(valijson::adapters::NlohmannJsonAdapter(plain), compiled->schema);
  } catch (const std::exception& error) {
    throw_invalid_schema(error.what());
  }
  compiled->regexes = std::move(survey.regexes());
  compiled->backtracking = survey.backtracking();
  schema_ = schema;
  compiled_ = std::move(compiled);
  return *compiled_;
}

void JsonValidator::validate(const Record& line, const nlohmann::ordered_json& schema,
                             int64_t index, std::string_view origin) const {
  Compiled& compiled = _compiled(schema);
  nlohmann::json document;
  if (auto refusal = copy_record(line.element(), document, compiled.backtracking)) {
    throw_nonconforming(index, origin, refusal->pointer, refusal->reason);
  }
  const valijson::adapters::NlohmannJsonAdapter target(document);
  const auto conforms = [&](valijson::ValidationResults* results) {
    valijson::ValidationVisitor<valijson::adapters::NlohmannJsonAdapter> visitor(
        target, {"<root>"}, /*strictTypes=*/true, results, compiled.regexes);
    return visitor.validateSchema(compiled.schema);
  };
  valijson::ValidationResults results;
  try {
    // Without a results list valijson stops at the first failure; only records that fail
    // pay for a second pass that collects the errors.
    if (conforms(nullptr)) return;
    conforms(&results);
  } catch (const std::exception& error) {
    // valijson throws on a few values it cannot read, such as "format" met by an array.
    throw_nonconforming(index, origin, "", error.what());
  }
  const valijson::ValidationResults::Error* error = deepest_error(results);
  if (error == nullptr) throw_nonconforming(index, origin, "", "does not conform to the schema");
  throw_nonconforming(index, origin, json_pointer(error->context), error->description);
}

}  // namespace nlpeval

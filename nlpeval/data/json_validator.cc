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

namespace nlpeval {
namespace {

// "<origin>: record <n>" with n the 1-based number of the record at `index`.
std::string record_name(int64_t index, std::string_view origin) {
  std::string name;
  if (!origin.empty()) name.append(origin).append(": ");
  // index + 1, unsigned where it could overflow.
  std::string number =
      index < 0 ? std::to_string(index + 1) : std::to_string(static_cast<uint64_t>(index) + 1);
  return name + "record " + number;
}

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

// ---------------------------------------------------------------------------------------------
// Task record formats, as tables of shapes

enum class Expect { string, integer, object, array };

struct Shape;

// A required key of an object and the shape of its value.
struct Field {
  std::string_view key;
  const Shape* shape;
};

// What a value must be: for objects the required keys, for arrays the element shape and,
// when not zero, the exact number of elements.
struct Shape {
  Expect expect;
  std::span<const Field> fields = {};
  const Shape* element = nullptr;
  size_t length = 0;
};

constexpr Shape object_of(std::span<const Field> fields) { return {Expect::object, fields}; }
constexpr Shape array_of(const Shape& element, size_t length = 0) {
  return {Expect::array, {}, &element, length};
}

constexpr Shape kString{Expect::string};
constexpr Shape kInteger{Expect::integer};
constexpr Shape kStrings = array_of(kString);
constexpr Shape kSpan = array_of(kInteger, 2);  // [start, end]

// ner: {"text", "entities": [{"offset", "length", "type"}]}
constexpr Field kEntityFields[] = {
    {"offset", &kInteger}, {"length", &kInteger}, {"type", &kString}};
constexpr Shape kEntity = object_of(kEntityFields);
constexpr Shape kEntities = array_of(kEntity);
constexpr Field kNerFields[] = {{"text", &kString}, {"entities", &kEntities}};
constexpr Shape kNer = object_of(kNerFields);

// pos: {"text", "words": [{"offset", "length", "pos"}]}
constexpr Field kPosWordFields[] = {
    {"offset", &kInteger}, {"length", &kInteger}, {"pos", &kString}};
constexpr Shape kPosWord = object_of(kPosWordFields);
constexpr Shape kPosWords = array_of(kPosWord);
constexpr Field kPosFields[] = {{"text", &kString}, {"words", &kPosWords}};
constexpr Shape kPos = object_of(kPosFields);

// cws: {"text", "words": [string]}
constexpr Field kCwsFields[] = {{"text", &kString}, {"words", &kStrings}};
constexpr Shape kCws = object_of(kCwsFields);

// A mention of relation and attribute records: {"text", "offset", "length"}.
constexpr Field kMentionFields[] = {
    {"text", &kString}, {"offset", &kInteger}, {"length", &kInteger}};
constexpr Shape kMention = object_of(kMentionFields);

// relation: {"text", "relations": [{"head", "tail", "type"}]}
constexpr Field kRelationFields[] = {{"head", &kMention}, {"tail", &kMention}, {"type", &kString}};
constexpr Shape kRelation = object_of(kRelationFields);
constexpr Shape kRelations = array_of(kRelation);
constexpr Field kRelationRecordFields[] = {{"text", &kString}, {"relations", &kRelations}};
constexpr Shape kRelationRecord = object_of(kRelationRecordFields);

// attribute: {"text", "subjects": [{"text", "offset", "type", "length",
//                                   "attributes": [{"type", "value"}]}]}
constexpr Field kAttributeFields[] = {{"type", &kString}, {"value", &kMention}};
constexpr Shape kAttribute = object_of(kAttributeFields);
constexpr Shape kAttributes = array_of(kAttribute);
constexpr Field kSubjectFields[] = {{"text", &kString},
                                    {"offset", &kInteger},
                                    {"type", &kString},
                                    {"length", &kInteger},
                                    {"attributes", &kAttributes}};
constexpr Shape kSubject = object_of(kSubjectFields);
constexpr Shape kSubjects = array_of(kSubject);
constexpr Field kAttributeRecordFields[] = {{"text", &kString}, {"subjects", &kSubjects}};
constexpr Shape kAttributeRecord = object_of(kAttributeRecordFields);

// Gold event: {"words", "events": [{"trigger": span, "arguments": [{"offset": span, "type",
// "text"}]}]}, positions being word indices.
constexpr Field kGoldArgumentFields[] = {
    {"offset", &kSpan}, {"type", &kString}, {"text", &kString}};
constexpr Shape kGoldArgument = object_of(kGoldArgumentFields);
constexpr Shape kGoldArguments = array_of(kGoldArgument);
constexpr Field kGoldEventFields[] = {{"trigger", &kSpan}, {"arguments", &kGoldArguments}};
constexpr Shape kGoldEvent = object_of(kGoldEventFields);
constexpr Shape kGoldEvents = array_of(kGoldEvent);
constexpr Field kGoldEventRecordFields[] = {{"words", &kStrings}, {"events", &kGoldEvents}};
constexpr Shape kGoldEventRecord = object_of(kGoldEventRecordFields);

// Predicted event: {"words", "events": [{"trigger": {"id", "offset", "length"},
// "arguments": [{"offset", "length", "role", "text"}]}]}, positions being characters.
constexpr Field kTriggerFields[] = {
    {"id", &kInteger}, {"offset", &kInteger}, {"length", &kInteger}};
constexpr Shape kTrigger = object_of(kTriggerFields);
constexpr Field kPredictedArgumentFields[] = {
    {"offset", &kInteger}, {"length", &kInteger}, {"role", &kString}, {"text", &kString}};
constexpr Shape kPredictedArgument = object_of(kPredictedArgumentFields);
constexpr Shape kPredictedArguments = array_of(kPredictedArgument);
constexpr Field kPredictedEventFields[] = {{"trigger", &kTrigger},
                                           {"arguments", &kPredictedArguments}};
constexpr Shape kPredictedEvent = object_of(kPredictedEventFields);
constexpr Shape kPredictedEvents = array_of(kPredictedEvent);
constexpr Field kPredictedEventRecordFields[] = {{"words", &kStrings},
                                                 {"events", &kPredictedEvents}};
constexpr Shape kPredictedEventRecord = object_of(kPredictedEventRecordFields);

// The record format of a task; `predicted` is set when the predicted side has its own.
struct Format {
  std::string_view type;
  const Shape* shape;
  const Shape* predicted = nullptr;
};

constexpr Format kFormats[] = {{"ner", &kNer},
                               {"pos", &kPos},
                               {"cws", &kCws},
                               {"relation", &kRelationRecord},
                               {"attribute", &kAttributeRecord},
                               {"event", &kGoldEventRecord, &kPredictedEventRecord}};

// The number of steps (keys and positions) from a record to its deepest checked value.
constexpr size_t steps_below(const Shape& shape) {
  size_t deepest = 0;
  for (const Field& field : shape.fields) {
    deepest = std::max(deepest, 1 + steps_below(*field.shape));
  }
  if (shape.element != nullptr) deepest = std::max(deepest, 1 + steps_below(*shape.element));
  return deepest;
}

// The most keys any object of a format requires.
constexpr size_t widest_below(const Shape& shape) {
  size_t widest = shape.fields.size();
  for (const Field& field : shape.fields) widest = std::max(widest, widest_below(*field.shape));
  if (shape.element != nullptr) widest = std::max(widest, widest_below(*shape.element));
  return widest;
}

// Both bound the fixed-size arrays of the walker.
constexpr size_t kMaxSteps = 8;
constexpr size_t kMaxFields = 5;
static_assert(std::ranges::all_of(kFormats, [](const Format& format) {
  return std::ranges::all_of(std::array{format.shape, format.predicted}, [](const Shape* shape) {
    return shape == nullptr ||
           (steps_below(*shape) <= kMaxSteps && widest_below(*shape) <= kMaxFields);
  });
}));

// Why a value does not match its shape. It holds views and numbers only, so checking
// allocates nothing; the text is made when the mismatch is reported.
struct Mismatch {
  enum class Problem { wrong_kind, missing_key, out_of_range, wrong_length };

  // One step from a value into it: a key, or a position when the key is empty.
  struct Step {
    std::string_view key;
    size_t position = 0;
  };

  Problem problem = Problem::wrong_kind;
  Kind expected = Kind::null;  // wrong_kind
  Kind got = Kind::null;       // wrong_kind
  std::string_view key;        // missing_key
  size_t length = 0;           // wrong_length: the expected and the actual element counts
  size_t actual_length = 0;
  std::array<Step, kMaxSteps> steps;  // innermost first, filled while the walk unwinds
  size_t depth = 0;

  void step_out(Step step) {
    if (depth < steps.size()) steps[depth++] = step;
  }

  // "entities[1].offset"; empty for the record itself.
  std::string path() const {
    std::string text;
    for (size_t i = depth; i-- > 0;) {
      if (steps[i].key.empty()) {
        text.append("[").append(std::to_string(steps[i].position)).append("]");
      } else {
        if (!text.empty()) text += '.';
        text.append(steps[i].key);
      }
    }
    return text;
  }

  std::string reason() const {
    switch (problem) {
      case Problem::wrong_kind:
        return "expected " + std::string(kind_name(expected)) + ", got " +
               std::string(kind_name(got));
      case Problem::missing_key:
        return "missing key '" + std::string(key) + "'";
      case Problem::out_of_range:
        return "expected integer within the signed 64-bit range";
      case Problem::wrong_length:
        return "expected " + std::to_string(length) + " elements, got " +
               std::to_string(actual_length);
    }
    return "";
  }

  // "<path>: <reason>", or the reason alone for the record itself.
  std::string text() const {
    std::string where = path();
    return where.empty() ? reason() : where + ": " + reason();
  }
};

bool wrong_kind(Record value, Kind expected, Mismatch& mismatch) {
  mismatch.problem = Mismatch::Problem::wrong_kind;
  mismatch.expected = expected;
  mismatch.got = value.kind();
  return false;
}

bool matches_integer(Record value, Mismatch& mismatch) {
  switch (value.element().type()) {
    case simdjson::dom::element_type::INT64:
      return true;
    case simdjson::dom::element_type::UINT64:
      mismatch.problem = Mismatch::Problem::out_of_range;
      return false;
    default:
      return wrong_kind(value, Kind::integer, mismatch);
  }
}

bool matches_object(Record value, std::span<const Field> fields, Mismatch& mismatch);
bool matches_array(Record value, const Shape& shape, Mismatch& mismatch);

// The walker: true when `value` has `shape`, otherwise false with `mismatch` saying why.
// Its depth is that of the shape, never that of the record. Strings and integers, most of
// the values, are checked in place rather than by a call each.
inline bool matches(Record value, const Shape& shape, Mismatch& mismatch) {
  switch (shape.expect) {
    case Expect::string:
      return value.element().is_string() || wrong_kind(value, Kind::string, mismatch);
    case Expect::integer:
      return matches_integer(value, mismatch);
    case Expect::object:
      return matches_object(value, shape.fields, mismatch);
    case Expect::array:
      return matches_array(value, shape, mismatch);
  }
  return false;
}

bool matches_object(Record value, std::span<const Field> fields, Mismatch& mismatch) {
  simdjson::dom::object object;
  if (value.element().get(object) != simdjson::SUCCESS) {
    return wrong_kind(value, Kind::object, mismatch);
  }
  // One pass over the members; a later occurrence of a key replaces an earlier one.
  std::array<simdjson::dom::element, kMaxFields> members;
  uint32_t found = 0;
  for (simdjson::dom::key_value_pair member : object) {
    for (size_t i = 0; i < fields.size(); ++i) {
      if (same_key(member.key, fields[i].key)) {
        members[i] = member.value;
        found |= 1u << i;
        break;
      }
    }
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    if ((found & (1u << i)) == 0) {
      mismatch.problem = Mismatch::Problem::missing_key;
      mismatch.key = fields[i].key;
      return false;
    }
    if (!matches(Record(members[i]), *fields[i].shape, mismatch)) {
      mismatch.step_out({fields[i].key});
      return false;
    }
  }
  return true;
}

bool matches_array(Record value, const Shape& shape, Mismatch& mismatch) {
  simdjson::dom::array array;
  if (value.element().get(array) != simdjson::SUCCESS) {
    return wrong_kind(value, Kind::array, mismatch);
  }
  if (shape.length != 0) {
    // Counted rather than asked: simdjson's size() saturates on very long arrays.
    size_t count = 0;
    for (auto it = array.begin(); it != array.end(); ++it) ++count;
    if (count != shape.length) {
      mismatch.problem = Mismatch::Problem::wrong_length;
      mismatch.length = shape.length;
      mismatch.actual_length = count;
      return false;
    }
  }
  size_t position = 0;
  for (simdjson::dom::element item : array) {
    if (!matches(Record(item), *shape.element, mismatch)) {
      mismatch.step_out({{}, position});
      return false;
    }
    ++position;
  }
  return true;
}

const Format& format_of(std::string_view type) {
  for (const Format& format : kFormats) {
    if (format.type == type) return format;
  }
  std::string known;
  for (const Format& format : kFormats) {
    if (!known.empty()) known += ", ";
    known.append(format.type);
  }
  throw KeyError(std::string(type), "unknown task type; known types: " + known);
}

// The reason given when a record matches neither of its task's two formats.
std::string neither(const Mismatch& gold, const Mismatch& predicted) {
  std::string gold_text = gold.text();
  std::string predicted_text = predicted.text();
  // A fault both formats share (a missing "words", a record that is no object) is said once.
  if (gold_text == predicted_text) return gold_text;
  return "matches neither the gold format (" + gold_text + ") nor the predicted format (" +
         predicted_text + ")";
}

[[noreturn]] void throw_bad_record(int64_t index, std::string_view origin, std::string_view type,
                                   const std::string& reason) {
  throw ValueError(record_name(index, origin) + " (" + std::string(type) + "): " + reason);
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

// ---------------------------------------------------------------------------------------------
// MvrcloudJsonValidator

void MvrcloudJsonValidator::validate(const Record& line, std::string_view type_, int64_t index,
                                     std::string_view origin) const {
  const Format& format = format_of(type_);
  Mismatch mismatch;
  if (matches(line, *format.shape, mismatch)) return;
  if (format.predicted == nullptr) throw_bad_record(index, origin, type_, mismatch.text());
  Mismatch predicted_mismatch;
  if (matches(line, *format.predicted, predicted_mismatch)) return;
  throw_bad_record(index, origin, type_, neither(mismatch, predicted_mismatch));
}

const std::vector<std::string>& MvrcloudJsonValidator::known_types() {
  static const std::vector<std::string> types = [] {
    std::vector<std::string> names;
    for (const Format& format : kFormats) names.emplace_back(format.type);
    return names;
  }();
  return types;
}

}  // namespace nlpeval

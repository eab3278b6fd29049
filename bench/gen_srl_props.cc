// Writes a seeded, realistic semantic-role-labelling gold/prediction pair of CoNLL-2005 props
// files:
//   nlpeval_gen_srl_props GOLD PRED SENTENCES [SEED]
// Sentences of 8 to 40 tokens with one to three target verbs; each verb has one or two
// arguments before it and up to three after it, in roles of the PropBank inventory, now and
// then a relative argument (R-A0) or a discontinuous one (A1 with C-A1). The prediction keeps
// about 85% of the arguments, relabels or reshapes 10% and drops the rest, and misses 3% of
// the verbs.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kRoles[] = {"A0",     "A1",     "A2",     "A3",     "AM-TMP",
                              "AM-LOC", "AM-MNR", "AM-ADV", "AM-DIS", "AM-MOD"};
constexpr uint64_t kRoleCount = sizeof(kRoles) / sizeof(kRoles[0]);
const char* const kVerbs[] = {"say", "sell", "expect", "rise", "give", "want", "report", "buy"};
constexpr uint64_t kVerbCount = sizeof(kVerbs) / sizeof(kVerbs[0]);

constexpr uint64_t kKeptPercent = 85;
constexpr uint64_t kChangedPercent = 10;
constexpr uint64_t kMissedVerbPercent = 3;

struct Argument {
  std::string role;
  uint64_t start;  // inclusive
  uint64_t end;    // inclusive
};

struct Proposition {
  uint64_t verb;  // token
  const char* lemma;
  std::vector<Argument> arguments;  // in token order, not overlapping
};

// Cuts tokens [begin, end) into up to `count` adjacent arguments.
void cut(std::mt19937_64& random, uint64_t begin, uint64_t end, uint64_t count,
         std::vector<Argument>& arguments) {
  for (uint64_t made = 0; made < count && begin < end; ++made) {
    uint64_t length = 1 + random() % std::min<uint64_t>(end - begin, 6);
    arguments.push_back({kRoles[random() % kRoleCount], begin, begin + length - 1});
    begin += length + random() % 2;  // sometimes a token outside any argument
  }
}

Proposition gold_proposition(std::mt19937_64& random, uint64_t verb, uint64_t begin, uint64_t end) {
  Proposition proposition{verb, kVerbs[random() % kVerbCount], {}};
  cut(random, begin, verb, 1 + random() % 2, proposition.arguments);
  proposition.arguments.push_back({"V", verb, verb});
  cut(random, verb + 1, end, random() % 4, proposition.arguments);
  Argument& first = proposition.arguments.front();
  Argument& last = proposition.arguments.back();
  if (first.role == "V" || random() % 10 != 0) return proposition;
  if (last.role != "V") {  // a discontinuous A1 around the verb
    first.role = "A1";
    last.role = "C-A1";
  } else if (first.start == first.end) {
    first.role = "R-A0";
  }
  return proposition;
}

// The gold argument as it is, relabelled or shortened, or nothing.
void predict(std::mt19937_64& random, const Argument& gold, std::vector<Argument>& prediction) {
  const uint64_t roll = random() % 100;
  if (roll >= kKeptPercent + kChangedPercent) return;
  Argument argument = gold;
  if (roll >= kKeptPercent && gold.role != "V") {
    if (random() % 2 == 0 || argument.start == argument.end) {
      argument.role = kRoles[random() % kRoleCount];
    } else {
      --argument.end;
    }
  }
  prediction.push_back(argument);
}

// The tags of one proposition's column.
std::vector<std::string> column(const Proposition& proposition, uint64_t tokens) {
  std::vector<std::string> tags(tokens, "*");
  for (const Argument& argument : proposition.arguments) {
    if (argument.start == argument.end) {
      tags[argument.start] = "(" + argument.role + "*)";
    } else {
      tags[argument.start] = "(" + argument.role + "*";
      tags[argument.end] = "*)";
    }
  }
  return tags;
}

void append_sentence(std::string& out, const std::vector<Proposition>& propositions,
                     uint64_t tokens) {
  std::vector<std::vector<std::string>> columns;
  for (const Proposition& proposition : propositions) {
    columns.push_back(column(proposition, tokens));
  }
  size_t next = 0;
  for (uint64_t token = 0; token < tokens; ++token) {
    const bool target = next < propositions.size() && propositions[next].verb == token;
    out += target ? propositions[next++].lemma : "-";
    for (const auto& tags : columns) {
      out += '\t';
      out += tags[token];
    }
    out += '\n';
  }
  out += '\n';
}

class Output {
 public:
  explicit Output(const char* path) : path_(path), file_(std::fopen(path, "wb")) {
    if (file_ == nullptr) fail("cannot open");
  }
  ~Output() {
    if (file_ != nullptr && std::fclose(file_) != 0) fail("cannot close");
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void write(std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail("cannot write");
    text.clear();
  }

 private:
  [[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "nlpeval_gen_srl_props: %s %s: %s\n", what, path_, std::strerror(errno));
    std::exit(1);
  }

  const char* path_;
  std::FILE* file_;
};

void generate(const char* gold_path, const char* pred_path, uint64_t sentences, uint64_t seed) {
  std::mt19937_64 random(seed);
  Output gold_file(gold_path);
  Output pred_file(pred_path);
  std::string gold;
  std::string pred;
  for (uint64_t sentence = 0; sentence < sentences; ++sentence) {
    const uint64_t tokens = 8 + random() % 33;
    const uint64_t verbs = 1 + random() % 3;
    std::vector<Proposition> gold_props;
    std::vector<Proposition> pred_props;
    // Verb v sits in the v-th of `verbs` equal stretches; its arguments stay inside it.
    for (uint64_t v = 0; v < verbs; ++v) {
      const uint64_t begin = tokens * v / verbs;
      const uint64_t end = tokens * (v + 1) / verbs;
      const uint64_t verb = begin + random() % (end - begin);
      gold_props.push_back(gold_proposition(random, verb, begin, end));
      if (random() % 100 < kMissedVerbPercent) continue;
      Proposition guess{verb, gold_props.back().lemma, {}};
      for (const Argument& argument : gold_props.back().arguments) {
        predict(random, argument, guess.arguments);
      }
      pred_props.push_back(std::move(guess));
    }
    append_sentence(gold, gold_props, tokens);
    append_sentence(pred, pred_props, tokens);
    if (gold.size() > (1 << 20)) {
      gold_file.write(gold);
      pred_file.write(pred);
    }
  }
  gold_file.write(gold);
  pred_file.write(pred);
}

bool parse_count(const char* text, uint64_t& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t sentences = 0;
  uint64_t seed = 1;
  if (argc < 4 || argc > 5 || !parse_count(argv[3], sentences) ||
      (argc == 5 && !parse_count(argv[4], seed))) {
    std::fprintf(stderr, "usage: %s GOLD PRED SENTENCES [SEED]\n", argv[0]);
    return 2;
  }
  generate(argv[1], argv[2], sentences, seed);
  return 0;
}

// Writes a seeded, realistic dependency-parse gold/prediction pair of CoNLL files:
//   nlpeval_gen_conll GOLD PRED TOKENS [SEED]
// Ten-column token lines (ID FORM LEMMA CPOSTAG POSTAG FEATS HEAD DEPREL _ _) from a small
// vocabulary, sentences of 5 to 40 tokens, each after a "# sent_id" comment and followed by
// a blank line. Heads are random tokens of the sentence (the arcs need not form a tree).
// The prediction keeps about 90% of the heads and 85% of the labels.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

struct Word {
  const char* form;
  const char* lemma;
  const char* cpostag;
  const char* postag;
  const char* feats;
};

const Word kWords[] = {
    {"the", "the", "DET", "DT", "Definite=Def|PronType=Art"},
    {"a", "a", "DET", "DT", "Definite=Ind|PronType=Art"},
    {"court", "court", "NOUN", "NN", "Number=Sing"},
    {"judges", "judge", "NOUN", "NNS", "Number=Plur"},
    {"story", "story", "NOUN", "NN", "Number=Sing"},
    {"Tuesday", "Tuesday", "PROPN", "NNP", "Number=Sing"},
    {"Bush", "Bush", "PROPN", "NNP", "Number=Sing"},
    {"nominated", "nominate", "VERB", "VBD", "Mood=Ind|Tense=Past|VerbForm=Fin"},
    {"comes", "come", "VERB", "VBZ", "Mood=Ind|Number=Sing|Person=3|Tense=Pres"},
    {"replace", "replace", "VERB", "VB", "VerbForm=Inf"},
    {"has", "have", "AUX", "VBZ", "Mood=Ind|Number=Sing|Person=3|Tense=Pres"},
    {"federal", "federal", "ADJ", "JJ", "Degree=Pos"},
    {"retiring", "retire", "VERB", "VBG", "VerbForm=Ger"},
    {"on", "on", "ADP", "IN", "_"},
    {"in", "in", "ADP", "IN", "_"},
    {"to", "to", "PART", "TO", "_"},
    {"and", "and", "CCONJ", "CC", "_"},
    {"two", "two", "NUM", "CD", "NumForm=Word|NumType=Card"},
    {"his", "he", "PRON", "PRP$", "Gender=Masc|Number=Sing|Person=3|Poss=Yes"},
    {"very", "very", "ADV", "RB", "_"},
    {",", ",", "PUNCT", ",", "_"},
    {".", ".", "PUNCT", ".", "_"},
};
constexpr uint64_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

// Labels other than "root"; a few carry ":" subtypes, as in the English treebanks.
const char* const kLabels[] = {"nsubj",    "obj",       "iobj",  "obl",          "obl:tmod",
                               "nmod",     "nmod:poss", "amod",  "advmod",       "det",
                               "case",     "mark",      "cc",    "conj",         "punct",
                               "compound", "aux",       "cop",   "compound:prt", "aux:pass",
                               "xcomp",    "ccomp",     "advcl", "acl:relcl",    "nummod"};
constexpr uint64_t kLabelCount = sizeof(kLabels) / sizeof(kLabels[0]);

constexpr uint64_t kRightHeadPercent = 90;
constexpr uint64_t kRightLabelPercent = 85;

struct Arc {
  uint64_t head;
  const char* label;
};

// A value in [0, bound) other than `avoid` (bound >= 2 when avoid < bound).
uint64_t other_than(std::mt19937_64& random, uint64_t bound, uint64_t avoid) {
  uint64_t value = random() % (bound - 1);
  return value >= avoid ? value + 1 : value;
}

// The gold arc of token `id` (1-based) in a sentence of `length` tokens.
Arc gold_arc(std::mt19937_64& random, uint64_t id, uint64_t length, uint64_t root) {
  if (id == root) return {0, "root"};
  uint64_t head = 1 + other_than(random, length, id - 1);
  return {head, kLabels[random() % kLabelCount]};
}

// The gold arc, or with a small chance a wrong head or a wrong label.
Arc predicted_arc(std::mt19937_64& random, Arc gold, uint64_t id, uint64_t length) {
  Arc pred = gold;
  // A one-token sentence has no wrong head but the token itself.
  if (random() % 100 >= kRightHeadPercent && length >= 2) {
    // Any head in 0..length but the gold one and the token itself.
    do {
      pred.head = other_than(random, length + 1, gold.head);
    } while (pred.head == id);
  }
  if (random() % 100 >= kRightLabelPercent) {
    const char* label;
    do {
      label = kLabels[random() % kLabelCount];
    } while (std::strcmp(label, gold.label) == 0);
    pred.label = label;
  }
  return pred;
}

void append_line(std::string& out, uint64_t id, const Word& word, const Arc& arc) {
  out += std::to_string(id);
  for (const char* field : {word.form, word.lemma, word.cpostag, word.postag, word.feats}) {
    out += '\t';
    out += field;
  }
  out += '\t';
  out += std::to_string(arc.head);
  out += '\t';
  out += arc.label;
  out += "\t_\t_\n";
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

  void write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail("cannot write");
  }

 private:
  [[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "nlpeval_gen_conll: %s %s: %s\n", what, path_, std::strerror(errno));
    std::exit(1);
  }

  const char* path_;
  std::FILE* file_;
};

bool parse_count(const char* text, uint64_t& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

void generate(const char* gold_path, const char* pred_path, uint64_t tokens, uint64_t seed) {
  std::mt19937_64 random(seed);
  Output gold_file(gold_path);
  Output pred_file(pred_path);
  std::string gold;
  std::string pred;
  for (uint64_t sentence = 1; tokens > 0; ++sentence) {
    uint64_t length = std::min<uint64_t>(5 + random() % 36, tokens);
    uint64_t root = 1 + random() % length;
    std::string comment = "# sent_id = " + std::to_string(sentence) + "\n";
    gold += comment;
    pred += comment;
    for (uint64_t id = 1; id <= length; ++id) {
      const Word& word = kWords[random() % kWordCount];
      Arc arc = gold_arc(random, id, length, root);
      append_line(gold, id, word, arc);
      append_line(pred, id, word, predicted_arc(random, arc, id, length));
    }
    gold += '\n';
    pred += '\n';
    tokens -= length;
    if (gold.size() > (1 << 20) || tokens == 0) {
      gold_file.write(gold);
      pred_file.write(pred);
      gold.clear();
      pred.clear();
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t tokens = 0;
  uint64_t seed = 1;
  if (argc < 4 || argc > 5 || !parse_count(argv[3], tokens) ||
      (argc == 5 && !parse_count(argv[4], seed))) {
    std::fprintf(stderr, "usage: nlpeval_gen_conll GOLD PRED TOKENS [SEED]\n");
    return 2;
  }
  generate(argv[1], argv[2], tokens, seed);
  return 0;
}

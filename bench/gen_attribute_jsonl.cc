// Writes a seeded "attribute" gold/prediction pair of JSON Lines files for benchmarks:
//   nlpeval_gen_attribute_jsonl GOLD PRED INSTANCES [SEED]
// Texts of 20 to 120 characters mix Chinese and ASCII; two subjects of two attributes each; the
// prediction keeps 85% of the attributes and retypes or moves the value of most of the rest.
// Mention texts are random: the scorers do not compare them with the text.

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "gen_support.h"

namespace {

using nlpeval::bench::make_text;
using nlpeval::bench::predict;

const char* const kTypes[] = {"price", "weight", "colour", "height", "birthplace"};

struct Mention {
  std::string text;
  int offset;
  int length;
};

struct Attribute {
  Mention value;
  const char* type;
};

struct Subject {
  Mention mention;
  std::vector<Attribute> attributes;
};

void append_mention_members(std::string& line, const Mention& mention) {
  line += "\"text\": \"";
  line += mention.text;
  line += "\", \"offset\": ";
  line += std::to_string(mention.offset);
  line += ", \"length\": ";
  line += std::to_string(mention.length);
}

std::string record(const std::string& text, const std::vector<Subject>& subjects) {
  std::string line = "{\"text\": \"";
  line += text;
  line += "\", \"subjects\": [";
  for (size_t i = 0; i < subjects.size(); ++i) {
    if (i) line += ", ";
    line += "{";
    append_mention_members(line, subjects[i].mention);
    line += ", \"type\": \"product\", \"attributes\": [";
    for (size_t j = 0; j < subjects[i].attributes.size(); ++j) {
      const Attribute& attribute = subjects[i].attributes[j];
      if (j) line += ", ";
      line += "{\"type\": \"";
      line += attribute.type;
      line += "\", \"value\": {";
      append_mention_members(line, attribute.value);
      line += "}}";
    }
    line += "]}";
  }
  line += "]}\n";
  return line;
}

Mention make_mention(std::mt19937_64& random, int text_length) {
  const int length = 1 + static_cast<int>(random() % 4);
  return {make_text(random, length), static_cast<int>(random() % (text_length - length)), length};
}

}  // namespace

int main(int argc, char** argv) {
  return nlpeval::bench::generate_files(
      argc, argv, [](std::mt19937_64& random, int length, FILE* gold, FILE* pred) {
        const std::string text = make_text(random, length);
        std::vector<Subject> gold_subjects, pred_subjects;
        for (int s = 0; s < 2; ++s) {
          Subject subject{make_mention(random, length), {}};
          Subject predicted{subject.mention, {}};
          for (int a = 0; a < 2; ++a) {
            const Attribute attribute{make_mention(random, length), kTypes[random() % 5]};
            subject.attributes.push_back(attribute);
            predict(
                random, attribute,
                [&](Attribute kept) {
                  if (random() % 2) {
                    kept.type = kTypes[random() % 5];
                  } else {
                    kept.value = make_mention(random, length);
                  }
                  return kept;
                },
                predicted.attributes);
          }
          gold_subjects.push_back(subject);
          pred_subjects.push_back(predicted);
        }
        std::fputs(record(text, gold_subjects).c_str(), gold);
        std::fputs(record(text, pred_subjects).c_str(), pred);
      });
}

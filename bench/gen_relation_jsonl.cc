// Writes a seeded "relation" gold/prediction pair of JSON Lines files for benchmarks:
//   nlpeval_gen_relation_jsonl GOLD PRED INSTANCES [SEED]
// Texts of 20 to 120 characters mix Chinese and ASCII; about four relations each; the
// prediction keeps 85% of them and swaps, retypes, drops or adds the rest. Mention texts are
// random: the scorers do not compare them with the text.

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "gen_support.h"

namespace {

using nlpeval::bench::make_text;
using nlpeval::bench::predict;

const char* const kTypes[] = {"founded_by", "located_in", "works_for", "born_in", "part_of"};

struct Mention {
  std::string text;
  int offset;
  int length;
};

struct Relation {
  Mention head;
  Mention tail;
  const char* type;
};

std::string mention_json(const Mention& mention) {
  return "{\"text\": \"" + mention.text + "\", \"offset\": " + std::to_string(mention.offset) +
         ", \"length\": " + std::to_string(mention.length) + "}";
}

std::string record(const std::string& text, const std::vector<Relation>& relations) {
  std::string line = "{\"text\": \"" + text + "\", \"relations\": [";
  for (size_t i = 0; i < relations.size(); ++i) {
    if (i) line += ", ";
    line += "{\"head\": " + mention_json(relations[i].head) +
            ", \"tail\": " + mention_json(relations[i].tail) + ", \"type\": \"" +
            relations[i].type + "\"}";
  }
  return line + "]}\n";
}

Mention make_mention(std::mt19937_64& random, int text_length) {
  const int length = 1 + static_cast<int>(random() % 4);
  return {make_text(random, length), static_cast<int>(random() % (text_length - length)), length};
}

Relation distort(std::mt19937_64& random, Relation relation) {
  if (random() % 2) {
    std::swap(relation.head, relation.tail);
  } else {
    relation.type = kTypes[random() % 5];
  }
  return relation;
}

}  // namespace

int main(int argc, char** argv) {
  return nlpeval::bench::generate_files(
      argc, argv, [](std::mt19937_64& random, int length, FILE* gold, FILE* pred) {
        const std::string text = make_text(random, length);
        std::vector<Relation> gold_relations, pred_relations;
        for (int r = 0; r < 4; ++r) {
          Relation relation{make_mention(random, length), make_mention(random, length),
                            kTypes[random() % 5]};
          gold_relations.push_back(relation);
          predict(
              random, relation, [&](Relation kept) { return distort(random, kept); },
              pred_relations);
        }
        if (random() % 10 == 0) {
          pred_relations.push_back(
              {make_mention(random, length), make_mention(random, length), kTypes[random() % 5]});
        }
        std::fputs(record(text, gold_relations).c_str(), gold);
        std::fputs(record(text, pred_relations).c_str(), pred);
      });
}

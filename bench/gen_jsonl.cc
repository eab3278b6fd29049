// Writes a seeded, realistic "ner" gold/prediction pair of JSON Lines files for benchmarks:
//   nlpeval_gen_jsonl GOLD PRED INSTANCES [SEED]
// Texts of 20 to 120 characters mix Chinese and ASCII; about three entities each; the
// prediction keeps 85% of the entities and shifts, retypes, drops or adds the rest.

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "gen_support.h"

namespace {

using nlpeval::bench::make_text;
using nlpeval::bench::predict;

const char* const kTypes[] = {"PER", "LOC", "ORG", "TIME", "PRODUCT"};

struct Entity {
  int offset;
  int length;
  const char* type;
};

std::string record(const std::string& text, const std::vector<Entity>& entities) {
  std::string line = "{\"text\": \"" + text + "\", \"entities\": [";
  for (size_t i = 0; i < entities.size(); ++i) {
    if (i) line += ", ";
    line += "{\"offset\": " + std::to_string(entities[i].offset) +
            ", \"length\": " + std::to_string(entities[i].length) + ", \"type\": \"" +
            entities[i].type + "\"}";
  }
  return line + "]}\n";
}

Entity distort(std::mt19937_64& random, Entity entity, int text_length) {
  switch (random() % 3) {
    case 0:
      entity.type = kTypes[random() % 5];
      break;
    case 1:
      entity.offset = std::max(0, entity.offset - 1);
      break;
    default:
      entity.length = std::min(entity.length + 1, text_length - entity.offset);
  }
  return entity;
}

}  // namespace

int main(int argc, char** argv) {
  return nlpeval::bench::generate_files(
      argc, argv, [](std::mt19937_64& random, int length, FILE* gold, FILE* pred) {
        const std::string text = make_text(random, length);
        std::vector<Entity> gold_entities, pred_entities;
        for (int e = 0; e < 3; ++e) {
          int offset = static_cast<int>(random() % (length - 5));
          Entity entity{offset, 1 + static_cast<int>(random() % 4), kTypes[random() % 5]};
          gold_entities.push_back(entity);
          predict(
              random, entity, [&](Entity kept) { return distort(random, kept, length); },
              pred_entities);
        }
        if (random() % 10 == 0) pred_entities.push_back({0, 2, kTypes[random() % 5]});
        std::fputs(record(text, gold_entities).c_str(), gold);
        std::fputs(record(text, pred_entities).c_str(), pred);
      });
}

// Writes a seeded, realistic "ner" gold/prediction pair of JSON Lines files for benchmarks:
//   nlpeval_gen_jsonl GOLD PRED INSTANCES [SEED]
// Texts of 20 to 120 characters mix Chinese and ASCII; about three entities each; the
// prediction keeps 85% of the entities and shifts, retypes, drops or adds the rest.

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "gen_text.h"

namespace {

using nlpeval::bench::make_text;

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
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s GOLD PRED INSTANCES [SEED]\n", argv[0]);
    return 2;
  }
  FILE* gold = std::fopen(argv[1], "w");
  FILE* pred = std::fopen(argv[2], "w");
  if (!gold || !pred) {
    std::perror("nlpeval_gen_jsonl");
    return 1;
  }
  long instances = std::atol(argv[3]);
  std::mt19937_64 random(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1);
  for (long n = 0; n < instances; ++n) {
    int length = 20 + static_cast<int>(random() % 101);
    std::string text = make_text(random, length);
    std::vector<Entity> gold_entities, pred_entities;
    for (int e = 0; e < 3; ++e) {
      int offset = static_cast<int>(random() % (length - 5));
      Entity entity{offset, 1 + static_cast<int>(random() % 4), kTypes[random() % 5]};
      gold_entities.push_back(entity);
      int roll = static_cast<int>(random() % 100);
      if (roll < 85) {
        pred_entities.push_back(entity);
      } else if (roll < 95) {
        pred_entities.push_back(distort(random, entity, length));
      }  // else dropped
    }
    if (random() % 10 == 0) pred_entities.push_back({0, 2, kTypes[random() % 5]});
    std::fputs(record(text, gold_entities).c_str(), gold);
    std::fputs(record(text, pred_entities).c_str(), pred);
  }
  std::fclose(gold);
  std::fclose(pred);
  return 0;
}

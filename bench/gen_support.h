#ifndef NLPEVAL_BENCH_GEN_SUPPORT_H_
#define NLPEVAL_BENCH_GEN_SUPPORT_H_

// What the data set generators share: seeded mixed text, the way a prediction departs from
// the gold elements, and the command line GOLD PRED INSTANCES [SEED].

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace nlpeval::bench {

inline std::string make_text(std::mt19937_64& random, int length) {
  static const char* const kChinese[] = {"北", "京", "上", "海", "人", "民", "中",
                                         "国", "公", "司", "大", "学", "市", "长",
                                         "江", "河", "新", "华", "社", "记"};
  static const char* const kAscii = "abcdefghijklmnopqrstuvwxyz ";
  std::string text;
  for (int i = 0; i < length; ++i) {
    if (random() % 2) {
      text += kChinese[random() % 20];
    } else {
      text += kAscii[random() % 27];
    }
  }
  return text;
}

// Adds `element` to the prediction as it is 85% of the time, changed by `distort` 10% of the
// time, and not at all otherwise.
template <typename Element, typename Distort>
void predict(std::mt19937_64& random, const Element& element, Distort&& distort,
             std::vector<Element>& prediction) {
  const int roll = static_cast<int>(random() % 100);
  if (roll < 85) {
    prediction.push_back(element);
  } else if (roll < 95) {
    prediction.push_back(distort(element));
  }
}

// The main of a generator: opens GOLD and PRED, then calls
// write_instance(random, text_length, gold, pred) INSTANCES times.
template <typename WriteInstance>
int generate_files(int argc, char** argv, WriteInstance&& write_instance) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s GOLD PRED INSTANCES [SEED]\n", argv[0]);
    return 2;
  }
  FILE* gold = std::fopen(argv[1], "w");
  FILE* pred = std::fopen(argv[2], "w");
  if (!gold || !pred) {
    std::perror(argv[0]);
    return 1;
  }
  const long instances = std::atol(argv[3]);
  std::mt19937_64 random(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1);
  for (long n = 0; n < instances; ++n) {
    write_instance(random, 20 + static_cast<int>(random() % 101), gold, pred);
  }
  const bool written = std::fclose(gold) == 0 && std::fclose(pred) == 0;
  return written ? 0 : 1;
}

}  // namespace nlpeval::bench

#endif  // NLPEVAL_BENCH_GEN_SUPPORT_H_

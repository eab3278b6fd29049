#ifndef NLPEVAL_BENCH_GEN_TEXT_H_
#define NLPEVAL_BENCH_GEN_TEXT_H_

// Seeded text for the data set generators: Chinese characters and ASCII letters, mixed.

#include <random>
#include <string>

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

}  // namespace nlpeval::bench

#endif  // NLPEVAL_BENCH_GEN_TEXT_H_

// Writes a seeded "pos" or "cws" gold/prediction pair of JSON Lines files for benchmarks:
//   nlpeval_gen_pos_jsonl GOLD PRED INSTANCES [SEED]
//   nlpeval_gen_cws_jsonl GOLD PRED INSTANCES [SEED]
// (one source, built once per task with NLPEVAL_GEN_POS set or not). Sentences of 20 to 60
// Chinese characters are cut into words of one to four characters. The prediction keeps 85%
// of the words; it retags ("pos") or splits ("cws") most of the rest and merges the others
// with the next word, so a predicted segmentation still spells the text.

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "gen_support.h"

namespace {

const char* const kCharacters[] = {"北", "京", "上", "海", "人", "民", "中", "国", "公", "司",
                                   "大", "学", "市", "长", "江", "河", "新", "华", "社", "记",
                                   "者", "的", "了", "在", "是", "我", "们", "经", "济", "发",
                                   "展", "工", "作", "会", "议", "时", "间", "问", "题", "。"};
const char* const kTags[] = {"NOUN", "VERB", "ADJ", "ADV", "PROPN", "PART", "NUM", "PUNCT"};

struct Word {
  std::string text;  // UTF-8
  int length;        // characters
  const char* pos;
};

int word_length(std::mt19937_64& random) {
  const int roll = static_cast<int>(random() % 100);
  return roll < 30 ? 1 : roll < 80 ? 2 : roll < 92 ? 3 : 4;
}

std::vector<Word> make_sentence(std::mt19937_64& random) {
  const int characters = 20 + static_cast<int>(random() % 41);
  std::vector<Word> words;
  for (int used = 0; used < characters;) {
    Word word{"", std::min(word_length(random), characters - used), kTags[random() % 8]};
    for (int c = 0; c < word.length; ++c) word.text += kCharacters[random() % 40];
    used += word.length;
    words.push_back(std::move(word));
  }
  return words;
}

Word merged(const Word& first, const Word& second) {
  return {first.text + second.text, first.length + second.length, first.pos};
}

// The prediction: each word kept 85% of the time; otherwise, 8% of the time, retagged
// ("pos") or split after its first character ("cws"; a one-character word is merged
// instead), and merged with the next word the rest of the time.
std::vector<Word> predict(std::mt19937_64& random, const std::vector<Word>& gold) {
  std::vector<Word> pred;
  for (size_t i = 0; i < gold.size(); ++i) {
    const int roll = static_cast<int>(random() % 100);
    const bool has_next = i + 1 < gold.size();
    if (roll < 85 || (roll >= 93 && !has_next)) {
      pred.push_back(gold[i]);
    } else if (roll < 93 && NLPEVAL_GEN_POS) {
      pred.push_back({gold[i].text, gold[i].length, kTags[random() % 8]});
    } else if (roll < 93 && gold[i].length > 1) {
      const size_t first_bytes = 3;  // every character here takes three bytes
      pred.push_back({gold[i].text.substr(0, first_bytes), 1, gold[i].pos});
      pred.push_back({gold[i].text.substr(first_bytes), gold[i].length - 1, gold[i].pos});
    } else if (has_next) {
      pred.push_back(merged(gold[i], gold[i + 1]));
      ++i;
    } else {
      pred.push_back(gold[i]);
    }
  }
  return pred;
}

std::string record(const std::string& text, const std::vector<Word>& words) {
  std::string line = "{\"text\": \"" + text + "\", \"words\": [";
  int offset = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i) line += ", ";
    if (NLPEVAL_GEN_POS) {
      line += "{\"offset\": " + std::to_string(offset) +
              ", \"length\": " + std::to_string(words[i].length) + ", \"pos\": \"" + words[i].pos +
              "\"}";
    } else {
      line += "\"" + words[i].text + "\"";
    }
    offset += words[i].length;
  }
  return line + "]}\n";
}

}  // namespace

int main(int argc, char** argv) {
  return nlpeval::bench::generate_files(
      argc, argv, [](std::mt19937_64& random, int /*text_length*/, FILE* gold, FILE* pred) {
        const std::vector<Word> words = make_sentence(random);
        std::string text;
        for (const Word& word : words) text += word.text;
        std::fputs(record(text, words).c_str(), gold);
        std::fputs(record(text, predict(random, words)).c_str(), pred);
      });
}

// Writes a seeded "event" gold/prediction pair of JSON Lines files for benchmarks:
//   nlpeval_gen_event_jsonl GOLD PRED INSTANCES [SEED]
// Texts of 20 to 120 characters mix Chinese and ASCII and are cut into words of 1 to 4
// characters; one to three events each, with two to four arguments of one or two words. The
// gold side places them by word index, the prediction by character offset. The prediction
// keeps 85% of the arguments and retypes, shifts or drops the rest; one event in twenty loses
// its trigger to another word, one in twenty is missed, and one instance in ten gets a
// spurious event.

#include <algorithm>
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

const char* const kRoles[] = {"agent", "patient", "time", "place", "instrument", "target"};

struct Sentence {
  std::vector<std::string> words;
  std::vector<int> starts;  // character offset of each word, one entry more than words
};

struct Argument {
  int begin;  // word indices, end exclusive
  int end;
  const char* role;
};

struct Event {
  int trigger;  // word index
  std::vector<Argument> arguments;
};

Sentence make_sentence(std::mt19937_64& random, int length) {
  Sentence sentence;
  sentence.starts.push_back(0);
  while (sentence.starts.back() < length) {
    const int size = std::min(1 + static_cast<int>(random() % 4), length - sentence.starts.back());
    sentence.words.push_back(make_text(random, size));
    sentence.starts.push_back(sentence.starts.back() + size);
  }
  return sentence;
}

std::string text_of(const Sentence& sentence, int begin, int end) {
  std::string text;
  for (int i = begin; i < end; ++i) text += sentence.words[i];
  return text;
}

Argument make_argument(std::mt19937_64& random, int words) {
  const int begin = static_cast<int>(random() % words);
  const int end = std::min(begin + 1 + static_cast<int>(random() % 2), words);
  return {begin, end, kRoles[random() % 6]};
}

// An event whose trigger is a word no earlier event of the instance uses: a sentence has at
// least five words and at most four events.
Event make_event(std::mt19937_64& random, int words, std::vector<int>& triggers) {
  int trigger = 0;
  do {
    trigger = static_cast<int>(random() % words);
  } while (std::find(triggers.begin(), triggers.end(), trigger) != triggers.end());
  triggers.push_back(trigger);
  Event event{trigger, {}};
  const int arguments = 2 + static_cast<int>(random() % 3);
  for (int a = 0; a < arguments; ++a) event.arguments.push_back(make_argument(random, words));
  return event;
}

Argument distort(std::mt19937_64& random, Argument argument, int words) {
  if (random() % 2 || argument.end >= words) {
    argument.role = kRoles[random() % 6];
  } else {
    ++argument.begin;
    ++argument.end;
  }
  return argument;
}

std::string words_json(const Sentence& sentence) {
  std::string json = "[";
  for (size_t i = 0; i < sentence.words.size(); ++i) {
    json += (i ? ", \"" : "\"") + sentence.words[i] + "\"";
  }
  return json + "]";
}

std::string gold_record(const Sentence& sentence, const std::vector<Event>& events) {
  std::string line = "{\"words\": " + words_json(sentence) + ", \"events\": [";
  for (size_t e = 0; e < events.size(); ++e) {
    const Event& event = events[e];
    line += (e ? ", " : "") + std::string("{\"trigger\": [") + std::to_string(event.trigger) +
            ", " + std::to_string(event.trigger + 1) + "], \"arguments\": [";
    for (size_t a = 0; a < event.arguments.size(); ++a) {
      const Argument& argument = event.arguments[a];
      line += (a ? ", " : "") + std::string("{\"offset\": [") + std::to_string(argument.begin) +
              ", " + std::to_string(argument.end) + "], \"type\": \"" + argument.role +
              "\", \"text\": \"" + text_of(sentence, argument.begin, argument.end) + "\"}";
    }
    line += "]}";
  }
  return line + "]}\n";
}

std::string pred_record(const Sentence& sentence, const std::vector<Event>& events) {
  const std::vector<int>& starts = sentence.starts;
  std::string line = "{\"words\": " + words_json(sentence) + ", \"events\": [";
  for (size_t e = 0; e < events.size(); ++e) {
    const Event& event = events[e];
    line += (e ? ", " : "") + std::string("{\"trigger\": {\"id\": ") +
            std::to_string(event.trigger) +
            ", \"offset\": " + std::to_string(starts[event.trigger]) +
            ", \"length\": " + std::to_string(starts[event.trigger + 1] - starts[event.trigger]) +
            "}, \"arguments\": [";
    for (size_t a = 0; a < event.arguments.size(); ++a) {
      const Argument& argument = event.arguments[a];
      line += (a ? ", " : "") + std::string("{\"offset\": ") +
              std::to_string(starts[argument.begin]) +
              ", \"length\": " + std::to_string(starts[argument.end] - starts[argument.begin]) +
              ", \"role\": \"" + argument.role + "\", \"text\": \"" +
              text_of(sentence, argument.begin, argument.end) + "\"}";
    }
    line += "]}";
  }
  return line + "]}\n";
}

// The prediction of one gold event, if any.
void predict_event(std::mt19937_64& random, const Event& gold, int words,
                   std::vector<Event>& prediction) {
  const int roll = static_cast<int>(random() % 20);
  if (roll == 0) return;
  Event event{roll == 1 ? static_cast<int>(random() % words) : gold.trigger, {}};
  for (const Argument& argument : gold.arguments) {
    predict(
        random, argument, [&](const Argument& kept) { return distort(random, kept, words); },
        event.arguments);
  }
  prediction.push_back(std::move(event));
}

}  // namespace

int main(int argc, char** argv) {
  return nlpeval::bench::generate_files(
      argc, argv, [](std::mt19937_64& random, int length, FILE* gold, FILE* pred) {
        const Sentence sentence = make_sentence(random, length);
        const int words = static_cast<int>(sentence.words.size());
        std::vector<Event> gold_events, pred_events;
        std::vector<int> triggers;
        const int events = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < events; ++e) {
          gold_events.push_back(make_event(random, words, triggers));
          predict_event(random, gold_events.back(), words, pred_events);
        }
        if (random() % 10 == 0) pred_events.push_back(make_event(random, words, triggers));
        std::fputs(gold_record(sentence, gold_events).c_str(), gold);
        std::fputs(pred_record(sentence, pred_events).c_str(), pred);
      });
}

// Arbitrary JSON records through each task's mapper and miner and through the whole in-memory
// evaluation. The first byte picks the task; the rest is a gold and a predicted JSON array of
// records, separated by a NUL byte. Tag sequences must be one tag per code point of the text,
// mapping from tags made ahead must give what mapping the records gives, scores must be
// shares in [0, 1], and nothing may escape but the library's own errors.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "fuzz/fuzz_support.h"
#include "nlpeval/core/internal/tags_ahead.h"
#include "nlpeval/core/utf8.h"
#include "nlpeval/evaluator/convertor/entity_mapper.h"
#include "nlpeval/evaluator/convertor/pos_mapper.h"
#include "nlpeval/evaluator/evaluator.h"
#include "nlpeval/evaluator/internal/instance_loop.h"
#include "nlpeval/evaluator/miner_kinds.h"
#include "nlpeval/tasks/task.h"

namespace {

using nlpeval::fuzz::require;
using nlpeval::fuzz::require_share;

constexpr std::string_view kTasks[] = {"ner", "pos", "cws", "relation", "attribute", "event"};

// The code points of the record's "text", when it has a well-formed one.
std::optional<size_t> text_length(const nlpeval::Record& record) {
  if (!record.is_object()) return std::nullopt;
  std::optional<nlpeval::Record> text = record.find("text");
  if (!text || text->kind() != nlpeval::Kind::string) return std::nullopt;
  std::string_view bytes = text->as_string("text");
  if (!nlpeval::utf8::is_valid(bytes)) return std::nullopt;
  return nlpeval::utf8::length(bytes);
}

void check_tag_sequences(const nlpeval::Record& gold, const nlpeval::Record& pred,
                         const std::vector<nlpeval::TagSequence>& gold_tags,
                         const std::vector<nlpeval::TagSequence>& pred_tags) {
  require(gold_tags.size() == 1 && pred_tags.size() == 1, "one sequence per side");
  std::optional<size_t> gold_length = text_length(gold);
  std::optional<size_t> pred_length = text_length(pred);
  require(gold_length && gold_tags[0].size() == *gold_length, "a gold tag per code point");
  require(pred_length && pred_tags[0].size() == *pred_length, "a predicted tag per code point");
}

void map_and_mine(std::string_view task, const nlpeval::Record& gold, const nlpeval::Record& pred,
                  int64_t index) {
  const nlpeval::Instrument instrument;
  nlpeval::fuzz::expect_library_errors_only([&] {
    std::visit(
        [&](const auto* mapper) {
          auto [gold_out, pred_out] = mapper->convert(gold, pred, index);
          using Out = std::decay_t<decltype(gold_out)>;
          if constexpr (std::is_same_v<Out, std::vector<nlpeval::TagSequence>>) {
            if (task == "ner" || task == "pos") check_tag_sequences(gold, pred, gold_out, pred_out);
            if (task == "event") require(gold_out.size() == pred_out.size(), "events pair up");
          } else {
            if (task != "cws") require(gold_out.size() == pred_out.size(), "labels pair up");
          }
        },
        instrument.get_convertor(task));
  });
  nlpeval::fuzz::expect_library_errors_only([&] {
    std::visit(
        [&](const auto* miner) {
          nlpeval::Label2PredData data = miner->generate(gold, pred, index + 1);
          require(data.index == index + 1, "the miner keeps the instance number");
        },
        instrument.get_generator(task));
  });
}

// The tags of an instance as strings with the elements they lost, or the error mapping it
// threw.
template <typename Map>
std::string mapped(Map&& map, const nlpeval::TagVocabulary& vocabulary) {
  nlpeval::InstanceTags tags;
  try {
    map(tags);
  } catch (const nlpeval::Error& error) {
    return error.what();
  }
  std::string text;
  for (const nlpeval::TagId id : tags.gold(0)) text.append(vocabulary.tag(id)).append(" ");
  text += "|";
  for (const nlpeval::TagId id : tags.pred(0)) text.append(vocabulary.tag(id)).append(" ");
  text += "| " + std::to_string(tags.collisions.overlapping) + " overlapping, " +
          std::to_string(tags.collisions.outside_text) + " outside";
  return text;
}

// Mapping from the tags the reading threads make ahead (read straight from the tape) gives
// what mapping the records gives: tags and lost elements, or error.
template <typename Mapper>
void check_ahead_road(const Mapper& mapper, nlpeval::TaskId task, const nlpeval::Records& gold,
                      const nlpeval::Records& pred) {
  const nlpeval::TagKeys& keys = *nlpeval::task_of(task).element_keys;
  nlpeval::AheadTagger gold_tagger(keys);
  nlpeval::AheadTagger pred_tagger(keys);
  nlpeval::TaggedBatch gold_batch;
  nlpeval::TaggedBatch pred_batch;
  gold_tagger.tag(gold, gold_batch);
  pred_tagger.tag(pred, pred_batch);
  require(gold_batch.records.size() == gold.size(), "a tagged side per gold record");
  nlpeval::BioTagger ahead;
  nlpeval::TagTranslation gold_translation;
  nlpeval::TagTranslation pred_translation;
  for (size_t k = 0; k < std::min(gold.size(), pred.size()); ++k) {
    nlpeval::BioTagger usual;
    const std::string expected = mapped(
        [&](nlpeval::InstanceTags& tags) { mapper.convert_tags(gold[k], pred[k], 0, usual, tags); },
        usual.vocabulary());
    const std::string got = mapped(
        [&](nlpeval::InstanceTags& tags) {
          nlpeval::map_tagged_ahead(mapper, gold[k], pred[k], 0, {&gold_batch, k}, {&pred_batch, k},
                                    gold_translation, pred_translation, ahead, tags);
        },
        ahead.vocabulary());
    require(got == expected, "tagging ahead maps as the records map");
  }
}

void evaluate_all(std::string_view task, const nlpeval::Records& gold,
                  const nlpeval::Records& pred) {
  nlpeval::fuzz::expect_library_errors_only([&] {
    nlpeval::EvaluateResult result = nlpeval::evaluate(task, gold, pred, {.do_print = false});
    const auto& score = std::get<nlpeval::ScoreResult>(result);
    require_share(score.precision, "precision in [0, 1]");
    require_share(score.recall, "recall in [0, 1]");
    require_share(score.f1, "f1 in [0, 1]");
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view task = kTasks[data[0] % std::size(kTasks)];
  auto [gold_text, pred_text] = nlpeval::fuzz::split_at_nul(
      std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  nlpeval::Records gold;
  nlpeval::Records pred;
  try {
    gold = nlpeval::Records::parse(gold_text);
    pred = nlpeval::Records::parse(pred_text);
  } catch (const nlpeval::ValueError&) {
    return 0;  // not two JSON arrays: the reader's target covers such bytes
  }
  size_t pairs = std::min(gold.size(), pred.size());
  for (size_t index = 0; index < pairs; ++index) {
    map_and_mine(task, gold[index], pred[index], static_cast<int64_t>(index));
  }
  if (task == "ner") check_ahead_road(nlpeval::EntityMapper(), nlpeval::TaskId::ner, gold, pred);
  if (task == "pos") check_ahead_road(nlpeval::PosMapper(), nlpeval::TaskId::pos, gold, pred);
  evaluate_all(task, gold, pred);
  return 0;
}

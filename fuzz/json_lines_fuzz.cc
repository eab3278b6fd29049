// Arbitrary bytes as a JSON Lines file: the whole-file reader and the chunked stream must agree
// record for record (or both refuse the file), and every record they accept is checked
// against each task's record format. A record the format accepts must map without error
// when compared with itself (but for "event", whose gold and predicted formats differ).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "fuzz/fuzz_support.h"
#include "nlpeval/data/json_reader.h"
#include "nlpeval/data/json_validator.h"
#include "nlpeval/evaluator/miner_kinds.h"

namespace {

using nlpeval::fuzz::require;

// Reads with chunks of the smallest size, so that every line boundary meets a chunk boundary.
constexpr size_t kSmallChunk = 64;

struct Outcome {
  nlpeval::Records records;
  std::string error_kind;  // empty when the file was read
};

Outcome read_whole(const std::string& file) {
  Outcome outcome;
  try {
    outcome.records = nlpeval::JsonReader(kSmallChunk).read_jsonl(file);
  } catch (const nlpeval::Error& error) {
    outcome.error_kind = error.kind();
  }
  return outcome;
}

std::string stream_all(const std::string& file, std::vector<std::string>& texts) {
  try {
    nlpeval::JsonLinesStream stream(file, kSmallChunk);
    nlpeval::Records batch;
    while (stream.next(batch)) {
      for (const nlpeval::Record& record : batch) texts.push_back(record.to_json());
    }
  } catch (const nlpeval::Error& error) {
    return error.kind();
  }
  return "";
}

void map_with_itself(const nlpeval::Record& record, const std::string& type) {
  nlpeval::Convertor convertor = nlpeval::Instrument().get_convertor(type);
  try {
    std::visit([&](const auto* mapper) { mapper->convert(record, record, 0); }, convertor);
  } catch (const nlpeval::Error& error) {
    std::fprintf(stderr, "%s record accepted by its validator fails to map: %s: %s\n", type.c_str(),
                 error.kind(), error.what());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static nlpeval::fuzz::ScratchFile scratch("lines.jsonl");
  const std::string& file =
      scratch.write(std::string_view(reinterpret_cast<const char*>(data), size));

  nlpeval::fuzz::expect_library_errors_only([&] {
    Outcome whole = read_whole(file);
    std::vector<std::string> streamed;
    std::string stream_error = stream_all(file, streamed);
    require(whole.error_kind == stream_error, "reader and stream fail alike");
    if (!whole.error_kind.empty()) return;
    require(whole.records.size() == streamed.size(), "reader and stream read as many records");

    const nlpeval::MvrcloudJsonValidator validator;
    for (size_t index = 0; index < whole.records.size(); ++index) {
      nlpeval::Record record = whole.records[index];
      require(record.to_json() == streamed[index], "reader and stream read the same record");
      require(!whole.records.origin(index).empty(), "every record knows its line");
      for (const std::string& type : nlpeval::MvrcloudJsonValidator::known_types()) {
        try {
          validator.validate(record, type, static_cast<int64_t>(index),
                             whole.records.origin(index));
        } catch (const nlpeval::ValueError&) {
          continue;
        }
        // An event record is in the gold or in the predicted format, which differ: it cannot
        // stand on both sides.
        if (type != "event") map_with_itself(record, type);
      }
    }
  });
  return 0;
}

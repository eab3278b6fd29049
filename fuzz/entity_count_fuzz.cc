// Arbitrary bytes as an entity-count file: read_entity_count either reads it or refuses it
// with one of the library's errors.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "nlpeval/evaluator/evaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static nlpeval::fuzz::ScratchFile file("entity_count.tsv");
  const std::string& path = file.write(std::string_view(reinterpret_cast<const char*>(data), size));
  nlpeval::fuzz::expect_library_errors_only([&] {
    nlpeval::EntityCount counts = nlpeval::read_entity_count(path);
    for (const auto& [entity, count] : counts) {
      nlpeval::fuzz::require(entity.find('\t') == std::string::npos, "no tab in an entity");
      (void)count;
    }
  });
  return 0;
}

// Replays a fuzz target on every file of the directories (or files) given, for builds without
// libFuzzer: the seed and regression corpora run as ordinary tests.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> inputs_of(const std::filesystem::path& path) {
  std::vector<std::filesystem::path> inputs;
  if (std::filesystem::is_directory(path)) {
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      bool hidden = entry.path().filename().string().starts_with(".");  // .gitkeep
      if (entry.is_regular_file() && !hidden) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
  } else {
    inputs.push_back(path);
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  size_t replayed = 0;
  for (int arg = 1; arg < argc; ++arg) {
    if (!std::filesystem::exists(argv[arg])) {
      std::fprintf(stderr, "no such corpus: %s\n", argv[arg]);
      return 2;
    }
    for (const auto& input : inputs_of(argv[arg])) {
      std::ifstream in(input, std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!in.eof() && in.fail()) {
        std::fprintf(stderr, "cannot read %s\n", input.c_str());
        return 2;
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  return replayed == 0 ? 1 : 0;
}

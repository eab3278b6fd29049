#include "test_support.h"

#include <fstream>
#include <random>

namespace nlpeval::testing {

TempFile::TempFile(std::string_view contents, std::string_view name) {
  std::random_device seed;
  dir_ = std::filesystem::temp_directory_path() /
         ("nlpeval-test-" + std::to_string(seed()) + std::to_string(seed()));
  std::filesystem::create_directories(dir_);
  path_ = (dir_ / name).string();
  std::ofstream out(path_, std::ios::binary);
  out << contents;
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

}  // namespace nlpeval::testing

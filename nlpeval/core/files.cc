#include "nlpeval/core/files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "nlpeval/core/errors.h"

namespace nlpeval::files {
namespace {

constexpr size_t kReadPieceBytes = size_t{1} << 16;

std::string reason(int error) { return error == 0 ? "unknown error" : std::strerror(error); }

}  // namespace

FilePtr open_for_reading(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    throw FileError("cannot read '" + path + "': it is a directory");
  }
  errno = 0;
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) throw FileError("cannot open '" + path + "': " + reason(errno));
  return file;
}

size_t read_some(std::FILE* file, const std::string& path, char* buffer, size_t size) {
  errno = 0;
  size_t got = std::fread(buffer, 1, size, file);
  if (got < size && std::ferror(file)) throw_read_error(path, errno);
  return got;
}

std::string read_file(const std::string& path) {
  FilePtr file = open_for_reading(path);
  std::string content;
  for (;;) {
    const size_t filled = content.size();
    content.resize(filled + kReadPieceBytes);
    const size_t got = read_some(file.get(), path, content.data() + filled, kReadPieceBytes);
    content.resize(filled + got);
    if (got < kReadPieceBytes) return content;
  }
}

void throw_read_error(const std::string& path, int error) {
  throw FileError("cannot read '" + path + "': " + reason(error));
}

}  // namespace nlpeval::files

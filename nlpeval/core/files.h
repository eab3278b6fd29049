#ifndef NLPEVAL_CORE_FILES_H_
#define NLPEVAL_CORE_FILES_H_

// Opening and reading input files, with one form of error for every reader:
//   "cannot open '<path>': <reason>"          the file cannot be opened;
//   "cannot read '<path>': it is a directory"  the path names a directory;
//   "cannot read '<path>': <reason>"          reading failed part way.
// The reason is the system's text for the error number.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace nlpeval::files {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// `path` opened for reading bytes. Throws FileError for a directory (which would open fine
// and fail only at the first read) and for a file that cannot be opened.
FilePtr open_for_reading(const std::string& path);

// Reads up to `size` bytes of `file`, opened from `path`, into `buffer`; fewer only at the
// end of the file. Throws FileError naming `path` for a read error.
size_t read_some(std::FILE* file, const std::string& path, char* buffer, size_t size);

// The whole content of the file `path`. Throws FileError as above.
std::string read_file(const std::string& path);

// Throws the FileError of a failed read of `path`, with the reason of the error number
// `error` (0 when the system gave none).
[[noreturn]] void throw_read_error(const std::string& path, int error);

}  // namespace nlpeval::files

#endif  // NLPEVAL_CORE_FILES_H_

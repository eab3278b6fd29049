#include "nlpeval/data/json_reader.h"

#include <simdjson.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "nlpeval/core/errors.h"

namespace nlpeval {
namespace {

// Lines are collected into chunks of this many bytes, each parsed as one JSON array into a
// document of its own: one allocation per chunk instead of one per record.
constexpr size_t kChunkBytes = size_t{16} << 20;
constexpr size_t kReadBlockBytes = size_t{4} << 20;

// Asks the kernel for huge pages on a fresh, untouched allocation. Faulting in 4 KiB pages
// one by one is the dominant cost of keeping a large document on virtual machines; this is a
// hint only and changes nothing else.
void advise_huge_pages(const void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

bool is_blank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

std::string describe(simdjson::error_code error) {
  switch (error) {
    case simdjson::UTF8_ERROR:
      return "invalid UTF-8";
    case simdjson::NUMBER_ERROR:
      return "invalid number or integer beyond 64 bits";
    case simdjson::T_ATOM_ERROR:
    case simdjson::F_ATOM_ERROR:
    case simdjson::N_ATOM_ERROR:
      return "not valid JSON (NaN and Infinity are not JSON)";
    case simdjson::DEPTH_ERROR:
      return "nested too deeply";
    case simdjson::UNCLOSED_STRING:
      return "unclosed string";
    case simdjson::EMPTY:
      return "no JSON value";
    default:
      return std::string("not valid JSON: ") + simdjson::error_message(error);
  }
}

// Builds the records of one file: every non-blank line is parsed alone first, which checks
// that it is exactly one JSON value and pins an error to its line; checked lines are then
// joined into chunks that become the kept documents.
class RecordsBuilder {
 public:
  explicit RecordsBuilder(const std::string& file) : file_(file) { chunk_.reserve(kChunkBytes); }

  void add_line(std::string_view line, size_t line_number) {
    if (is_blank(line)) return;
    simdjson::dom::element ignored;
    simdjson::error_code error = line_parser_.parse(line.data(), line.size()).get(ignored);
    if (error != simdjson::SUCCESS) {
      throw ValueError(file_ + ":" + std::to_string(line_number) + ": " + describe(error));
    }
    chunk_.push_back(chunk_.empty() ? '[' : ',');
    chunk_.append(line);
    line_numbers_.push_back(line_number);
    if (chunk_.size() >= kChunkBytes) flush();
  }

  Records finish() {
    flush();
    records_.set_source(file_, std::move(line_numbers_));
    return std::move(records_);
  }

 private:
  void flush() {
    if (chunk_.empty()) return;
    chunk_.push_back(']');
    auto document = std::make_unique<simdjson::dom::document>();
    if (document->allocate(chunk_.size()) != simdjson::SUCCESS) {
      throw ValueError(file_ + ": out of memory while reading");
    }
    advise_huge_pages(document->tape.get(), (chunk_.size() + 3) * sizeof(uint64_t));
    advise_huge_pages(document->string_buf.get(), 5 * chunk_.size() / 3);
    simdjson::dom::element root;
    simdjson::error_code error =
        chunk_parser_.parse_into_document(*document, chunk_.data(), chunk_.size()).get(root);
    if (error != simdjson::SUCCESS) {  // every line parsed alone, so this is not the input
      throw ValueError(file_ + ": " + simdjson::error_message(error));
    }
    records_.append_document(std::move(document));
    chunk_.clear();
  }

  const std::string& file_;
  simdjson::dom::parser line_parser_;
  simdjson::dom::parser chunk_parser_;
  std::string chunk_;
  std::vector<size_t> line_numbers_;
  Records records_;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::unique_ptr<std::FILE, FileCloser> open_for_reading(const std::string& file) {
  std::error_code ignored;
  if (std::filesystem::is_directory(file, ignored)) {
    throw FileError("cannot read '" + file + "': is a directory");
  }
  std::unique_ptr<std::FILE, FileCloser> handle(std::fopen(file.c_str(), "rb"));
  if (!handle) throw FileError("cannot open '" + file + "': " + std::strerror(errno));
  return handle;
}

}  // namespace

Records JsonReader::read_jsonl(const std::string& file) const {
  auto handle = open_for_reading(file);
  RecordsBuilder builder(file);
  std::vector<char> block(kReadBlockBytes);
  std::string partial;  // a line cut by the end of a block
  size_t line_number = 0;
  bool at_start = true;
  while (size_t got = std::fread(block.data(), 1, block.size(), handle.get())) {
    std::string_view rest(block.data(), got);
    if (at_start && rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
    at_start = false;
    for (size_t end; (end = rest.find('\n')) != std::string_view::npos;) {
      ++line_number;
      if (partial.empty()) {
        builder.add_line(rest.substr(0, end), line_number);
      } else {
        partial.append(rest.substr(0, end));
        builder.add_line(partial, line_number);
        partial.clear();
      }
      rest.remove_prefix(end + 1);
    }
    partial.append(rest);
  }
  if (std::ferror(handle.get())) {
    throw FileError("cannot read '" + file + "': " + std::strerror(errno));
  }
  if (!partial.empty()) builder.add_line(partial, line_number + 1);
  return builder.finish();
}

}  // namespace nlpeval

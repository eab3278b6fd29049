#ifndef NLPEVAL_DATA_INTERNAL_WORKBOOK_FILE_H_
#define NLPEVAL_DATA_INTERNAL_WORKBOOK_FILE_H_

// The file side of writing a spreadsheet: the library's errors as exceptions, a file that
// appears only when complete, and the libxlsxwriter workbook written into it.

#include <xlsxwriter.h>

#include <memory>
#include <string>

namespace nlpeval::xlsx {

// Throws for a failed library call on `what` while writing `file`: FileError for trouble
// with the output or temporary files, bad_alloc for memory, ValueError for anything the
// library refused.
[[noreturn]] void fail(lxw_error error, const std::string& file, const std::string& what);

// Throws as fail() does unless `error` is LXW_NO_ERROR.
inline void check(lxw_error error, const std::string& file, const char* what) {
  if (error != LXW_NO_ERROR) [[unlikely]] {
    fail(error, file, what);
  }
}

// A new, empty file beside `target` under a hidden temporary name. It is removed again unless
// commit() moves it onto `target`, so a failed write never leaves a partial file behind.
class PendingFile {
 public:
  // Throws FileError naming `target` when the file cannot be created.
  explicit PendingFile(const std::string& target);
  ~PendingFile();

  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& target() const { return target_; }
  const std::string& folder() const { return folder_; }
  const std::string& path() const { return path_; }

  void commit();

 private:
  [[noreturn]] void fail_to_create(int error) const;

  std::string target_;
  std::string folder_;
  std::string path_;
  bool committed_ = false;
};

// A libxlsxwriter workbook in constant-memory mode (each row goes to a temporary file once
// the next one starts) with the two cell formats the sheets use. Freed without writing
// anything unless close() is reached.
class Workbook {
 public:
  // Writes to `file` on close(); temporary files go to its folder rather than to a /tmp that
  // may live in memory.
  explicit Workbook(const PendingFile& file);

  const std::string& target() const { return target_; }
  lxw_format* header_format() const { return header_; }
  lxw_format* top_wrapped_format() const { return top_wrapped_; }

  lxw_worksheet* add_sheet(const std::string& name);

  // Assembles and writes the file, with the zip container's 64-bit extensions when `zip64`.
  void close(bool zip64);

 private:
  lxw_format* add_format();

  std::string target_;
  std::string folder_;
  std::unique_ptr<lxw_workbook, decltype(&lxw_workbook_free)> workbook_{nullptr,
                                                                        &lxw_workbook_free};
  lxw_format* header_ = nullptr;
  lxw_format* top_wrapped_ = nullptr;
};

}  // namespace nlpeval::xlsx

#endif  // NLPEVAL_DATA_INTERNAL_WORKBOOK_FILE_H_

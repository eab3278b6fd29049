#include "nlpeval/data/internal/workbook_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>

#include "nlpeval/core/errors.h"

namespace nlpeval::xlsx {
namespace {

bool is_file_problem(lxw_error error) {
  switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
      return true;
    default:
      return false;
  }
}

}  // namespace

void fail(lxw_error error, const std::string& file, const std::string& what) {
  if (error == LXW_ERROR_MEMORY_MALLOC_FAILED) throw std::bad_alloc();
  std::string message = "cannot write '" + file + "': " + what + ": " + lxw_strerror(error);
  if (is_file_problem(error)) throw FileError(message);
  throw ValueError(message);
}

PendingFile::PendingFile(const std::string& target) : target_(target) {
  const std::filesystem::path path(target);
  if (!path.has_filename()) throw FileError("cannot write '" + target + "': not a file name");
  const std::filesystem::path folder = path.parent_path();
  folder_ = folder.empty() ? "." : folder.string();
  std::string prefix = ".";  // hidden, and named after the target for whoever finds it
  prefix += path.filename().string();
  prefix += ".tmp-";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = (folder / (prefix + std::to_string(random()))).string();
    // 0666 rather than mkstemp's 0600: the file keeps the permissions the umask gives.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return;
    }
    if (errno != EEXIST) fail_to_create(errno);
  }
  throw FileError("cannot write '" + target + "': no free temporary name beside it");
}

PendingFile::~PendingFile() {
  if (!committed_) ::unlink(path_.c_str());
}

void PendingFile::commit() {
  if (std::rename(path_.c_str(), target_.c_str()) != 0) {
    throw FileError("cannot write '" + target_ + "': " + std::strerror(errno));
  }
  committed_ = true;
}

void PendingFile::fail_to_create(int error) const {
  std::string reason;
  if (error == ENOENT) {
    reason = "folder '" + folder_ + "' does not exist";
  } else if (error == ENOTDIR) {
    reason = "'" + folder_ + "' is not a folder";
  } else {
    reason = "cannot create a file in '" + folder_ + "': " + std::strerror(error);
  }
  throw FileError("cannot write '" + target_ + "': " + reason);
}

Workbook::Workbook(const PendingFile& file) : target_(file.target()), folder_(file.folder()) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = folder_.data();
  workbook_.reset(workbook_new_opt(file.path().c_str(), &options));
  if (workbook_ == nullptr) throw std::bad_alloc();
  header_ = add_format();
  format_set_bold(header_);
  top_wrapped_ = add_format();
  format_set_text_wrap(top_wrapped_);
  format_set_align(top_wrapped_, LXW_ALIGN_VERTICAL_TOP);
}

lxw_worksheet* Workbook::add_sheet(const std::string& name) {
  lxw_worksheet* sheet = workbook_add_worksheet(workbook_.get(), name.c_str());
  if (sheet == nullptr) {  // the sheet's temporary file could not be made, or no memory
    throw FileError("cannot write '" + target_ + "': cannot start the sheet '" + name +
                    "' with a temporary file in '" + folder_ + "'");
  }
  return sheet;
}

void Workbook::close(bool zip64) {
  // The library reads this option only here, when it packs the file; whether the sheets
  // need it is known only once they are written.
  workbook_->options.use_zip64 = zip64 ? LXW_TRUE : LXW_FALSE;
  // The call frees the workbook whether it succeeds or not.
  check(workbook_close(workbook_.release()), target_, "assembling the file");
}

lxw_format* Workbook::add_format() {
  lxw_format* format = workbook_add_format(workbook_.get());
  if (format == nullptr) throw std::bad_alloc();
  return format;
}

}  // namespace nlpeval::xlsx

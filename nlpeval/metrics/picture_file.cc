#include "nlpeval/metrics/internal/picture_file.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "nlpeval/core/errors.h"
#include "nlpeval/metrics/internal/cairo_handles.h"

namespace nlpeval::metrics {
namespace {

std::string describe(int error) { return std::generic_category().message(error); }

// A new file next to the target that becomes the target only when complete, and is removed
// otherwise.
class PendingFile {
 public:
  explicit PendingFile(const std::string& target) : target_(target) {
    std::filesystem::path path(target);
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; fd_ < 0; ++attempt) {
      // Cut so the name stays within the file system's limit whenever the target's does.
      std::string name = path.filename().string().substr(0, 200) + "." + std::to_string(getpid()) +
                         "-" + std::to_string(counter++) + ".tmp";
      temporary_ = (path.parent_path() / ("." + name)).string();
      fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ < 0 && (errno != EEXIST || attempt == 100)) fail(errno);
    }
  }

  ~PendingFile() {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(temporary_.c_str());
  }

  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // A cairo write function; `closure` is the PendingFile.
  static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length) {
    auto* file = static_cast<PendingFile*>(closure);
    while (length > 0) {
      ssize_t written = ::write(file->fd_, data, length);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        file->write_error_ = written < 0 ? errno : EIO;
        return CAIRO_STATUS_WRITE_ERROR;
      }
      data += written;
      length -= static_cast<unsigned int>(written);
    }
    return CAIRO_STATUS_SUCCESS;
  }

  // Throws FileError for a cairo failure, preferring the system's reason for a write error.
  void check(cairo_status_t status) const {
    if (status == CAIRO_STATUS_SUCCESS) return;
    if (write_error_ != 0) fail(write_error_);
    throw FileError("cannot draw '" + target_ + "': " + cairo_status_to_string(status));
  }

  void commit() {
    int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) fail(errno);
    if (rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
    committed_ = true;
  }

 private:
  [[noreturn]] void fail(int error) const {
    throw FileError("cannot write '" + target_ + "': " + describe(error));
  }

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  int write_error_ = 0;
  bool committed_ = false;
};
SurfacePtr open_surface(PictureFormat format, PendingFile& file, int width, int height) {
  switch (format) {
    case PictureFormat::kPng:
      return SurfacePtr(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    case PictureFormat::kSvg:
      return SurfacePtr(
          cairo_svg_surface_create_for_stream(&PendingFile::write, &file, width, height));
    case PictureFormat::kPdf:
      return SurfacePtr(
          cairo_pdf_surface_create_for_stream(&PendingFile::write, &file, width, height));
  }
  return nullptr;
}

}  // namespace

PictureFormat picture_format_of(const std::string& filename) {
  std::string extension = std::filesystem::path(filename).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  if (extension == ".png") return PictureFormat::kPng;
  if (extension == ".svg") return PictureFormat::kSvg;
  if (extension == ".pdf") return PictureFormat::kPdf;
  throw ValueError("cannot draw '" + filename + "': unsupported file type '" + extension +
                   "'; supported: .png, .svg, .pdf");
}

void write_picture(PictureFormat format, int width, int height,
                   const std::function<void(cairo_t*)>& draw, const std::string& filename) {
  PendingFile file(filename);
  SurfacePtr surface = open_surface(format, file, width, height);
  file.check(cairo_surface_status(surface.get()));
  {
    ContextPtr cr(cairo_create(surface.get()));
    draw(cr.get());
    file.check(cairo_status(cr.get()));
  }
  if (format == PictureFormat::kPng) {
    file.check(cairo_surface_write_to_png_stream(surface.get(), &PendingFile::write, &file));
  }
  cairo_surface_finish(surface.get());
  file.check(cairo_surface_status(surface.get()));
  file.commit();
}

}  // namespace nlpeval::metrics

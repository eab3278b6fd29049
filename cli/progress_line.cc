#include "progress_line.h"

#include <cinttypes>

namespace nlpeval::cli {
namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int64_t kLargeSheetRows = 100'000;

// 1234567 -> "1,234,567".
std::string with_thousands(int64_t number) {
  const std::string digits = std::to_string(number);
  std::string grouped;
  for (size_t at = 0; at < digits.size(); ++at) {
    const size_t left = digits.size() - at;  // digits from here to the end
    if (at > 0 && digits[at - 1] != '-' && left % 3 == 0) grouped += ',';
    grouped += digits[at];
  }
  return grouped;
}

}  // namespace

std::string ProgressLine::describe(const Progress& progress, double seconds) {
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f s", seconds);
  std::string text = "nlpeval: ";
  if (progress.phase == Progress::Phase::writing) {
    text += "writing the badcase spreadsheet (" + with_thousands(progress.badcase_rows) + " rows)";
  } else {
    text += with_thousands(progress.instances) + " instances read";
    if (progress.badcase_rows > 0) {
      text += ", " + with_thousands(progress.badcase_rows) + " badcase rows written";
    }
  }
  return text + ", " + elapsed;
}

void ProgressLine::update(const Progress& progress, Clock::time_point now) {
  if (!enabled_) return;
  if (progress.phase == Progress::Phase::scored) {
    clear();
    return;
  }
  // The writing phase sends no further call, and a large spreadsheet takes seconds to
  // complete: its line is drawn at once when the sheet is large.
  const bool writing = progress.phase == Progress::Phase::writing;
  const bool long_ahead = writing && progress.badcase_rows >= kLargeSheetRows;
  if (now - start_ < kQuietStart && !long_ahead) return;
  if (!writing && now - last_drawn_ < kRedrawEvery) return;
  last_drawn_ = now;
  draw(describe(progress, std::chrono::duration<double>(now - start_).count()));
}

void ProgressLine::clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  shown_ = false;
}

void ProgressLine::draw(const std::string& text) {
  std::fputs("\r\033[K", out_);
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
  shown_ = true;
}

}  // namespace nlpeval::cli

#include "nlpeval/core/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval::files {
namespace {

using testing::message_of;
using testing::TempFile;

std::string folder_of(const TempFile& file) {
  return std::filesystem::path(file.path()).parent_path().string();
}

TEST(Files, ReadFileKeepsEveryByteOfSmallAndLargeFiles) {
  using namespace std::string_literals;
  const std::string small = "a\0b\r\n\xFF"s;
  // Longer than a read piece, and not a multiple of one.
  std::string large;
  for (int i = 0; large.size() < 300'001; ++i) large += std::to_string(i) + '\n';
  for (const std::string& content : {std::string(), small, large}) {
    TempFile file(content);
    EXPECT_EQ(read_file(file.path()), content) << content.size() << " bytes";
  }
}

// Every reader names the path the same way, with the system's reason.
TEST(Files, ErrorsNameThePathAndTheReason) {
  TempFile file("x");
  const std::string missing = file.path() + ".missing";
  EXPECT_EQ(message_of<FileError>([&] { open_for_reading(missing); }),
            "cannot open '" + missing + "': No such file or directory");
  EXPECT_EQ(message_of<FileError>([&] { read_file(missing); }),
            "cannot open '" + missing + "': No such file or directory");

  const std::string folder = folder_of(file);
  EXPECT_EQ(message_of<FileError>([&] { open_for_reading(folder); }),
            "cannot read '" + folder + "': it is a directory");
  EXPECT_EQ(message_of<FileError>([&] { read_file(folder); }),
            "cannot read '" + folder + "': it is a directory");

  // A directory opened behind the opener's back fails at the first read.
  FilePtr opened(std::fopen(folder.c_str(), "rb"));
  ASSERT_NE(opened, nullptr);
  char byte;
  EXPECT_EQ(message_of<FileError>([&] { read_some(opened.get(), folder, &byte, 1); }),
            "cannot read '" + folder + "': Is a directory");
  EXPECT_EQ(message_of<FileError>([&] { throw_read_error(folder, 0); }),
            "cannot read '" + folder + "': unknown error");
}

TEST(Files, ReadSomeReadsUpToTheEnd) {
  TempFile file("abcde");
  FilePtr opened = open_for_reading(file.path());
  char buffer[4];
  EXPECT_EQ(read_some(opened.get(), file.path(), buffer, sizeof buffer), 4u);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(read_some(opened.get(), file.path(), buffer, sizeof buffer), 1u);
  EXPECT_EQ(buffer[0], 'e');
  EXPECT_EQ(read_some(opened.get(), file.path(), buffer, sizeof buffer), 0u);
}

}  // namespace
}  // namespace nlpeval::files

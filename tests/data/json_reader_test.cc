#include "nlpeval/data/json_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;
using testing::TempFile;

Records read(std::string_view contents) {
  TempFile file(contents, "records.jsonl");
  return JsonReader().read_jsonl(file.path());
}

TEST(JsonReader, ReadsOneRecordPerLineInFileOrder) {
  Records records = read("{\"i\": 1}\n{\"i\": 2}\r\n{\"i\": 3}");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].get_int("i"), 1);
  EXPECT_EQ(records[1].get_int("i"), 2);
  EXPECT_EQ(records[2].get_int("i"), 3);
}

TEST(JsonReader, SkipsBlankLinesButKeepsLineNumbers) {
  TempFile file("\n{\"i\": 1}\n   \n\t\n{\"i\": 2}\n\n", "gold.jsonl");
  Records records = JsonReader().read_jsonl(file.path());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records.origin(0), file.path() + ":2");
  EXPECT_EQ(records.origin(1), file.path() + ":5");
}

TEST(JsonReader, EmptyFileGivesNoRecords) {
  EXPECT_EQ(read("").size(), 0u);
  EXPECT_EQ(read("\n\n").size(), 0u);
}

TEST(JsonReader, SkipsAByteOrderMark) {
  Records records = read("\xEF\xBB\xBF{\"text\": \"a\"}\n");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].get_string("text"), "a");
}

TEST(JsonReader, KeepsNonAsciiTextIntact) {
  Records records = read("{\"text\": \"北京欢迎你 😀\"}\n");
  EXPECT_EQ(records[0].get_string("text"), "北京欢迎你 😀");
}

// Each bad line must be named by its 1-based number, and nothing silently dropped.
TEST(JsonReader, MalformedLinesAreValueErrorsNamingFileAndLine) {
  struct Case {
    const char* contents;
    const char* expected_start;
  };
  const Case cases[] = {
      {"{\"i\": 1}\n{\"i\": \n", ":2: "},                     // truncated line
      {"{\"i\": 1}\n{\"i\": 1} x\n", ":2: "},                 // trailing garbage
      {"{\"i\": 1}, {\"i\": 2}\n", ":1: "},                   // two values on a line
      {"[1\n2]\n", ":1: "},                                   // a value spread over two lines
      {"{\"x\": NaN}\n", ":1: not valid JSON"},               // NaN is not JSON
      {"{\"x\": Infinity}\n", ":1: "},                        // nor is Infinity
      {"{\"x\": 123456789012345678901234567890}\n", ":1: "},  // beyond 64 bits
      {"\n\n{\"text\": \"\xC3\x28\"}\n", ":3: invalid UTF-8"},
  };
  for (const Case& bad : cases) {
    TempFile file(bad.contents, "bad.jsonl");
    std::string message = message_of<ValueError>([&] { JsonReader().read_jsonl(file.path()); });
    EXPECT_EQ(message.rfind(file.path() + bad.expected_start, 0), 0u)
        << "input: " << bad.contents << "\nmessage: " << message;
  }
}

TEST(JsonReader, MissingFileOrDirectoryIsFileErrorNamingIt) {
  EXPECT_NE(message_of<FileError>([] {
              JsonReader().read_jsonl("/no/such/file.jsonl");
            }).find("/no/such/file.jsonl"),
            std::string::npos);
  TempFile file("", "x");
  std::string folder = file.path().substr(0, file.path().rfind('/'));
  EXPECT_NE(message_of<FileError>([&] { JsonReader().read_jsonl(folder); }).find("directory"),
            std::string::npos);
}

// Records are collected into chunks; a file of many lines must come back whole and in order,
// also across the reader's block boundaries.
TEST(JsonReader, LargeFilesComeBackWholeAndInOrder) {
  std::string contents;
  const int count = 200000;
  for (int i = 0; i < count; ++i) {
    contents +=
        "{\"i\": " + std::to_string(i) + ", \"text\": \"" + std::string(i % 197, 'x') + "\"}\n";
  }
  Records records = read(contents);
  ASSERT_EQ(records.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; i += 997) {
    EXPECT_EQ(records[i].get_int("i"), i);
    EXPECT_EQ(records[i].get_string("text").size(), static_cast<size_t>(i % 197));
  }
  EXPECT_EQ(records[count - 1].get_int("i"), count - 1);
}

}  // namespace
}  // namespace nlpeval

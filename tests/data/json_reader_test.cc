#include "nlpeval/data/json_reader.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;
using testing::TempFile;

Records read(std::string_view contents, size_t chunk_bytes = JsonReader::kDefaultChunkBytes) {
  TempFile file(contents, "records.jsonl");
  return JsonReader(chunk_bytes).read_jsonl(file.path());
}

// The message of the ValueError reading `contents` gives, with the file name cut off.
std::string error_reading(std::string_view contents,
                          size_t chunk_bytes = JsonReader::kDefaultChunkBytes) {
  TempFile file(contents, "bad.jsonl");
  std::string message =
      message_of<ValueError>([&] { JsonReader(chunk_bytes).read_jsonl(file.path()); });
  EXPECT_EQ(message.rfind(file.path(), 0), 0u) << message;
  return message.substr(std::min(message.size(), file.path().size()));
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
      {"{\"i\": 1}\n1, 2\n", ":2: "},                // two values after a good line
      {"{\"i\": 1}\n\"abc", ":2: unclosed string"},  // cut off at the end of the file
      {"{\"i\": 1}\n\f\n", ":2: "},                  // not JSON white space
  };
  for (const Case& bad : cases) {
    TempFile file(bad.contents, "bad.jsonl");
    std::string message = message_of<ValueError>([&] { JsonReader().read_jsonl(file.path()); });
    EXPECT_EQ(message.rfind(file.path() + bad.expected_start, 0), 0u)
        << "input: " << bad.contents << "\nmessage: " << message;
  }
}

// Lines that are not one value each can still join into an array of one element per line,
// and must be found all the same. Each case below would pass for good lines if the reader
// misjudged strings, escapes or brackets.
TEST(JsonReader, LinesThatOnlyMakeSenseTogetherAreValueErrors) {
  struct Case {
    std::string contents;
    std::string expected_start;
  };
  std::string backslash_pairs = std::string(R"(["\\", "]", "\\")")
                                    .append("\n")
                                    .append(R"("\\", "[", "\\"])")
                                    .append("\n3, 4\n");
  const Case cases[] = {
      {"[1\n2]\n3,4\n", ":1: "},                    // a split array made up for by two values
      {"{\"a\": 1\n\"b\": 2}\n3, 4\n", ":1: "},     // the same with an object
      {"{\"i\": 1}\n[1\n2]\n3,4\n", ":2: "},        // after a good line
      {"\"a\nb\"\n1, 2\n", ":1: unclosed string"},  // a string spread over two lines
      {"\"a\\\"\nb\\\"\"\n1, 2\n", ":1: unclosed string"},  // escaped quotes
      {"[\"]\", 1\n\"[\", 2]\n3, 4\n", ":1: "},             // brackets inside strings
      {backslash_pairs, ":1: "},  // two backslashes escape each other, not the quote after
      // Brackets on lines longer than the reader's blocks of bytes.
      {std::string("[").append(70, ' ').append("1\n2]").append(150, ' ').append("\n3,4\n"), ":1: "},
  };
  for (const Case& bad : cases) {
    std::string error = error_reading(bad.contents);
    EXPECT_EQ(error.rfind(bad.expected_start, 0), 0u)
        << "input: " << bad.contents << "\nerror: " << error;
  }
}

// Strings are followed through escapes wherever the bytes fall, whatever the offset.
TEST(JsonReader, FollowsStringsAndEscapesAtAnyOffset) {
  for (size_t pad = 1; pad < 140; ++pad) {
    // Each line holds an escaped quote at a shifting offset; read wrongly, both would look
    // like whole strings.
    std::string lines = std::string("\"").append(pad, 'x').append("\\\"\n");
    lines.append(pad - 1, 'y').append("\\\"\"\n1, 2\n");
    EXPECT_EQ(error_reading(lines), ":1: unclosed string") << "pad " << pad;
    // An escaped backslash escapes nothing, so these two lines are records.
    std::string text(pad, 'x');
    Records records = read("{\"s\": \"" + text + "\\\\\", \"t\": \"[{,\"}\n{\"i\": 2}\n");
    ASSERT_EQ(records.size(), 2u) << "pad " << pad;
    EXPECT_EQ(records[0].get_string("s"), text + "\\");
    EXPECT_EQ(records[1].get_int("i"), 2);
  }
}

// A line is as deep as it may be on its own, however the reader groups lines.
TEST(JsonReader, NestingIsLimitedPerLine) {
  size_t limit = simdjson::DEFAULT_MAX_DEPTH;
  Records records = read("{\"i\": 1}\n" + std::string(limit, '[') + std::string(limit, ']') + "\n");
  EXPECT_EQ(records.size(), 2u);
  EXPECT_EQ(error_reading("{\"i\": 1}\n" + std::string(limit + 1, '[') +
                          std::string(limit + 1, ']') + "\n"),
            ":2: nested too deeply");
}

// Small chunks put chunk boundaries everywhere, lines longer than a chunk among them: the
// records, their lines and the line named in an error must not depend on the chunk size.
TEST(JsonReader, ChunkSizeChangesNothing) {
  std::string contents = "\xEF\xBB\xBF";
  std::vector<size_t> lines;
  size_t line = 0;
  for (int i = 0; i < 300; ++i) {
    if (i % 7 == 0) {
      contents += i % 2 ? " \t\r\n" : "\n";
      ++line;
    }
    contents += "{\"i\": " + std::to_string(i) + ", \"text\": \"" + std::string(i * i % 531, 'y') +
                "\"}" + (i % 5 ? "\n" : "\r\n");
    lines.push_back(++line);
  }
  contents += "[\"last line without a break\"]";
  lines.push_back(++line);
  for (size_t chunk_bytes : {size_t{1}, size_t{64}, size_t{100}, size_t{4096}, size_t{1} << 20}) {
    TempFile file(contents, "chunks.jsonl");
    Records records = JsonReader(chunk_bytes).read_jsonl(file.path());
    ASSERT_EQ(records.size(), lines.size()) << "chunk " << chunk_bytes;
    for (size_t i = 0; i < 300; ++i) {
      EXPECT_EQ(records[i].get_int("i"), static_cast<int64_t>(i));
      EXPECT_EQ(records[i].get_string("text").size(), i * i % 531);
      EXPECT_EQ(records.origin(i), file.path() + ":" + std::to_string(lines[i]));
    }
    EXPECT_EQ(records[300].to_json(), "[\"last line without a break\"]");
    std::string error = error_reading(contents + "\n{\"i\": 1}\n[1\n2]\n3,4\n", chunk_bytes);
    std::string bad_line = std::to_string(line + 2);
    EXPECT_EQ(error.rfind(":" + bad_line + ": ", 0), 0u)
        << "chunk " << chunk_bytes << ": " << error;
  }
}

TEST(JsonReader, MissingFileOrDirectoryIsFileErrorNamingIt) {
  EXPECT_EQ(message_of<FileError>([] { JsonReader().read_jsonl("/no/such/file.jsonl"); }),
            "cannot open '/no/such/file.jsonl': No such file or directory");
  TempFile file("", "x");
  std::string folder = file.path().substr(0, file.path().rfind('/'));
  EXPECT_EQ(message_of<FileError>([&] { JsonReader().read_jsonl(folder); }),
            "cannot read '" + folder + "': it is a directory");
  EXPECT_EQ(message_of<FileError>([&] { JsonLinesStream stream(folder); }),
            "cannot read '" + folder + "': it is a directory");
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
  Records records = read(contents, size_t{1} << 20);
  ASSERT_EQ(records.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; i += 997) {
    EXPECT_EQ(records[i].get_int("i"), i);
    EXPECT_EQ(records[i].get_string("text").size(), static_cast<size_t>(i % 197));
  }
  EXPECT_EQ(records[count - 1].get_int("i"), count - 1);
}

// ---- JsonLinesStream ------------------------------------------------------------------

// Every batch of `file`, read `chunk_bytes` at a time; each batch's records know their line.
std::vector<Records> batches_of(const std::string& file, size_t chunk_bytes) {
  JsonLinesStream stream(file, chunk_bytes);
  std::vector<Records> batches;
  Records batch;
  while (stream.next(batch)) {
    // Parsed again into a list of their own: `batch` reuses its memory for the next one.
    std::string array = "[";
    for (size_t k = 0; k < batch.size(); ++k) {
      if (k > 0) array += ',';
      array += batch[k].to_json();
    }
    batches.push_back(Records::parse(array + "]"));
    for (size_t k = 0; k < batch.size(); ++k) {
      EXPECT_EQ(batch.origin(k).rfind(file + ":", 0), 0u);
    }
  }
  EXPECT_TRUE(batch.empty());
  return batches;
}

TEST(JsonLinesStream, GivesTheRecordsOfReadJsonlChunkByChunk) {
  std::string lines = "\xEF\xBB\xBF";
  for (int i = 0; i < 50; ++i) {
    lines += std::string("{\"i\": ") + std::to_string(i) + ", \"text\": \"" +
             std::string(i % 7, 'a') + "\"}\r\n";
    if (i % 9 == 0) lines += "  \n";
  }
  TempFile file(lines, "records.jsonl");
  Records whole = JsonReader(64).read_jsonl(file.path());
  std::vector<Records> batches = batches_of(file.path(), 64);
  EXPECT_GT(batches.size(), 10u);
  size_t index = 0;
  for (const Records& batch : batches) {
    for (const Record record : batch) {
      ASSERT_LT(index, whole.size());
      EXPECT_EQ(record.to_json(), whole[index].to_json());
      ++index;
    }
  }
  EXPECT_EQ(index, whole.size());
}

TEST(JsonLinesStream, KeepsLineNumbersAcrossBatches) {
  TempFile file("{\"i\": 1}\n\n{\"i\": 2}\n{\"i\": 3}\n\n\n{\"i\": 4}\n", "gold.jsonl");
  JsonLinesStream stream(file.path(), 64);
  Records batch;
  std::vector<std::string> origins;
  while (stream.next(batch)) {
    for (size_t k = 0; k < batch.size(); ++k) origins.push_back(batch.origin(k));
  }
  const std::string& path = file.path();
  EXPECT_EQ(origins,
            (std::vector<std::string>{path + ":1", path + ":3", path + ":4", path + ":7"}));
}

TEST(JsonLinesStream, FailsAtTheSameLineAsReadJsonl) {
  std::string lines;
  for (int i = 0; i < 30; ++i) lines += std::string("{\"i\": ") + std::to_string(i) + "}\n";
  lines += "{\"i\": NaN}\n";
  TempFile file(lines, "bad.jsonl");
  std::string whole = message_of<ValueError>([&] { JsonReader(64).read_jsonl(file.path()); });
  std::string streamed = message_of<ValueError>([&] { batches_of(file.path(), 64); });
  EXPECT_EQ(streamed, whole);
  EXPECT_NE(streamed.find(":31: "), std::string::npos) << streamed;
  EXPECT_THROW(JsonLinesStream("/no/such/file.jsonl"), FileError);
}

}  // namespace
}  // namespace nlpeval

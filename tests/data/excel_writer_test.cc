#include "nlpeval/data/excel_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::message_of;
using testing::TempFile;
using ::testing::UnorderedElementsAre;

using Rows = std::vector<std::vector<Value>>;
using Head = std::vector<std::string>;

// Prints, as JSON, what openpyxl sees in a spreadsheet: per sheet its name, cell values row
// by row (None for blank and hidden merged cells), merged ranges, frozen cell, autofilter
// range, boldness of the header cells, column widths, and the cells aligned to the top
// with wrapped text. With "--raw-merges" (for large sheets, which openpyxl merges slowly) it
// prints the name, the values, and the merged ranges and their declared count as the sheet's
// XML has them.
constexpr const char* kReadBack = R"py(
import json, re, sys, zipfile
import openpyxl
from openpyxl.cell.cell import MergedCell
from openpyxl.utils import get_column_letter

def describe(sheet):
    return {
        "name": sheet.title,
        "rows": [list(row) for row in sheet.iter_rows(values_only=True)],
        "merged": [str(r) for r in sheet.merged_cells.ranges],
        "freeze": sheet.freeze_panes,
        "filter": sheet.auto_filter.ref,
        "bold": [bool(cell.font.b) for cell in sheet[1]],
        "widths": [sheet.column_dimensions[get_column_letter(i)].width
                   for i in range(1, sheet.max_column + 1)],
        "top_wrapped": [cell.coordinate for row in sheet.iter_rows() for cell in row
                        if not isinstance(cell, MergedCell) and cell.alignment.wrap_text
                        and cell.alignment.vertical == "top"],
    }

def describe_raw(path, number, sheet):
    xml = zipfile.ZipFile(path).read("xl/worksheets/sheet%d.xml" % number).decode()
    count = re.search(r'<mergeCells count="(\d+)"', xml)
    return {
        "name": sheet.title,
        "rows": [list(row) for row in sheet.iter_rows(values_only=True)],
        "merged": re.findall(r'<mergeCell ref="([^"]+)"', xml),
        "merge_count": int(count.group(1)) if count else 0,
    }

path = sys.argv[1]
if sys.argv[2:] == ["--raw-merges"]:
    book = openpyxl.load_workbook(path, read_only=True)
    print(json.dumps([describe_raw(path, n, s) for n, s in enumerate(book.worksheets, 1)]))
else:
    book = openpyxl.load_workbook(path)
    print(json.dumps([describe(sheet) for sheet in book.worksheets]))
)py";

std::vector<std::string> strings(const Value& array) {
  return array.get<std::vector<std::string>>();
}

class ExcelWriterTest : public ::testing::Test {
 protected:
  std::string folder() const { return std::filesystem::path(script_.path()).parent_path(); }
  std::string output(const std::string& name = "badcase.xlsx") const {
    return folder() + "/" + name;
  }

  // The sheets openpyxl reads from `path`; fails the test when it cannot read them.
  Value read_back(const std::string& path, const std::string& option = "") const {
    const std::string command =
        "/usr/bin/python3 '" + script_.path() + "' '" + path + "' " + option + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
      ADD_FAILURE() << "cannot run " << command;
      return Value::array();
    }
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pclose(pipe) != 0) {
      ADD_FAILURE() << "openpyxl cannot read " << path << ":\n" << out;
      return Value::array();
    }
    return Value::parse(out);
  }

  // Writes the rows and returns the sheets read back.
  Value round_trip(const Rows& rows, const Head& head, bool is_merge = true,
                   const ExcelWriter& writer = ExcelWriter()) const {
    writer.write(rows, head, output(), is_merge);
    return read_back(output());
  }

  // Names in the folder besides the read-back script.
  std::vector<std::string> folder_entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder())) {
      std::string name = entry.path().filename();
      if (name != "read_back.py") names.push_back(name);
    }
    return names;
  }

 private:
  TempFile script_{kReadBack, "read_back.py"};
};

const Head kNerHead = {"index", "true_text", "pred_text", "is_right", "error_type", "text"};

// Three records of 2, 1 and 3 rows, as the entity miner gives them.
Rows ner_rows() {
  const Value text1 = "我爱北京天安门";
  const Value text2 = "Alice met Bob.";
  const Value text3 = "Paris 和 London";
  return {
      {1, "北京", "北京", 1, nullptr, text1},
      {1, "天安门", nullptr, 0, "PRED_NONE_ERROR", text1},
      {2, "Alice", "Alice met", 0, "TRUE_IN_PRED", text2},
      {3, "Paris", "Paris", 1, nullptr, text3},
      {3, "London", "Lon", 0, "PRED_IN_TRUE", text3},
      {3, nullptr, "和", 0, "TRUE_NONE_ERROR", text3},
  };
}

// ---- Sheet layout ----

TEST_F(ExcelWriterTest, OneSheetWithBoldFrozenFilteredHeader) {
  Value sheets = round_trip(ner_rows(), kNerHead);
  ASSERT_EQ(sheets.size(), 1u);
  const Value& sheet = sheets[0];
  EXPECT_EQ(sheet["name"], "badcase");
  EXPECT_EQ(sheet["rows"][0], Value(kNerHead));
  EXPECT_EQ(sheet["rows"].size(), 7u);
  EXPECT_EQ(sheet["freeze"], "A2");
  EXPECT_EQ(sheet["filter"], "A1:F7");
  EXPECT_EQ(sheet["bold"], Value::array({true, true, true, true, true, true}));
}

TEST_F(ExcelWriterTest, ColumnWidthsFollowContentWithinBoundsAndTextWraps) {
  const Head head = {"index", "short", "long", "cjk", "text"};
  Rows rows = {{1, "ab", std::string(200, 'x'), "北京天安门广场东侧", "some text"}};
  const Value sheet = round_trip(rows, head, /*is_merge=*/false)[0];
  const auto widths = sheet["widths"].get<std::vector<double>>();
  ASSERT_EQ(widths.size(), 5u);
  EXPECT_GE(widths[0], 8.0);  // room for "index" and the filter button
  EXPECT_LE(widths[1], 10.0);
  EXPECT_LE(widths[2], 41.0);  // capped, not 200 wide
  EXPECT_GE(widths[3], 18.0);  // 9 CJK characters, each about two digits wide
  EXPECT_GE(widths[4], 60.0);
  EXPECT_THAT(strings(sheet["top_wrapped"]), ElementsAre("E2"));
}

TEST_F(ExcelWriterTest, EmptyRowsGiveAHeaderOnlySheet) {
  const Value sheets = round_trip({}, kNerHead);
  ASSERT_EQ(sheets.size(), 1u);
  EXPECT_EQ(sheets[0]["rows"], Value::array({Value(kNerHead)}));
  EXPECT_EQ(sheets[0]["filter"], "A1:F1");
}

// ---- Cell values ----

TEST_F(ExcelWriterTest, ValuesKeepTheirKind) {
  const Head head = {"int", "float", "bool", "none", "string", "map", "array"};
  Value map = Value::object();
  map["type"] = "PER";
  map["offset"] = 3;
  Rows rows = {
      {7, 0.25, true, nullptr, "北京 😀", map, Value::array({1, "a"})},
      {-3, 1e300, false, nullptr, "", Value::object(), Value::array()},
  };
  const Value values = round_trip(rows, head)[0]["rows"];
  EXPECT_EQ(values[1], Value::array({7, 0.25, true, "NONE", "北京 😀",
                                     "{'type': 'PER', 'offset': 3}", "[1, 'a']"}));
  // An empty string is a blank cell in a spreadsheet.
  EXPECT_EQ(values[2], Value::array({-3, 1e300, false, "NONE", nullptr, "{}", "[]"}));
}

// A cell number is a double: these values would change if written as numbers.
TEST_F(ExcelWriterTest, IntegersBeyondDoublePrecisionAndNonFiniteFloatsBecomeText) {
  const Head head = {"exact", "too big", "too small", "unsigned", "nan", "inf"};
  Rows rows = {{int64_t{1} << 53, (int64_t{1} << 53) + 1, -(int64_t{1} << 53) - 1,
                uint64_t{18446744073709551615u}, std::nan(""), -HUGE_VAL}};
  const Value values = round_trip(rows, head)[0]["rows"][1];
  EXPECT_EQ(values, Value::array({9007199254740992, "9007199254740993", "-9007199254740993",
                                  "18446744073709551615", "nan", "-inf"}));
}

// Excel's limit counts UTF-16 code units; a cut keeps whole characters and ends in "…".
TEST_F(ExcelWriterTest, TextsPastTheCellLimitAreCutWithAnEllipsis) {
  std::string emoji = "😀";  // two UTF-16 code units
  auto repeat = [](const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += piece;
    return text;
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string(32767, 'a'), std::string(32767, 'a')},
      {std::string(32768, 'a'), std::string(32766, 'a') + "…"},
      {repeat("北", 32767), repeat("北", 32767)},
      {repeat("北", 40000), repeat("北", 32766) + "…"},
      {repeat(emoji, 16383) + "a", repeat(emoji, 16383) + "a"},
      {repeat(emoji, 16384), repeat(emoji, 16383) + "…"},
      {"a" + repeat(emoji, 16384), "a" + repeat(emoji, 16382) + "…"},  // no half character
      // Cleaned texts are cut alike, however much lies beyond the limit.
      {std::string(100000, '\xFF'), repeat("\uFFFD", 32766) + "…"},
      {repeat("北", 32766) + "\xFF\xFF", repeat("北", 32766) + "…"},
      {"a" + repeat("北", 40000) + "\xFF", "a" + repeat("北", 32765) + "…"},
  };
  Rows rows;
  for (const auto& [text, expected] : cases) rows.push_back({text});
  const Value values = round_trip(rows, {"text"}, /*is_merge=*/false)[0]["rows"];
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(values[i + 1][0], cases[i].second) << "case " << i;
  }
}

TEST_F(ExcelWriterTest, InvalidUtf8AndNulBecomeReplacementCharacters) {
  const std::string replacement = "\uFFFD";
  const Head head = {"bad \xFF name", "text", "map"};
  Value map = Value::object();
  map["k"] = "x\xC0\xAF";  // overlong form
  Rows rows = {
      {"ab\xFF"
       "cd",
       std::string("a\0b", 3) + "\xE4\xB8", map}};
  const Value values = round_trip(rows, head)[0]["rows"];
  EXPECT_EQ(values[0][0], "bad " + replacement + " name");
  EXPECT_EQ(values[1][0], "ab" + replacement + "cd");
  EXPECT_EQ(values[1][1], "a" + replacement + "b" + replacement + replacement);
  EXPECT_EQ(values[1][2], "{'k': 'x" + replacement + replacement + "'}");
}

// ---- Merging ----

TEST_F(ExcelWriterTest, MergesIndexAndTextOfEachRecordTopAligned) {
  const Value sheet = round_trip(ner_rows(), kNerHead)[0];
  EXPECT_THAT(strings(sheet["merged"]), UnorderedElementsAre("A2:A3", "F2:F3", "A5:A7", "F5:F7"));
  const Value& values = sheet["rows"];
  EXPECT_EQ(values[1], Value::array({1, "北京", "北京", 1, "NONE", "我爱北京天安门"}));
  EXPECT_EQ(values[2], Value::array({nullptr, "天安门", "NONE", 0, "PRED_NONE_ERROR", nullptr}));
  EXPECT_EQ(values[3][0], 2);
  EXPECT_EQ(values[4][5], "Paris 和 London");
  EXPECT_EQ(values[6][0], nullptr);
  const auto top_wrapped = strings(sheet["top_wrapped"]);
  for (const char* cell : {"A2", "F2", "A4", "F4", "A5", "F5"}) {
    EXPECT_THAT(top_wrapped, ::testing::Contains(cell));
  }
}

TEST_F(ExcelWriterTest, WithoutMergeEveryRowIsWrittenInFull) {
  const Value sheet = round_trip(ner_rows(), kNerHead, /*is_merge=*/false)[0];
  EXPECT_THAT(strings(sheet["merged"]), IsEmpty());
  const Value& values = sheet["rows"];
  ASSERT_EQ(values.size(), 7u);
  EXPECT_EQ(values[2], Value::array({1, "天安门", "NONE", 0, "PRED_NONE_ERROR", "我爱北京天安门"}));
  EXPECT_EQ(values[6][0], 3);
  EXPECT_EQ(values[6][5], "Paris 和 London");
}

TEST_F(ExcelWriterTest, MergesOnlyTheColumnsTheHeaderHas) {
  Rows without_text = {{1, "a"}, {1, "b"}};
  EXPECT_THAT(strings(round_trip(without_text, {"index", "tag"})[0]["merged"]),
              ElementsAre("A2:A3"));
  // Without an index there is no record to merge by, so the text stays in every row.
  Rows without_index = {{"a", "t"}, {"b", "t"}};
  const Value sheet = round_trip(without_index, {"tag", "text"})[0];
  EXPECT_THAT(strings(sheet["merged"]), IsEmpty());
  EXPECT_EQ(sheet["rows"][2], Value::array({"b", "t"}));
}

// Merging must never hide a value: rows merge only when consecutive and equal in both
// "index" and "text".
TEST_F(ExcelWriterTest, MergesOnlyConsecutiveRowsOfOneRecord) {
  Rows rows = {
      {1, "x", "same text"}, {2, "y", "other"}, {1, "z", "same text"}, {5, "u", "text A"},
      {5, "v", "text B"},    {6, "w", "last"},  {6, "w", "last"},
  };
  const Value sheet = round_trip(rows, {"index", "tag", "text"})[0];
  EXPECT_THAT(strings(sheet["merged"]), UnorderedElementsAre("A7:A8", "C7:C8"));
  EXPECT_EQ(sheet["rows"][3], Value::array({1, "z", "same text"}));
  EXPECT_EQ(sheet["rows"][5], Value::array({5, "v", "text B"}));
}

// Past 65,535 ranges libxlsxwriter loses every range of the sheet: the records beyond the
// budget must be written in full instead.
TEST_F(ExcelWriterTest, RecordsPastTheMergeBudgetAreWrittenInFull) {
  constexpr int64_t kRecords = 32'768;  // two ranges each: the last one does not fit
  Rows rows;
  for (int64_t index = 1; index <= kRecords; ++index) {
    rows.push_back({index, "t"});
    rows.push_back({index, "t"});
  }
  ExcelWriter().write(rows, {"index", "text"}, output());
  const Value sheet = read_back(output(), "--raw-merges")[0];
  EXPECT_EQ(sheet["merged"].size(), 65'534u);
  EXPECT_EQ(sheet["merge_count"], 65'534);
  EXPECT_EQ(sheet["rows"][2], Value::array({nullptr, nullptr}));
  EXPECT_EQ(sheet["rows"][65'535], Value::array({kRecords, "t"}));
  EXPECT_EQ(sheet["rows"][65'536], Value::array({kRecords, "t"}));
}

// ---- Sheet overflow ----

TEST_F(ExcelWriterTest, RowsPastTheSheetLimitContinueOnNumberedSheets) {
  // Four data rows per sheet; record 2 straddles the first boundary, record 4 the second.
  Rows rows = {
      {1, "a", "t1"}, {2, "b", "t2"}, {2, "c", "t2"}, {2, "d", "t2"}, {2, "e", "t2"},
      {3, "f", "t3"}, {4, "g", "t4"}, {4, "h", "t4"}, {4, "i", "t4"}, {5, "j", "t5"},
  };
  const Value sheets = round_trip(rows, {"index", "tag", "text"}, true, ExcelWriter(5));
  ASSERT_EQ(sheets.size(), 3u);
  EXPECT_EQ(sheets[0]["name"], "badcase");
  EXPECT_EQ(sheets[1]["name"], "badcase_2");
  EXPECT_EQ(sheets[2]["name"], "badcase_3");
  std::vector<std::string> tags;
  for (const Value& sheet : sheets) {
    EXPECT_EQ(sheet["rows"][0], Value::array({"index", "tag", "text"}));
    EXPECT_EQ(sheet["freeze"], "A2");
    for (size_t i = 1; i < sheet["rows"].size(); ++i) tags.push_back(sheet["rows"][i][1]);
  }
  EXPECT_THAT(tags, ElementsAre("a", "b", "c", "d", "e", "f", "g", "h", "i", "j"));
  EXPECT_EQ(sheets[0]["filter"], "A1:C5");
  EXPECT_EQ(sheets[2]["filter"], "A1:C3");
  // Each part of a record is merged on its own sheet and shows the index again.
  EXPECT_THAT(strings(sheets[0]["merged"]), UnorderedElementsAre("A3:A5", "C3:C5"));
  EXPECT_THAT(strings(sheets[1]["merged"]), UnorderedElementsAre("A4:A5", "C4:C5"));
  EXPECT_THAT(strings(sheets[2]["merged"]), IsEmpty());
  EXPECT_EQ(sheets[1]["rows"][1], Value::array({2, "e", "t2"}));
  EXPECT_EQ(sheets[2]["rows"][1], Value::array({4, "i", "t4"}));
}

TEST_F(ExcelWriterTest, RowsThatFillTheLastSheetExactlyAddNoEmptySheet) {
  Rows rows = {{1}, {2}, {3}, {4}};
  EXPECT_EQ(round_trip(rows, {"index"}, true, ExcelWriter(3)).size(), 2u);
}

TEST(ExcelWriter, SheetLimitMustLeaveRoomForHeaderAndOneRow) {
  EXPECT_THAT(message_of<ValueError>([] { ExcelWriter(1); }), HasSubstr("rows_per_sheet"));
  EXPECT_THAT(message_of<ValueError>([] { ExcelWriter(1'048'577); }), HasSubstr("rows_per_sheet"));
  EXPECT_NO_THROW(ExcelWriter(1'048'576));
}

// ---- Files and failures ----

TEST_F(ExcelWriterTest, MissingFolderIsAFileErrorNamingThePath) {
  const std::string path = folder() + "/no such folder/badcase.xlsx";
  const std::string message =
      message_of<FileError>([&] { ExcelWriter().write(ner_rows(), kNerHead, path); });
  EXPECT_THAT(message, HasSubstr(path));
  EXPECT_THAT(message, HasSubstr("does not exist"));

  { std::ofstream(output("plain file")) << "x"; }
  const std::string under_file = output("plain file") + "/badcase.xlsx";
  EXPECT_THAT(message_of<FileError>([&] { ExcelWriter().write(ner_rows(), kNerHead, under_file); }),
              HasSubstr(under_file));
}

TEST_F(ExcelWriterTest, UnwritableFolderIsAFileError) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  const std::string locked = folder() + "/locked";
  std::filesystem::create_directory(locked);
  std::filesystem::permissions(
      locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const std::string path = locked + "/badcase.xlsx";
  EXPECT_THAT(message_of<FileError>([&] { ExcelWriter().write(ner_rows(), kNerHead, path); }),
              HasSubstr(path));
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
}

TEST_F(ExcelWriterTest, FailedWriteLeavesNoTemporaryFile) {
  // The target is a folder, so the final rename fails after the whole file was written.
  const std::string path = output("taken");
  std::filesystem::create_directory(path);
  EXPECT_THAT(message_of<FileError>([&] { ExcelWriter().write(ner_rows(), kNerHead, path); }),
              HasSubstr(path));
  EXPECT_THAT(folder_entries(), ElementsAre("taken"));
}

TEST_F(ExcelWriterTest, ReplacesAnExistingFileAndLeavesOnlyIt) {
  { std::ofstream(output()) << "old contents"; }
  const Value sheets = round_trip(ner_rows(), kNerHead);
  EXPECT_EQ(sheets[0]["rows"].size(), 7u);
  EXPECT_THAT(folder_entries(), ElementsAre("badcase.xlsx"));
}

TEST_F(ExcelWriterTest, NewFileGetsTheUsualPermissions) {
  const mode_t mask = umask(022);
  ExcelWriter().write(ner_rows(), kNerHead, output());
  umask(mask);
  struct stat info {};
  ASSERT_EQ(stat(output().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(ExcelWriterTest, MalformedRowsAreValueErrorsAndWriteNothing) {
  Rows rows = ner_rows();
  rows[4].pop_back();
  EXPECT_THAT(message_of<ValueError>([&] { ExcelWriter().write(rows, kNerHead, output()); }),
              HasSubstr("rows[4] has 5 values for 6 header names"));
  EXPECT_THAT(message_of<ValueError>([&] { ExcelWriter().write({}, {}, output()); }),
              HasSubstr("excel_head is empty"));
  EXPECT_THAT(folder_entries(), IsEmpty());
}

TEST_F(ExcelWriterTest, AStreamLeavesNothingBehindUnlessClosed) {
  {
    ExcelWriter::Stream stream = ExcelWriter().open(kNerHead, output());
    for (const std::vector<Value>& row : ner_rows()) stream.add_row(row);
  }
  EXPECT_THAT(folder_entries(), IsEmpty());
  ExcelWriter::Stream stream = ExcelWriter().open(kNerHead, output());
  stream.add_row(ner_rows()[0]);
  EXPECT_THAT(message_of<ValueError>([&] { stream.add_row(std::vector<Value>{1}); }),
              HasSubstr("rows[1] has 1 values for 6 header names"));
  EXPECT_THAT(folder_entries(), IsEmpty());
  EXPECT_THROW(stream.close(), ValueError);  // a failed stream takes nothing more
}

}  // namespace
}  // namespace nlpeval

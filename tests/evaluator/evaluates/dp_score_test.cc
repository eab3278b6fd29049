#include "nlpeval/evaluator/evaluates/dp_score.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using ::testing::HasSubstr;
using testing::message_of;
using testing::TempFile;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// A ten-column token line with the given head and relation label.
std::string token(int id, std::string_view head, std::string_view label) {
  return std::to_string(id) + "\tw\tw\tN\tN\t_\t" + std::string(head) + "\t" + std::string(label) +
         "\t_\t_\n";
}

// Calls dp_score with printing on and returns what it printed.
std::string printed_table(const ConllLines& y_true, const ConllLines& y_pred) {
  CaptureStdout();
  dp_score(y_true, y_pred);
  return GetCapturedStdout();
}

void expect_label(const DpLabelScore& score, std::string_view item, double uas, double las) {
  EXPECT_EQ(score.item, item);
  EXPECT_DOUBLE_EQ(score.uas, uas) << item;
  EXPECT_DOUBLE_EQ(score.las, las) << item;
}

TEST(DpScore, IdenticalParsesScoreOneAndPrintTheTable) {
  ConllLines gold = {"1\tA\ta\tN\tN\t_\t2\tnsubj\t_\t_\n", "2\tB\tb\tV\tV\t_\t0\troot\t_\t_\n"};
  EXPECT_EQ(printed_table(gold, gold),
            "UAS: 1.000\tLAS: 1.000\n"
            "\tUAS\tLAS\tsupport\n"
            "nsubj\t1.000\t1.000\t1\n"
            "root\t1.000\t1.000\t1\n");

  CaptureStdout();
  DpResult quiet = dp_score(gold, gold, false);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_DOUBLE_EQ(quiet.UAS, 1.0);
  EXPECT_DOUBLE_EQ(quiet.LAS, 1.0);
  ASSERT_EQ(quiet.classification.size(), 2u);
  expect_label(quiet.classification[0], "nsubj", 1.0, 1.0);
  expect_label(quiet.classification[1], "root", 1.0, 1.0);
}

TEST(DpScore, HeadsAndLabelsAreComparedAsExactStrings) {
  ConllLines gold = {token(1, "2", "nsubj"), token(2, "0", "root"), token(3, "2", "obj"),
                     token(4, "2", "obj")};
  ConllLines pred = {token(1, "2", "dobj"),  // right head, wrong label: UAS only
                     token(2, "0", "root"), token(3, "1", "obj"),
                     token(4, "02", "obj")};  // same number, different text: a miss
  EXPECT_EQ(printed_table(gold, pred),
            "UAS: 0.500\tLAS: 0.250\n"
            "\tUAS\tLAS\tsupport\n"
            "nsubj\t1.000\t0.000\t1\n"
            "root\t1.000\t1.000\t1\n"
            "obj\t0.000\t0.000\t2\n");
}

TEST(DpScore, LabelsFollowTheirFirstAppearanceAndCountSupport) {
  ConllLines gold = {token(1, "2", "punct"), token(2, "0", "nsubj"), token(3, "2", "punct"),
                     token(4, "0", "root")};
  ConllLines pred = gold;
  pred[2] = token(3, "1", "punct");
  DpResult result = dp_score(gold, pred, false);
  ASSERT_EQ(result.classification.size(), 3u);
  expect_label(result.classification[0], "punct", 0.5, 0.5);
  expect_label(result.classification[1], "nsubj", 1.0, 1.0);
  expect_label(result.classification[2], "root", 1.0, 1.0);
  EXPECT_THAT(printed_table(gold, pred), HasSubstr("\npunct\t0.500\t0.500\t2\n"));
  // The result carries the support the table prints.
  EXPECT_EQ(result.classification[0].support, 2);
  EXPECT_EQ(result.classification[1].support, 1);
}

TEST(DpScore, BlankLinesAndUnderscoreLabelsAreNeitherListedNorScored) {
  ConllLines gold = {token(1, "0", "root"), "\n",
                     "1-2\tdon't\t_\t_\t_\t_\t_\t_\t_\t_\n",  // multiword token: label "_"
                     token(1, "2", "nmod_poss"), token(2, "0", "root")};
  // Wrong at every position that must not count; a token line where gold has a blank.
  ConllLines pred = {token(1, "0", "root"), token(9, "9", "root"), "\n", token(1, "5", "x"),
                     token(2, "0", "root")};
  DpResult result = dp_score(gold, pred, false);
  EXPECT_DOUBLE_EQ(result.UAS, 1.0);
  EXPECT_DOUBLE_EQ(result.LAS, 1.0);
  ASSERT_EQ(result.classification.size(), 1u);
  expect_label(result.classification[0], "root", 1.0, 1.0);
}

TEST(DpScore, TokenMarkCountsAnywhereInTheLine) {
  ConllLines gold = {"1\tw\t_\t_\tN\t2\tnsubj\t2:nsubj\tX\n",    // mark early, tail filled
                     "2\tw\tw\tN\tN\tF\t0\troot\t0:root\t_\n"};  // no mark: not a token line
  DpResult result = dp_score(gold, gold, false);
  EXPECT_DOUBLE_EQ(result.UAS, 1.0);
  ASSERT_EQ(result.classification.size(), 1u);
  expect_label(result.classification[0], "nsubj", 1.0, 1.0);
}

TEST(DpScore, ListedLabelWithoutScoredLineReportsZeroWithSupportZero) {
  ConllLines gold = {token(1, "_", "nsubj"),  // head "_": listed, not scored
                     "2\tdep\t_\t_\n",        // only 4 fields: listed, not scored
                     token(3, "0", "root")};
  EXPECT_EQ(printed_table(gold, gold),
            "UAS: 1.000\tLAS: 1.000\n"
            "\tUAS\tLAS\tsupport\n"
            "nsubj\t0.000\t0.000\t0\n"
            "dep\t0.000\t0.000\t0\n"
            "root\t1.000\t1.000\t1\n");
}

TEST(DpScore, NoScoredLineGivesZeroScores) {
  for (const ConllLines& gold : {ConllLines{}, ConllLines{"# text = hi\n", "\n", "\n"}}) {
    EXPECT_EQ(printed_table(gold, {}), "UAS: 0.000\tLAS: 0.000\n\tUAS\tLAS\tsupport\n");
    DpResult result = dp_score(gold, {}, false);
    EXPECT_EQ(result.UAS, 0.0);
    EXPECT_EQ(result.LAS, 0.0);
    EXPECT_TRUE(result.classification.empty());
  }
}

TEST(DpScore, MissingOrShortPredictionIsIndexError) {
  ConllLines gold = {token(1, "2", "nsubj"), token(2, "0", "root"), "\n"};
  // A prediction may end early where no gold line is scored.
  EXPECT_DOUBLE_EQ(dp_score(gold, {gold[0], gold[1]}, false).UAS, 1.0);

  CaptureStdout();
  std::string missing = message_of<IndexError>([&] { dp_score(gold, {gold[0]}); });
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_THAT(missing, HasSubstr("line 2"));
  EXPECT_THAT(missing, HasSubstr("y_true has 3 lines, y_pred 1"));

  std::string short_line = message_of<IndexError>([&] {
    dp_score(gold, {gold[0], "2\t0\troot\n"});
  });
  EXPECT_THAT(short_line, HasSubstr("y_pred line 2"));
  EXPECT_THAT(short_line, HasSubstr("'2\t0\troot'"));
}

TEST(DpScore, LabelThatIsNotUtf8IsValueError) {
  ConllLines gold = {token(1, "0", "root"), token(2, "1", "n\xffsubj")};
  EXPECT_THAT(message_of<ValueError>([&] { dp_score(gold, gold, false); }),
              HasSubstr("y_true line 2"));
}

TEST(DpFields, CountFromTheEndOfTheLine) {
  std::string line = token(7, "3", "obl:tmod");
  EXPECT_EQ(get_head(line), "3");
  EXPECT_EQ(get_dep(line), "obl:tmod");
  EXPECT_EQ(get_head("h\td\tx\ty\n"), "h");
  EXPECT_EQ(get_dep("d\tx\ty"), "d");
  EXPECT_EQ(get_head("\t\t\t"), "");  // empty pieces are fields

  EXPECT_THAT(message_of<IndexError>([] { get_head("d\tx\ty\n"); }), HasSubstr("'d\tx\ty'"));
  EXPECT_THROW(get_dep("x\ty"), IndexError);
  EXPECT_THROW(get_dep(""), IndexError);
}

// The fields a naive split from the end finds, on lines where tabs fall at every place in and
// across the eight-byte words the tail is searched in.
TEST(DpFields, AgreeWithSplittingTheWholeLine) {
  std::mt19937 random(11);
  for (size_t size = 0; size < 40; ++size) {
    for (int trial = 0; trial < 30; ++trial) {
      std::string line(size, 'x');
      for (char& c : line) c = "\tab\t_"[random() % 5];
      std::vector<std::string> fields;
      size_t begin = 0;
      for (size_t tab; (tab = line.find('\t', begin)) != std::string::npos; begin = tab + 1) {
        fields.push_back(line.substr(begin, tab - begin));
      }
      fields.push_back(line.substr(begin));
      SCOPED_TRACE(::testing::PrintToString(line));
      if (fields.size() >= 4) {
        EXPECT_EQ(get_head(line), fields[fields.size() - 4]);
      } else {
        EXPECT_THAT(message_of<IndexError>([&] { get_head(line); }),
                    HasSubstr("has " + std::to_string(fields.size()) + " tab-separated"));
      }
      if (fields.size() >= 3) {
        EXPECT_EQ(get_dep(line), fields[fields.size() - 3]);
      } else {
        EXPECT_THROW(get_dep(line), IndexError);
      }
    }
  }
}

TEST(DpResult, ToJsonKeepsTheKeyOrder) {
  DpResult result{0.75, 0.5, {{"root", 1.0, 0.5, 4}}};
  EXPECT_EQ(result.to_json().dump(),
            R"({"UAS":0.75,"LAS":0.5,"classification":[{"item":"root","uas":1.0,"las":0.5,)"
            R"("support":4}]})");
}

TEST(ReadConll, KeepsEveryLineAndNormalizesLineEnds) {
  TempFile file("1\ta\r\n\r\n2\tb\r3\tc\r\r\n\xe5\x90\x8c\n4\td");
  EXPECT_EQ(read_conll(file.path()),
            (ConllLines{"1\ta\n", "\n", "2\tb\n", "3\tc\n", "\n", "\xe5\x90\x8c\n", "4\td"}));
  EXPECT_TRUE(read_conll(TempFile("").path()).empty());
}

TEST(ReadConll, ByteOrderMarkAtTheStartIsSkipped) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(read_conll(TempFile(bom + "1\ta\r\n2\tb").path()), (ConllLines{"1\ta\n", "2\tb"}));
  EXPECT_TRUE(read_conll(TempFile(bom).path()).empty());
  // Elsewhere the mark is text of its line.
  EXPECT_EQ(read_conll(TempFile(std::string("1\n") + bom + "2\n").path()),
            (ConllLines{"1\n", bom + "2\n"}));
}

// A "\r\n" and a two-byte character straddle every multiple of 4 KiB, so they are split
// between two reads whatever power-of-two piece size from 4 KiB up the reader uses.
TEST(ReadConll, LineEndsAndCharactersSplitBetweenReadsSurvive) {
  constexpr int kBlocks = 512;
  std::string crlf(4095, 'a');
  crlf += '\r';
  std::string accents(4095, 'b');
  accents += '\xc3';
  for (int block = 1; block < kBlocks; ++block) {
    crlf += '\n' + std::string(4094, 'a') + '\r';
    accents += '\xa9' + std::string(4094, 'b') + '\xc3';
  }
  crlf += '\n';
  accents += '\xa9';  // and no line end: one long last line

  ConllLines lines = read_conll(TempFile(crlf).path());
  ASSERT_EQ(lines.size(), size_t{kBlocks});
  EXPECT_EQ(lines.front(), std::string(4095, 'a') + '\n');
  for (const std::string& line : lines) ASSERT_EQ(line.find('\r'), std::string::npos);
  EXPECT_EQ(lines.back(), std::string(4094, 'a') + '\n');
  EXPECT_EQ(read_conll(TempFile(accents).path()), ConllLines{accents});
}

TEST(ReadConll, UnreadableFileIsFileErrorAndBadBytesValueError) {
  TempFile file("1\ta\n2\tb\n3\t\xff\n");
  std::string missing = file.path() + ".missing";
  EXPECT_EQ(message_of<FileError>([&] { read_conll(missing); }),
            "cannot open '" + missing + "': No such file or directory");
  std::string folder = std::filesystem::path(file.path()).parent_path().string();
  EXPECT_EQ(message_of<FileError>([&] { read_conll(folder); }),
            "cannot read '" + folder + "': it is a directory");

  std::string bad = message_of<ValueError>([&] { read_conll(file.path()); });
  EXPECT_THAT(bad, HasSubstr(file.path()));
  EXPECT_THAT(bad, HasSubstr("line 3"));
}

// The English Universal Dependencies dev set. CoNLL-U fills the last two columns
// (enhanced dependencies, misc), so its lines are only scored once those hold "_".
TEST(DpScoreOnRealData, TreebankAgainstItselfScoresOne) {
  ConllLines raw = read_conll(NLPEVAL_TEST_DATA "/ud/en_ewt-ud-dev.conllu");
  ASSERT_GT(raw.size(), 10000u);
  EXPECT_EQ(dp_score(raw, raw, false).UAS, 0.0);

  std::string ten_columns;
  size_t words = 0;  // lines whose ID is a plain number: one scored line each
  for (const std::string& line : raw) {
    size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      ten_columns += line;
      continue;
    }
    size_t cut = line.rfind('\t', line.rfind('\t') - 1);
    ten_columns += line.substr(0, cut) + "\t_\t_\n";
    std::string id = line.substr(0, tab);
    words += std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isdigit(c); });
  }
  ConllLines gold = read_conll(TempFile(ten_columns).path());
  ASSERT_EQ(gold.size(), raw.size());

  DpResult result = dp_score(gold, gold, false);
  EXPECT_EQ(result.UAS, 1.0);
  EXPECT_EQ(result.LAS, 1.0);
  auto has = [&](std::string_view label) {
    return std::any_of(result.classification.begin(), result.classification.end(),
                       [&](const DpLabelScore& score) { return score.item == label; });
  };
  EXPECT_TRUE(has("nsubj"));
  EXPECT_TRUE(has("nmod:poss"));
  EXPECT_GT(words, 20000u);

  // The supports printed in the last column add up to the scored words.
  CaptureStdout();
  dp_score(gold, gold);
  std::istringstream table(GetCapturedStdout());
  std::string row;
  std::getline(table, row);  // totals
  std::getline(table, row);  // header
  size_t support = 0;
  while (std::getline(table, row)) support += std::stoul(row.substr(row.rfind('\t') + 1));
  EXPECT_EQ(support, words);
}

}  // namespace
}  // namespace nlpeval

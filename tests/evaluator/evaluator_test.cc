#include "nlpeval/evaluator/evaluator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <string>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/convertor/entity_mapper.h"
#include "nlpeval/evaluator/evaluates/label_score.h"
#include "nlpeval/evaluator/miner_kinds.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using testing::message_of;
using testing::TempFile;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

const ConllLines kGold = {"1\tA\ta\tN\tN\t_\t2\tnsubj\t_\t_\n",
                          "2\tB\tb\tV\tV\t_\t0\troot\t_\t_\n"};
const ConllLines kWrongLabel = {"1\tA\ta\tN\tN\t_\t2\tobj\t_\t_\n",
                                "2\tB\tb\tV\tV\t_\t0\troot\t_\t_\n"};

// ---- read_entity_count ------------------------------------------------------------------

TEST(ReadEntityCount, ReadsEntityToCountAndTheLastLineWins) {
  TempFile file("北京\tLOC\t12\n上海\tLOC\t+3\r\n北京\tLOC\t-5  \nx y\tPER\t0");
  EntityCount counts = read_entity_count(file.path());
  EXPECT_EQ(counts.size(), 3u);
  EXPECT_EQ(counts.at("北京"), -5);
  EXPECT_EQ(counts.at("上海"), 3);
  EXPECT_EQ(counts.at("x y"), 0);
}

TEST(ReadEntityCount, BadLinesAreValueErrorsNamingFileAndLine) {
  const char* bad_files[] = {
      "a\tLOC\t1\n\nb\tLOC\t2\n",   // blank line
      "a\tLOC\t1\nb\t2\n",          // two fields
      "a\tLOC\t1\nb\tLOC\t2\tx\n",  // four fields
      "a\tLOC\t1\nb\tLOC\t1.5\n",   // not an integer
      "a\tLOC\t1\nb\tLOC\t\n",      // no count
      "a\tLOC\t1\nb\tLOC\t１２\n",  // digits that are not ASCII
      "a\tLOC\t1\nb\tLOC\t99999999999999999999\n",
      "a\tLOC\t1\n\xff\tLOC\t2\n",
  };
  for (const char* contents : bad_files) {
    TempFile file(contents);
    std::string message = message_of<ValueError>([&] { read_entity_count(file.path()); });
    EXPECT_EQ(message.rfind(file.path() + ":2: ", 0), 0u) << contents << " -> " << message;
  }
}

TEST(ReadEntityCount, ByteOrderMarkIsSkippedAndCrlfAccepted) {
  const std::string bom = "\xEF\xBB\xBF";
  EntityCount counts =
      read_entity_count(TempFile(bom + "北京\tLOC\t12\r\n上海\tLOC\t3\r\n").path());
  EXPECT_EQ(counts, (EntityCount{{"北京", 12}, {"上海", 3}}));
  // Elsewhere the mark is text of its entity.
  EXPECT_EQ(read_entity_count(TempFile(std::string("a\tX\t1\n") + bom + "b\tX\t2\n").path())
                .count(bom + "b"),
            1u);
}

TEST(ReadEntityCount, AnEmptyFileHasNoLineAndGivesAnEmptyMap) {
  EXPECT_TRUE(read_entity_count(TempFile("").path()).empty());
  EXPECT_TRUE(read_entity_count(TempFile("\xEF\xBB\xBF").path()).empty());
  // Still, a line that is there must be whole.
  EXPECT_THROW(read_entity_count(TempFile("\n").path()), ValueError);
}

TEST(ReadEntityCount, MissingFileIsFileError) {
  EXPECT_THROW(read_entity_count("/no/such/counts.tsv"), FileError);
  EXPECT_THROW(read_entity_count(""), FileError);
}

// ---- print_evaluate ---------------------------------------------------------------------

std::string printed(const nlohmann::ordered_json& score_json) {
  CaptureStdout();
  print_evaluate(score_json);
  return GetCapturedStdout();
}

nlohmann::ordered_json scores(const std::string& report) {
  return {{"precision", 0.5}, {"recall", 0.25}, {"f1", 1.0 / 3}, {"classification_report", report}};
}

TEST(PrintEvaluate, EmptyReportGivesTheScoreLineAndAnEmptyLine) {
  EXPECT_EQ(printed(scores("")), "precision: 0.500\trecall: 0.250\tf1: 0.333\n\n");
}

TEST(PrintEvaluate, SortsPerLabelRowsBySupportKeepingTies) {
  std::string report =
      "  header\n\n   a  0.1  3\n   b  0.2  10\n   c  0.3  3\n\n   avg  1  16\n\nextra";
  EXPECT_EQ(printed(scores(report)),
            "precision: 0.500\trecall: 0.250\tf1: 0.333\n"
            "  header\n\n   b  0.2  10\n   a  0.1  3\n   c  0.3  3\n\n   avg  1  16\n");
}

TEST(PrintEvaluate, ReportOfTwoBlocksIsUnchanged) {
  std::string report = "header\n\n   b  1\n   a  2\n";
  EXPECT_EQ(printed(scores(report)),
            "precision: 0.500\trecall: 0.250\tf1: 0.333\n" + report + "\n");
}

TEST(PrintEvaluate, RowWithoutANumericSupportPrintsNothing) {
  CaptureStdout();
  EXPECT_THROW(print_evaluate(scores("h\n\n   a  x\n\navg")), ValueError);
  EXPECT_THROW(print_evaluate(scores("h\n\n\n\navg")), ValueError);
  EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(PrintEvaluate, EveryKeyIsLookedUpBeforeAnyKindIsChecked) {
  nlohmann::ordered_json odd = {{"precision", "high"}, {"recall", 0.5}, {"f1", 0.5}};
  EXPECT_EQ(message_of<KeyError>([&] { print_evaluate(odd); }), "'classification_report'");
}

TEST(PrintEvaluate, ScoresThatAreNotFinitePrintAsPercentFormatDoes) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  nlohmann::ordered_json score_json = {
      {"precision", -nan}, {"recall", inf}, {"f1", -inf}, {"classification_report", ""}};
  EXPECT_EQ(printed(score_json), "precision: nan\trecall: inf\tf1: -inf\n\n");
}

TEST(PrintEvaluate, SupportsWithASignAreDecimalNumbers) {
  std::string report = "h\n\n   a  +3\n   b  10\n   c  -1\n\navg";
  EXPECT_EQ(printed(scores(report)),
            "precision: 0.500\trecall: 0.250\tf1: 0.333\n"
            "h\n\n   b  10\n   a  +3\n   c  -1\n\navg\n");
  CaptureStdout();
  EXPECT_THROW(print_evaluate(scores("h\n\n   a  +-3\n\navg")), ValueError);
  EXPECT_THROW(print_evaluate(scores("h\n\n   a  +\n\navg")), ValueError);
  EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(PrintEvaluate, MissingKeysAndWrongKindsAreNamed) {
  nlohmann::ordered_json no_f1 = scores("");
  no_f1.erase("f1");
  EXPECT_EQ(message_of<KeyError>([&] { print_evaluate(no_f1); }), "'f1'");
  EXPECT_EQ(message_of<TypeError>([] { print_evaluate(nlohmann::ordered_json::array()); }),
            "score_json: expected object, got array");
  nlohmann::ordered_json text_recall = scores("");
  text_recall["recall"] = "0.3";
  EXPECT_EQ(message_of<TypeError>([&] { print_evaluate(text_recall); }),
            "recall: expected number, got string");
}

// ---- validate -----------------------------------------------------------------------------

Records ner_records(int count, const std::string& text = "abc") {
  std::string json = "[";
  for (int i = 0; i < count; ++i) {
    json += std::string(i ? "," : "") + R"({"text": ")" + text + R"(", "entities": []})";
  }
  return Records::parse(json + "]");
}

TEST(Validate, NullAndEmptySchemaBothUseTheTaskFormat) {
  Records bad = Records::parse(R"([{"text": 1, "entities": []}])");
  EXPECT_THROW(validate(std::nullopt, bad, bad, "ner"), ValueError);
  EXPECT_THROW(validate(nlohmann::ordered_json::object(), bad, bad, "ner"), ValueError);
  // A schema that accepts anything lets the same records through.
  validate(nlohmann::ordered_json{{"type", "object"}}, bad, bad, "ner");
}

TEST(Validate, ChecksEveryRecordBeforeTheLengths) {
  Records gold = ner_records(5);
  Records pred = Records::parse(
      R"([{"text": "a", "entities": []}, {"text": "a", "entities": []},
          {"text": "a", "entities": []}, {"text": "a", "entities": {}}])");
  std::string message = message_of<ValueError>([&] { validate(std::nullopt, gold, pred, "ner"); });
  EXPECT_NE(message.find("record 4 (ner)"), std::string::npos) << message;
  EXPECT_EQ(message_of<ValueError>([&] { validate(std::nullopt, gold, ner_records(4), "ner"); }),
            "prediction_file and label_file has unequal");
}

TEST(Validate, UnknownTypeIsKeyErrorNamingIt) {
  Records records = ner_records(1);
  EXPECT_THROW(validate(std::nullopt, records, records, "NER"), KeyError);
}

// ---- evaluate -----------------------------------------------------------------------------

TEST(EvaluateDp, ScoresCallerLinesAndPrintsTheTable) {
  CaptureStdout();
  EvaluateResult result = evaluate("dp", kGold, kWrongLabel);
  std::string out = GetCapturedStdout();
  EXPECT_EQ(out.substr(0, out.find('\n')), "UAS: 1.000\tLAS: 0.500");
  const DpResult& dp = std::get<DpResult>(result);
  EXPECT_EQ(dp.LAS, 0.5);
  EXPECT_EQ(to_json(result).dump(),
            R"({"UAS":1.0,"LAS":0.5,"classification":[{"item":"nsubj","uas":1.0,"las":0.0,)"
            R"("support":1},{"item":"root","uas":1.0,"las":1.0,"support":1}]})");
}

TEST(EvaluateDp, RecordsMustBeStrings) {
  Records lines = Records::parse(R"(["1\tA\ta\tN\tN\t_\t0\troot\t_\t_\n"])");
  EvaluateResult result = evaluate("dp", lines, lines, {.do_print = false});
  EXPECT_EQ(std::get<DpResult>(result).UAS, 1.0);
  Records objects = Records::parse(R"([{"text": "a"}])");
  EXPECT_EQ(message_of<TypeError>([&] { evaluate("dp", objects, objects); }),
            "true_list[0]: expected string, got object");
}

TEST(EvaluateDp, EntityCountFileIsReadFirstForEveryType) {
  TempFile counts("a\tLOC\t1\n\n");
  CaptureStdout();
  EXPECT_THROW(evaluate("dp", kGold, kGold, {.entity_count_file = counts.path()}), ValueError);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_THROW(evaluate("dp", kGold, kGold, {.entity_count_file = "/no/such/file"}), FileError);
}

TEST(EvaluateDp, BadcaseFileFailsAfterTheScoresWerePrinted) {
  CaptureStdout();
  EXPECT_THROW(evaluate("dp", kGold, kGold, {.badcase_file = "bad.xlsx"}), KeyError);
  EXPECT_EQ(GetCapturedStdout().rfind("UAS: 1.000", 0), 0u);
  // An empty file name means no spreadsheet.
  evaluate("dp", kGold, kGold, {.badcase_file = "", .do_print = false});
}

TEST(Evaluate, LinesAreOnlyForDp) { EXPECT_THROW(evaluate("ner", kGold, kGold), TypeError); }

TEST(EvaluateSrl, ReturnsTheScorersTextAndPrintsItWithALineBreak) {
  Records sentences = Records::parse(R"x([[["-", "(A0*)"], ["sit", "(V*)"]]])x");
  CaptureStdout();
  EvaluateResult result = evaluate("srl", sentences, sentences);
  const std::string& text = std::get<std::string>(result);
  EXPECT_EQ(text.rfind("Number of Sentences    :           1\n", 0), 0u);
  EXPECT_EQ(GetCapturedStdout(), text + "\n");

  CaptureStdout();
  EvaluateResult quiet = evaluate("srl", sentences, sentences, {.do_print = false});
  EXPECT_EQ(std::get<std::string>(quiet), text);
  EXPECT_EQ(GetCapturedStdout(), "");

  // A badcase file fails after the text was printed: "srl" has no spreadsheet columns.
  CaptureStdout();
  EXPECT_THROW(evaluate("srl", sentences, sentences, {.badcase_file = "bad.xlsx"}), KeyError);
  EXPECT_EQ(GetCapturedStdout(), text + "\n");
}

TEST(EvaluateSrl, ReadsPropsFilesAndReportsTheirErrors) {
  TempFile gold("-\t(A0*)\nsit\t(V*)\n");
  TempFile pred("-\t(A0*\nsit\t(V*)\n");
  EXPECT_THAT(message_of<ValueError>([&] { evaluate_file("srl", gold.path(), pred.path()); }),
              ::testing::HasSubstr("token 1, column 2: argument 'A0' is opened here and never "
                                   "closed"));
  EXPECT_THROW(evaluate_file("srl", gold.path(), "/no/such/pred.props"), FileError);
}

TEST(Evaluate, UnknownTypesAreKeyErrors) {
  Records records = ner_records(1);
  EXPECT_THROW(evaluate("nerr", records, records), KeyError);
  Records none;
  EXPECT_THROW(evaluate("nerr", none, none), KeyError);
}

TEST(EvaluateFile, DpReadsBothFilesAsConll) {
  TempFile gold(kGold[0] + "\n" + kGold[1]);
  TempFile pred(kWrongLabel[0] + "\n" + kWrongLabel[1]);
  EvaluateResult result = evaluate_file("dp", gold.path(), pred.path(), {.do_print = false});
  EXPECT_EQ(std::get<DpResult>(result).LAS, 0.5);
  EXPECT_THROW(evaluate_file("dp", "/no/such/gold", pred.path()), FileError);
}

TEST(EvaluateFile, RecordTasksReadJsonLinesAndValidate) {
  TempFile gold("{\"text\": \"a\", \"entities\": []}\n{\"text\": 5, \"entities\": []}\n",
                "gold.jsonl");
  std::string message =
      message_of<ValueError>([&] { evaluate_file("ner", gold.path(), gold.path()); });
  EXPECT_EQ(message.rfind(gold.path() + ":2: record 2 (ner): text: expected string", 0), 0u)
      << message;
}

TEST(EvaluateFile, TheGoldFileFailsFirstWhenBothAreBad) {
  TempFile gold("{\"text\": \"a\", \"entities\": []}\n{oops\n", "gold.jsonl");
  TempFile pred("[1\n", "pred.jsonl");
  EXPECT_EQ(message_of<ValueError>([&] {
              evaluate_file("ner", gold.path(), pred.path());
            }).rfind(gold.path() + ":2: ", 0),
            0u);
  EXPECT_THAT(message_of<FileError>([&] { evaluate_file("ner", "/no/such/gold", pred.path()); }),
              ::testing::HasSubstr("/no/such/gold"));
  EXPECT_EQ(message_of<ValueError>([&] {
              evaluate_file("ner", gold.path(), gold.path());
            }).rfind(gold.path() + ":2: ", 0),
            0u);
}

TEST(EvaluateFile, LinesThatAreNotJsonComeBeforeEntityCountsAndInvalidRecords) {
  TempFile valid("{\"text\": \"a\", \"entities\": []}\n", "valid.jsonl");
  TempFile invalid("{\"text\": 5, \"entities\": []}\n", "invalid.jsonl");
  TempFile not_json("{\"text\": \"a\", \"entities\": []}\n[1\n", "broken.jsonl");
  TempFile longer("{\"text\": \"a\", \"entities\": []}\n{\"text\": \"b\", \"entities\": []}\n",
                  "longer.jsonl");
  auto message = [](const std::function<void()>& body) {
    try {
      body();
    } catch (const std::exception& error) {
      return std::string(error.what());
    }
    return std::string("nothing thrown");
  };
  const EvaluateFileOptions no_counts{.do_print = false};
  const EvaluateFileOptions missing_counts{.do_print = false, .entity_count_file = "/no/counts"};
  EXPECT_THAT(message([&] { evaluate_file("ner", invalid.path(), not_json.path(), no_counts); }),
              ::testing::StartsWith(not_json.path() + ":2: "));
  EXPECT_THAT(message([&] { evaluate_file("ner", valid.path(), invalid.path(), missing_counts); }),
              ::testing::HasSubstr("/no/counts"));
  EXPECT_THAT(message([&] { evaluate_file("ner", invalid.path(), invalid.path(), no_counts); }),
              ::testing::StartsWith(invalid.path() + ":1: record 1 (ner)"));
  EXPECT_THAT(message([&] { evaluate_file("ner", valid.path(), longer.path(), no_counts); }),
              ::testing::HasSubstr("unequal"));
}

TEST(EvaluateFile, ErrorsOfAnInstanceNameItAndTheLinesOfBothFiles) {
  TempFile gold("{\"text\": \"a\", \"entities\": []}\n\n{\"text\": \"b\", \"entities\": []}\n",
                "gold.jsonl");
  TempFile pred("{\"text\": \"a\", \"entities\": []}\n{\"text\": \"c\", \"entities\": []}\n",
                "pred.jsonl");
  const EvaluateFileOptions quiet{.do_print = false};
  EXPECT_EQ(
      message_of<ValueError>([&] { evaluate_file("ner", gold.path(), pred.path(), quiet); }),
      "instance 2 (" + gold.path() + ":3, " + pred.path() + ":2): text is different on line: 1");
  // A KeyError keeps its key first.
  TempFile no_type(
      "{\"text\": \"ab\", \"relations\": [{\"head\": {\"text\": \"a\", \"offset\": 0, "
      "\"length\": 1}, \"tail\": {\"text\": \"b\", \"offset\": 1, \"length\": 1}}]}\n",
      "relation.jsonl");
  const EvaluateFileOptions any_schema{.do_print = false,
                                       .schema = nlohmann::ordered_json{{"type", "object"}}};
  EXPECT_EQ(message_of<KeyError>(
                [&] { evaluate_file("relation", no_type.path(), no_type.path(), any_schema); }),
            "'type': in instance 1 (" + no_type.path() + ":1, " + no_type.path() + ":1)");
}

TEST(EvaluateFile, UnequalFilesNameBothAndTheirRecordCounts) {
  TempFile gold("{\"text\": \"a\", \"entities\": []}\n{\"text\": \"a\", \"entities\": []}\n",
                "gold.jsonl");
  TempFile pred("{\"text\": \"a\", \"entities\": []}\n", "pred.jsonl");
  EXPECT_EQ(message_of<ValueError>(
                [&] { evaluate_file("ner", gold.path(), pred.path(), {.do_print = false}); }),
            "prediction_file and label_file has unequal: " + gold.path() + " holds 2 records, " +
                pred.path() + " 1");
}

// ---- evaluate: a record task ------------------------------------------------------------

// Sentences with one right, one retyped, one shifted, one missed and one invented entity.
const Records kNerGold = Records::parse(R"([
    {"text": "我爱北京天安门", "entities": [{"offset": 2, "length": 2, "type": "LOC"},
                                           {"offset": 4, "length": 3, "type": "LOC"}]},
    {"text": "Alice met Bob.", "entities": [{"offset": 0, "length": 5, "type": "PER"},
                                           {"offset": 10, "length": 3, "type": "PER"}]},
    {"text": "😀 Paris", "entities": [{"offset": 2, "length": 5, "type": "LOC"}]}])");
const Records kNerPred = Records::parse(R"([
    {"text": "我爱北京天安门", "entities": [{"offset": 2, "length": 2, "type": "LOC"},
                                           {"offset": 4, "length": 3, "type": "ORG"}]},
    {"text": "Alice met Bob.", "entities": [{"offset": 0, "length": 9, "type": "PER"}]},
    {"text": "😀 Paris", "entities": [{"offset": 0, "length": 1, "type": "MISC"}]}])");

std::string output_beside(const TempFile& file, const std::string& name) {
  return (std::filesystem::path(file.path()).parent_path() / name).string();
}

TEST(EvaluateNer, ScoresAreTheLabelScoresOfTheMappedSequences) {
  std::vector<TagSequence> gold;
  std::vector<TagSequence> pred;
  for (size_t k = 0; k < kNerGold.size(); ++k) {
    auto [gold_part, pred_part] = EntityMapper().convert(kNerGold[k], kNerPred[k]);
    gold.push_back(gold_part.at(0));
    pred.push_back(pred_part.at(0));
  }
  for (const auto& labels : {std::optional<std::vector<std::string>>(),
                             std::optional<std::vector<std::string>>({"LOC", "MISC", "X"})}) {
    EvaluateResult result =
        evaluate("ner", kNerGold, kNerPred, {.do_print = false, .evaluate_labels = labels});
    EXPECT_EQ(to_json(result), label_score(gold, pred, labels).to_json());
  }
}

TEST(EvaluateNer, ABadcaseFileChangesNoScore) {
  TempFile folder("");
  const std::string badcase = output_beside(folder, "badcase.xlsx");
  const auto without = to_json(evaluate("ner", kNerGold, kNerPred, {.do_print = false}));
  const auto empty_name =
      to_json(evaluate("ner", kNerGold, kNerPred, {.badcase_file = "", .do_print = false}));
  const auto with =
      to_json(evaluate("ner", kNerGold, kNerPred, {.badcase_file = badcase, .do_print = false}));
  EXPECT_EQ(without, empty_name);
  EXPECT_EQ(without, with);
  EXPECT_TRUE(std::filesystem::exists(badcase));
}

TEST(EvaluateNer, EmptyListsScoreZerosAndStillWriteTheSpreadsheet) {
  TempFile folder("");
  const std::string badcase = output_beside(folder, "empty.xlsx");
  Records none;
  const ScoreResult score = std::get<ScoreResult>(
      evaluate("ner", none, none, {.badcase_file = badcase, .do_print = false}));
  EXPECT_EQ(score.f1, 0.0);
  EXPECT_TRUE(std::filesystem::exists(badcase));
}

TEST(EvaluateNer, AnUnwritableBadcaseFileFailsAfterTheScoresWerePrinted) {
  CaptureStdout();
  const std::string message = message_of<FileError>([&] {
    evaluate("ner", kNerGold, kNerPred, {.badcase_file = "/no/such/folder/badcase.xlsx"});
  });
  EXPECT_EQ(GetCapturedStdout().rfind("precision: ", 0), 0u);
  EXPECT_NE(message.find("/no/such/folder/badcase.xlsx"), std::string::npos) << message;
}

TEST(EvaluateNer, EntityCountFileIsReadBeforeAnythingElse) {
  TempFile counts("北京\tLOC\tmany\n");
  TempFile folder("");
  const std::string badcase = output_beside(folder, "badcase.xlsx");
  CaptureStdout();
  EXPECT_THROW(evaluate("ner", kNerGold, kNerPred,
                        {.badcase_file = badcase, .entity_count_file = counts.path()}),
               ValueError);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_FALSE(std::filesystem::exists(badcase));
}

// ---- registry -----------------------------------------------------------------------------

TEST(Instrument, NonRecordTasksAndMisspeltTypesAreKeyErrors) {
  Instrument instrument;
  EXPECT_THROW(instrument.get_convertor("dp"), KeyError);
  EXPECT_THROW(instrument.get_generator("srl"), KeyError);
  EXPECT_THROW(instrument.get_generator("NER"), KeyError);
}

}  // namespace
}  // namespace nlpeval

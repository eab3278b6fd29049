#include "nlpeval/evaluator/badcase/types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "nlpeval/core/errors.h"
#include "nlpeval/evaluator/badcase/const.h"
#include "test_support.h"

namespace nlpeval {
namespace {

using badcase::Const;
using testing::message_of;

constexpr const char* kDefaultText =
    "{'pred_type': NONE, 'pred_desc': NONE, 'label_type': NONE, 'label_desc': NONE, "
    "'error_type': NONE, 'is_right': 0, 'other': {}}";

TEST(Desc, DefaultsAreEqualUntilAFieldDiffersOrIsAdded) {
  EXPECT_EQ(Desc(), Desc());
  EXPECT_NE(Desc().set("is_right", 1), Desc());
  EXPECT_NE(Desc().set("true_text", "abc"), Desc());
  EXPECT_NE(Desc("NONE"), Desc()) << "the text NONE is not the marker";
  EXPECT_EQ(Desc("PER", "张三").set("pred_type", "PER"), Desc("PER", "张三"));
}

TEST(Desc, TextFormKeepsFieldOrderWithAddedFieldsLast) {
  EXPECT_EQ(Desc().to_string(), kDefaultText);
  Desc desc("PER", "张三", "ORG", "O'Neil", badcase::Error::TYPE_ERROR, 0, {{"trigger", "去"}});
  desc.set("true_text", "张三").set("pred_type", "LOC");  // re-setting keeps the place
  EXPECT_EQ(desc.to_string(),
            "{'pred_type': 'LOC', 'pred_desc': '张三', 'label_type': 'ORG', "
            "'label_desc': 'O\\'Neil', 'error_type': 'TYPE_ERROR', 'is_right': 0, "
            "'other': {'trigger': '去'}, 'true_text': '张三'}");
}

TEST(Desc, EqualityIgnoresFieldOrderAtAnyDepth) {
  Desc a, b;
  a.set("true_text", "x").set("pred_text", "y");
  b.set("pred_text", "y").set("true_text", "x");
  EXPECT_EQ(a, b);

  Value forward = {{"k", 1}, {"nested", {{"p", "q"}, {"r", Value::array({1, 2})}}}};
  Value backward = {{"nested", {{"r", Value::array({1, 2})}, {"p", "q"}}}, {"k", 1}};
  EXPECT_EQ(Desc().set("other", forward), Desc().set("other", backward));

  Value reversed = {{"k", 1}, {"nested", {{"p", "q"}, {"r", Value::array({2, 1})}}}};
  EXPECT_NE(Desc().set("other", forward), Desc().set("other", reversed)) << "arrays keep order";
  EXPECT_NE(Desc().set("other", forward), Desc().set("other", {{"k", 1}}));
}

TEST(Desc, ReadingAnUnsetFieldIsAttributeErrorNamingIt) {
  Desc desc;
  EXPECT_EQ(message_of<AttributeError>([&] { desc.get("true_count"); }),
            "'Desc' object has no attribute 'true_count'");
  EXPECT_FALSE(desc.has("true_count"));
  desc.set("true_count", 3);
  EXPECT_EQ(desc.get("true_count"), 3);
  EXPECT_TRUE(desc.get("error_type").is_null());
}

TEST(Label2PredData, TextFormShowsTheTextThenEachDesc) {
  EXPECT_EQ(Label2PredData(1, "abc", {}).to_string(), "<abc, >");
  Label2PredData two(2, "今天", {Desc(), Desc().set("is_right", 1)});
  std::string second = kDefaultText;
  second.replace(second.find("'is_right': 0"), 13, "'is_right': 1");
  EXPECT_EQ(two.to_string(), std::string("<今天, ") + kDefaultText + ", " + second + ">");
}

TEST(Label2PredData, EqualityComparesIndexTextAndDescLists) {
  Label2PredData base(1, "abc", {Desc().set("a", 1).set("b", 2)});
  EXPECT_EQ(base, Label2PredData(1, "abc", {Desc().set("b", 2).set("a", 1)}));
  EXPECT_NE(base, Label2PredData(2, "abc", base.desc));
  EXPECT_NE(base, Label2PredData(1, "abd", base.desc));
  EXPECT_NE(base, Label2PredData(1, "abc", {}));
  EXPECT_NE(base, Label2PredData(1, "abc", {base.desc[0], base.desc[0]}));
  EXPECT_NE(base, Label2PredData(1, "abc", {Desc().set("a", 1).set("b", 3)}));
}

TEST(Repr, StringsAreQuotedWithEscapesAndKeepNonAsciiText) {
  EXPECT_EQ(repr(""), "''");
  EXPECT_EQ(repr("it's"), R"('it\'s')");
  EXPECT_EQ(repr(R"(a\b)"), R"('a\\b')");
  EXPECT_EQ(repr("line\nnext\t\x01"), R"('line\nnext\t\x01')");
  EXPECT_EQ(repr("北京市，“引号”"), "'北京市，“引号”'");
}

TEST(Repr, NumbersLookAsInPython) {
  EXPECT_EQ(repr(0), "0");
  EXPECT_EQ(repr(-42), "-42");
  EXPECT_EQ(repr(18446744073709551615u), "18446744073709551615");
  EXPECT_EQ(repr(0.5), "0.5");
  EXPECT_EQ(repr(1.0), "1.0");
  EXPECT_EQ(repr(-0.0), "-0.0");
  EXPECT_EQ(repr(0.1), "0.1");
  EXPECT_EQ(repr(2.0 / 3), "0.6666666666666666");
  EXPECT_EQ(repr(123.456), "123.456");
  EXPECT_EQ(repr(1e15), "1000000000000000.0");
  EXPECT_EQ(repr(1e16), "1e+16");
  EXPECT_EQ(repr(123456789012345678.0), "1.2345678901234568e+17");
  EXPECT_EQ(repr(0.0001), "0.0001");
  EXPECT_EQ(repr(2.5e-5), "2.5e-05");
  EXPECT_EQ(repr(-1.5e300), "-1.5e+300");
  EXPECT_EQ(repr(std::nan("")), "nan");
  EXPECT_EQ(repr(-INFINITY), "-inf");
}

TEST(Repr, ContainersAndBooleansNestInMemberOrder) {
  EXPECT_EQ(repr(true), "True");
  EXPECT_EQ(repr(false), "False");
  EXPECT_EQ(repr(Value::array()), "[]");
  EXPECT_EQ(repr(Value::array({1, Value::array({"a", nullptr}), Value::array()})),
            "[1, ['a', NONE], []]");
  EXPECT_EQ(repr(Value{{"z", Value::array({0.5, true})}, {"a", Value::object()}}),
            "{'z': [0.5, True], 'a': {}}");
}

TEST(Const, NoneDiffersFromEveryTextAndTheErrorKindsAreDistinct) {
  const std::vector<Value> kinds = {
      badcase::Error::TYPE_ERROR,      badcase::Error::TRUE_NONE_ERROR,
      badcase::Error::PRED_NONE_ERROR, badcase::Error::TRUE_IN_PRED,
      badcase::Error::PRED_IN_TRUE,    badcase::Error::PRED_CROSS_TRUE,
      badcase::Error::ORDER_ERROR};
  EXPECT_NE(Const::NONE, Value("NONE"));
  EXPECT_NE(Const::NONE, Value(""));
  for (size_t i = 0; i < kinds.size(); ++i) {
    EXPECT_NE(Const::NONE, kinds[i]);
    for (size_t j = i + 1; j < kinds.size(); ++j) EXPECT_NE(kinds[i], kinds[j]) << kinds[i];
  }
}

}  // namespace
}  // namespace nlpeval

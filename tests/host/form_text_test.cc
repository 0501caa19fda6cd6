// The text form of form files: what FormatForm writes, that ParseForm reads
// it back, the spellings the parser also accepts, and where it reports
// text it cannot read.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/form_tree.h"

namespace orv {
namespace {

TFormProperty Prop(std::string name, TFormValue value) { return {{}, std::move(name), std::move(value)}; }

TEST(FormTextTest, WritesEveryKindOfValueAndReadsItBack) {
  TFormObject root;
  root.name = "Data";
  root.class_name = "TDataModule";
  root.properties = {
      Prop("Text", TFormValue::String(std::string("it's na\xC3\xAFve\r\n\0!", 15))),
      Prop("Empty", TFormValue::String("")),
      Prop("Numbers", TFormValue::List({TFormValue::Integer(-12), TFormValue::Integer(INT64_MAX),
                                        TFormValue::Float(1.5), TFormValue::Float(1.0),
                                        TFormValue::Float(-2.5e-20)})),
      Prop("Kind", TFormValue::Ident("svUNIX")),
      Prop("Options", TFormValue::Set({"a", "b"})),
      Prop("None", TFormValue::Set({})),
      Prop("Nested", TFormValue::List({TFormValue::List({}), TFormValue::String("x")})),
      Prop("Items", TFormValue::Collection({{{}, {Prop("Name", TFormValue::String("A"))}}, {}})),
      Prop("NoItems", TFormValue::Collection({}))};
  TFormObject child;
  child.class_name = "TThing";
  root.children.push_back(child);

  const std::string text = FormatForm(root);
  EXPECT_EQ(text,
            "object Data: TDataModule\n"
            "  Text = 'it''s na\xC3\xAFve'#13#10#0'!'\n"
            "  Empty = ''\n"
            "  Numbers = (\n"
            "    -12\n"
            "    9223372036854775807\n"
            "    1.5\n"
            "    1.0\n"
            "    -2.5e-20)\n"
            "  Kind = svUNIX\n"
            "  Options = [a, b]\n"
            "  None = []\n"
            "  Nested = (\n"
            "    ()\n"
            "    'x')\n"
            "  Items = <\n"
            "    item\n"
            "      Name = 'A'\n"
            "    end\n"
            "    item\n"
            "    end>\n"
            "  NoItems = <>\n"
            "  object TThing\n"
            "  end\n"
            "end\n");
  EXPECT_EQ(FormatForm(ParseForm(text)), text);
  const TFormObject read = ParseForm(text);
  EXPECT_EQ(read.properties[0].value.text, root.properties[0].value.text);
  EXPECT_EQ(read.properties[2].value.items[3].kind, TFormValueKind::kFloat);
  EXPECT_EQ(read.properties[3].pos.line, 10);
  EXPECT_EQ(read.properties[3].pos.column, 3);
}

TEST(FormTextTest, AcceptsTheOtherSpellings) {
  const TFormObject form = ParseForm(
      "OBJECT Data : TDataModule\r\n"
      "\tA = $FF\r\n"
      "  B = -$10\r"
      "  C = 'ab' +\n 'cd'#$41#66\n"
      "  D = 2E3\n"
      "  E = []\n"
      "End");
  ASSERT_EQ(form.properties.size(), 5u);
  EXPECT_EQ(form.properties[0].value.integer, 255);
  EXPECT_EQ(form.properties[1].value.integer, -16);
  EXPECT_EQ(form.properties[1].pos.line, 3);
  EXPECT_EQ(form.properties[2].value.text, "abcdAB");
  EXPECT_EQ(form.properties[3].value.kind, TFormValueKind::kFloat);
  EXPECT_EQ(form.properties[3].value.real, 2000.0);
}

TEST(FormTextTest, NamesWhereTheTextGoesWrong) {
  struct Case {
    std::string text;
    int line, column;
    std::string message;
  };
  const Case cases[] = {
      {"", 1, 1, "'object' expected"},
      {"object A: T\n  S = 'abc\nend", 2, 7, "Unterminated string"},
      {"object A: T\n  L = ( 'a'\n", 2, 7, "Unterminated list"},
      {"object A: T\n  S = [a, b", 2, 7, "Unterminated set"},
      {"object A: T\n  S = [a b]\nend", 2, 10, "',' or ']' expected"},
      {"object A: T\n  C = <\n    item\n", 3, 5, "Unterminated item"},
      {"object A: T\n  C = <", 2, 7, "Unterminated collection"},
      {"object A: T\n  C = < x >\nend", 2, 9, "'item' or '>' expected"},
      {"object A: T\n  object B: T\n    X = 1\n", 2, 3, "Unterminated object B: T"},
      {"object A: T\n  X = 1\n", 1, 1, "Unterminated object A: T"},
      {"object A: T\n  X 1\nend", 2, 5, "'=' expected after X"},
      {"object A: T\n  X =\nend", 3, 1, "Value expected"},
      {"object A: T\n  X = @\nend", 2, 7, "Unexpected character '@'"},
      {"object A: T\n  X = #300\nend", 2, 7, "Character code out of range"},
      {"object A: T\n  X = 99999999999999999999\nend", 2, 7, "out of range"},
      {"object A: T\nend\nobject B: T\nend", 3, 1, "Text after the end of the root object"},
      {"object A: T\n  X = " + std::string(40, '(') + std::string(40, ')') + "\nend", 2, 39,
       "Nested deeper than 32 levels"},
  };
  for (const Case& c : cases) {
    try {
      ParseForm(c.text);
      ADD_FAILURE() << c.text << ": no error";
    } catch (const EParserError& e) {
      EXPECT_EQ(e.Pos().line, c.line) << c.text << ": " << e.what();
      EXPECT_EQ(e.Pos().column, c.column) << c.text << ": " << e.what();
      EXPECT_NE(e.Text().find(c.message), std::string::npos) << c.text << ": " << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("Line " + std::to_string(c.line) + ", column ", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace orv

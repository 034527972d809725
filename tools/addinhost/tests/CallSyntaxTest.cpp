// The statement language of addinhost.
#include "CallSyntax.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace addinhost;

struct Parsed {
  bool ok;
  Statement statement;
  std::string error;
};

Parsed Parse(std::string_view line, std::map<std::string, std::string> files = {}) {
  const FileReader reader = [&files](const std::string& path, std::string& contents, std::string& error) {
    auto it = files.find(path);
    if (it == files.end()) {
      error = "no such file";
      return false;
    }
    contents = it->second;
    return true;
  };
  Parsed p;
  p.ok = ParseStatement(line, reader, p.statement, p.error);
  return p;
}

TEST(CallSyntax, CallWithEveryKindOfArgument) {
  const Parsed p =
      Parse(R"(UploadGoods("Scale#1", 42, -7, 1.5, -2e3, true, false, _, $dev, @goods.xml) # tail)",
            {{"goods.xml", "\xEF\xBB\xBF<Table/>"}});
  ASSERT_TRUE(p.ok) << p.error;
  const Statement& s = p.statement;
  EXPECT_EQ(s.kind, Statement::Kind::Call);
  EXPECT_EQ(s.name, "UploadGoods");
  EXPECT_FALSE(s.asProcedure);
  ASSERT_EQ(s.arguments.size(), 10u);
  EXPECT_EQ(s.arguments[0].value.text, u"Scale#1") << "a # inside a text is no comment";
  EXPECT_EQ(s.arguments[1].value.integer, 42);
  EXPECT_EQ(s.arguments[2].value.integer, -7);
  EXPECT_EQ(s.arguments[3].value.kind, Literal::Kind::Number);
  EXPECT_EQ(s.arguments[3].value.number, 1.5);
  EXPECT_EQ(s.arguments[4].value.number, -2000.0);
  EXPECT_TRUE(s.arguments[5].value.boolean);
  EXPECT_EQ(s.arguments[6].value.kind, Literal::Kind::Boolean);
  EXPECT_FALSE(s.arguments[6].value.boolean);
  EXPECT_EQ(s.arguments[7].value.kind, Literal::Kind::Empty);
  EXPECT_EQ(s.arguments[8].variable, "dev");
  EXPECT_EQ(s.arguments[9].value.text, u"<Table/>") << "the byte-order mark is dropped";
}

TEST(CallSyntax, TargetsProceduresPropertiesAndRussianNames) {
  Parsed p = Parse("$r = ПолучитьОписание()");
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.statement.target, "r");
  EXPECT_EQ(p.statement.name, "ПолучитьОписание");
  EXPECT_TRUE(p.statement.arguments.empty());

  p = Parse("  proc Close ( $dev )  ");
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.statement.asProcedure);
  EXPECT_EQ(p.statement.name, "Close");

  p = Parse("$v = .Счётчик");
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.statement.kind, Statement::Kind::GetProperty);
  EXPECT_EQ(p.statement.name, "Счётчик");

  p = Parse(".Counter = 5");
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.statement.kind, Statement::Kind::SetProperty);
  EXPECT_EQ(p.statement.arguments.at(0).value.integer, 5);

  for (const char* nothing : {"", "   ", "# a comment", "\t# Open(_)"}) {
    p = Parse(nothing);
    ASSERT_TRUE(p.ok) << nothing;
    EXPECT_EQ(p.statement.kind, Statement::Kind::Nothing);
  }
}

TEST(CallSyntax, EscapesInTexts) {
  const Parsed p = Parse(R"(Echo("q\" b\\ n\n r\r t\t \u0416\uD834\uDD1E"))");
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.statement.arguments.at(0).value.text, u"q\" b\\ n\n r\r t\t Ж\U0001D11E");
}

TEST(CallSyntax, ErrorsAreReportedNotGuessed) {
  const char* bad[] = {
      "Echo(",              // unclosed
      "Echo(\"abc)",        // unclosed text
      "Echo(\"\\q\")",      // unknown escape
      "Echo(\"\\u12\")",    // short \u
      "Echo(abc)",          // bare word
      "Echo(1, )",          // missing argument
      "Echo(1 2)",          // missing comma
      "Echo(2147483648)",   // beyond 32 bits
      "Echo(1.2.3)",        // not a number
      "Echo() extra",       // trailing text
      "Echo",               // no parentheses
      "$ = Echo()",         // no variable name
      "$x Echo()",          // no "="
      "$x = proc Echo()",   // a procedure gives nothing to keep
      "$x = .Counter = 1",  // nor does a property write
      "Echo(@missing.txt)", // unreadable file
      "Echo(@)",            // no file name
  };
  for (const char* line : bad) {
    const Parsed p = Parse(line);
    EXPECT_FALSE(p.ok) << line;
    EXPECT_FALSE(p.error.empty()) << line;
    EXPECT_EQ(p.statement.kind, Statement::Kind::Nothing) << line;
  }
  EXPECT_TRUE(Parse("Echo(-2147483648)").ok);
}

} // namespace

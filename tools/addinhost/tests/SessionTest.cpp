// addinhost's statements run against TESTADDIN: what the developer sees.
#include "SessionFixture.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace addinhost;
using namespace testhost;

class SessionTest : public SessionFixture {
protected:
  SessionTest() : SessionFixture(out_) {}

  // Runs the lines and gives what was printed.
  std::string Run(std::initializer_list<const char*> lines,
                  Session::Outcome expected = Session::Outcome::Done) {
    out_.str("");
    for (const char* line : lines) {
      Statement statement;
      std::string error;
      EXPECT_TRUE(ParseStatement(line, nullptr, statement, error)) << line << ": " << error;
      EXPECT_EQ(session_->Run(statement), expected) << line;
    }
    return out_.str();
  }

  std::ostringstream out_;
};

TEST_F(SessionTest, ListsPropertiesAndMethodsInBothLanguages) {
  session_->ListMembers();
  const std::string out = out_.str();
  EXPECT_NE(out.find("Properties: 6"), std::string::npos) << out;
  EXPECT_NE(out.find("Counter"), std::string::npos);
  EXPECT_NE(out.find("Счётчик"), std::string::npos);
  EXPECT_NE(out.find("read/write"), std::string::npos);
  EXPECT_NE(out.find("Methods: 5"), std::string::npos);
  EXPECT_NE(out.find("Заполнить"), std::string::npos);
  EXPECT_NE(out.find("3 params, returns a value"), std::string::npos) << out;
}

TEST_F(SessionTest, OutputsFlowIntoVariablesAndOnIntoLaterCalls) {
  const std::string out = Run({"Fill($text, $n, _)", "$echo = Эхо($text)"});
  EXPECT_EQ(out, "  result: true\n"
                 "  param 1: \"Выход\"\n"
                 "  param 2: 42\n"
                 "  param 3: true\n"
                 "  result: \"Выход\"\n");
  ASSERT_EQ(session_->Variables().count("echo"), 1u);
  EXPECT_EQ(session_->Variables().at("echo").text, u"Выход");
  EXPECT_EQ(session_->Variables().at("n").integer, 42);
}

TEST_F(SessionTest, FailuresShowTheirAddErrorAndDoNotStop) {
  const std::string out = Run({"Fail()", "Refuse()"});
  EXPECT_EQ(out, "  failed: CallAsFunc returned false\n"
                 "  AddError 1006 \"Внешняя компонента\": Тестовая ошибка: компонента отказала (scode 1)\n"
                 "  failed: CallAsFunc returned false\n");
}

TEST_F(SessionTest, MissingParametersAndProceduresAndMultiLineTexts) {
  std::string out = Run({"Fill(\"в\")"});
  EXPECT_NE(out.find("param 2 omitted: default empty"), std::string::npos) << out;
  out = Run({"proc Echo(\"x\")", "Reset()"});
  EXPECT_EQ(out, "  done\n  done\n");
  out = Run({"Echo(\"a\\r\\nb\")"});
  EXPECT_EQ(out, "  result: text of 2 lines:\n    | a\n    | b\n");
}

TEST_F(SessionTest, PropertiesReadWriteAndRefuseByAccess) {
  EXPECT_EQ(Run({".Counter = 12", "$c = .Счётчик"}), "  done\n  value: 12\n");
  EXPECT_EQ(session_->Variables().at("c").integer, 12);
  EXPECT_EQ(Run({".Faulty"}), "  failed: GetPropVal returned false\n"
                              "  AddError 1007 \"Внешняя компонента\": Свойство не читается (scode 1)\n");
  Run({".Hidden"}, Session::Outcome::BadUse);
  Run({".Locale = \"x\""}, Session::Outcome::BadUse);
}

TEST_F(SessionTest, UnknownNamesAndSurplusArguments) {
  Run({"NoSuchMethod()", "echo(\"wrong case\")", ".NoSuchProperty"}, Session::Outcome::UnknownName);
  EXPECT_NE(Run({"Echo(1, 2)"}, Session::Outcome::BadUse).find("takes 1 parameter, 2 given"),
            std::string::npos);
}

TEST_F(SessionTest, MethodsAsTabSeparatedRowsWithEscapedFields) {
  session_->ListMethodsTsv("Test\tFirst\\");
  EXPECT_EQ(out_.str(), "class\tindex\tenglish\trussian\tparams\treturns\n"
                        "Test\\tFirst\\\\\t0\tFail\tСбой\t0\t1\n"
                        "Test\\tFirst\\\\\t1\tEcho\tЭхо\t1\t1\n"
                        "Test\\tFirst\\\\\t2\tFill\tЗаполнить\t3\t1\n"
                        "Test\\tFirst\\\\\t3\tRefuse\tОтказать\t0\t1\n"
                        "Test\\tFirst\\\\\t4\tReset\tСбросить\t0\t0\n");
}

} // namespace

// Statements that come one line at a time, as from a pipe: each runs, and its
// output reaches the stream's destination, before the next line is asked for.
#include "Runner.h"
#include "SessionFixture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

using namespace addinhost;
using namespace testhost;

// Keeps what had been written at the last flush.
class FlushRecorder : public std::stringbuf {
public:
  std::string flushed;

protected:
  int sync() override {
    flushed = str();
    return 0;
  }
};

class RunnerTest : public SessionFixture {
protected:
  RunnerTest() : SessionFixture(out_) {}

  // Hands out the lines one per call, noting what had been flushed before each;
  // every answer ends with an empty line, as on standard input.
  int Feed(const std::vector<std::string>& lines) {
    seen_.clear();
    size_t next = 0;
    Runner runner(*session_, out_, err_);
    return runner.Lines(
        [&](std::string& line) {
          seen_.push_back(recorder_.flushed);
          if (next == lines.size())
            return false;
          line = lines[next++];
          return true;
        },
        "", "-", true);
  }

  FlushRecorder recorder_;
  std::ostream out_{&recorder_};
  std::ostringstream err_;
  std::vector<std::string> seen_; // flushed output when each line was asked for
};

TEST_F(RunnerTest, EachResultIsFlushedBeforeTheNextLineIsRead) {
  ASSERT_EQ(Feed({"\xEF\xBB\xBF"
                  "Echo(\"один\")\r",
                  "", "# a comment", "Echo(\"два\")"}),
            kOk);
  ASSERT_EQ(seen_.size(), 5u);
  EXPECT_EQ(seen_[0], "");
  EXPECT_EQ(seen_[1], "> Echo(\"один\")\n  result: \"один\"\n\n");
  EXPECT_EQ(seen_[3], seen_[1]); // a blank line and a comment have no answer
  EXPECT_EQ(seen_[4], seen_[1] + "> Echo(\"два\")\n  result: \"два\"\n\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(RunnerTest, TheFirstFaultyStatementEndsTheRunWithoutReadingFurther) {
  EXPECT_EQ(Feed({"Echo(\"x\")", "NoSuchMethod()", "Echo(\"never\")"}), kUnknownMember);
  EXPECT_EQ(seen_.size(), 2u);
  EXPECT_NE(seen_[1].find("result: \"x\""), std::string::npos);
  EXPECT_NE(recorder_.flushed.find("has no method NoSuchMethod"), std::string::npos) << recorder_.flushed;

  EXPECT_EQ(Feed({"Reset()", "Echo(\"no end"}), kUsage);
  EXPECT_EQ(seen_.size(), 2u);
  EXPECT_TRUE(err_.str().starts_with("-:2: the text has no closing")) << err_.str();
}

} // namespace

#include "service/LineScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nubrel {
namespace {

const std::string kToken = R"({"type":"event_msg","payload":{"type":"token_count"}})";
const std::string kOther = R"({"timestamp":"t","type":"response_item","payload":{"x":")" +
                           std::string(LineScanner::kLookBytes, 'y') + "é\"}}";

class LineScannerTest : public ::testing::Test {
 protected:
  void feed(LineScanner& scanner, std::string_view bytes) {
    scanner.feed(bytes, [&](std::string_view line) { lines_.emplace_back(line); });
  }
  std::vector<std::string> lines_;
};

TEST_F(LineScannerTest, SplitsAtLineFeedsOnlyAndKeepsCarriageReturns) {
  LineScanner scanner;
  feed(scanner, kToken + "\r\n" + kToken + "\n\n" + kToken + "\n");
  EXPECT_EQ((std::vector<std::string>{kToken + "\r", kToken, kToken}), lines_);
  EXPECT_EQ(std::nullopt, scanner.carry());
}

TEST_F(LineScannerTest, OtherLineBreaksDoNotEndALine) {
  // U+2028, a lone CR and VT are inside the line; only the LF ends it.
  const std::string line = R"({"type":"event_msg","payload":{"type":"token_count","x":")"
                           "\xE2\x80\xA8\r\v\"}}";
  LineScanner scanner;
  feed(scanner, line);
  EXPECT_TRUE(lines_.empty());
  feed(scanner, "\n");
  EXPECT_EQ(std::vector<std::string>{line}, lines_);
}

TEST_F(LineScannerTest, CarriesExactlyTheBytesAfterTheLastLineFeed) {
  const std::string text = kToken + "\n" + kToken;
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    lines_.clear();
    LineScanner first;
    feed(first, text.substr(0, cut));
    LineScanner second(first.carry());
    feed(second, text.substr(cut) + "\n");
    EXPECT_EQ((std::vector<std::string>{kToken, kToken}), lines_) << "cut at " << cut;
  }
}

TEST_F(LineScannerTest, DropsLinesThatCannotMatterOnceTheirStartShowsIt) {
  LineScanner scanner;
  feed(scanner, kOther.substr(0, 40));
  EXPECT_EQ(kOther.substr(0, 40), scanner.carry()->head) << "too little of it to look at yet";
  feed(scanner, kOther.substr(40, LineScanner::kLookBytes));
  ASSERT_TRUE(scanner.carry());
  EXPECT_TRUE(scanner.carry()->skipped);
  EXPECT_TRUE(scanner.carry()->head.empty());
  LineScanner resumed(scanner.carry());
  feed(resumed, kOther.substr(40 + LineScanner::kLookBytes) + "\n" + kToken + "\n");
  EXPECT_EQ(std::vector<std::string>{kToken}, lines_);
}

TEST_F(LineScannerTest, ShowsTheUnfinishedLineThatMayMatter) {
  LineScanner scanner;
  feed(scanner, kToken + "\n" + kToken.substr(0, 20));
  EXPECT_EQ(std::vector<std::string>{kToken}, lines_);
  EXPECT_EQ(kToken.substr(0, 20), scanner.unfinishedLine());
}

}  // namespace
}  // namespace nubrel

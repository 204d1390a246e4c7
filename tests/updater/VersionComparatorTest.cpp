// The version ordering against the framework's own examples, each checked both ways round.
#include "updater/VersionComparator.h"

#include <gtest/gtest.h>

namespace nubrel {
namespace {

using namespace std::string_view_literals;

// "<", "=" or ">", so that a row reads like the notes' examples.
std::string order(std::string_view a, std::string_view b) {
  const auto result = compareVersions(a, b);
  return result < 0 ? "<" : result > 0 ? ">" : "=";
}

TEST(VersionComparatorTest, OrdersTheFrameworksExamples) {
  const struct {
    std::string a;
    const char* order;
    std::string b;
  } cases[] = {
      {"1.0", "<", "1.1"},
      {"1.1", "<", "2.0"},
      {"0.0.1", "<", "0.1"},
      {"1.0", "=", "1.0.0"},
      {"1.5.5", "<", "1.5.6a1"},
      {"1.0a1", "<", "1.0b1"},
      {"1.0b1", "<", "1.0"},
      {"1.1.0b1", "<", "1.1.0b2"},
      {"1.1.1b2", "<", "1.1.2a1"},
      {"0.9", "<", "1.0a1"},
      {"1.0b", "<", "1.0b2"},
      {"1.0b9", "<", "1.0b10"},
      {"1.0pre1", "<", "1.0"},
      {"1.0pre1", "=", "1.0.0pre1"},
      {"1.0 (1234)", "<", "1.0 (1235)"},
      {"1.0b1 (1234)", "<", "1.0 (1234)"},
      {"3.3 (5847)", "<", "3.3.1b1 (5902)"},
      {"2.0.0.2429", "<", "2.0.0.2430"},
      {"1.1.1.1818", "=", "1.1.1.1818.0"},
      {"1.5.5-335d3e2", "<", "1.5.6-b252311"},
      {"1.5.5-335d3e2", "=", "1.5.5-a655360"},
      {"201210251627", "<", "201211051041"},
      // The consequences the notes derive from the rules.
      {"2.0-beta", "=", "2.0"},
      {"1.0 beta", ">", "1.0"},
      {"1.0RC1", "<", "1.0b1"},
      {"1.0a", "<", "1.0 (1)"},
      {"1.0rc", "<", "1.0"},
      {"0.1", "<", "0.1.2"},
      // Numbers beyond 64 bits still compare by value; texts a hostile feed may send are
      // versions too.
      {"99999999999999999999998", "<", "99999999999999999999999"},
      {"9", "<", "0010"},
      {"", "<", "0.1"},
      {"\x01\xff", "<", "1"},
      {std::string(100000, '9'), ">", "1.0"},
      {std::string(50000, '.') + "1", "<", "1"},
      {"1" + std::string(200000, '('), ">", std::string(200000, '.')},
  };
  for (const auto& c : cases) {
    const std::string_view reversed = c.order == "<"sv ? ">" : c.order == ">"sv ? "<" : "=";
    EXPECT_EQ(c.order, order(c.a, c.b)) << c.a.substr(0, 20) << " vs " << c.b.substr(0, 20);
    EXPECT_EQ(reversed, order(c.b, c.a)) << c.b.substr(0, 20) << " vs " << c.a.substr(0, 20);
  }
}

}  // namespace
}  // namespace nubrel

// The version order against the framework's own examples and what its rules imply, each pair
// checked both ways round.
#include "updater/VersionComparator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>

namespace nubrel {
namespace {

TEST(VersionComparatorTest, OrdersVersionsAsTheFrameworkDoes) {
  // "a <op> b": the framework's examples, then what its rules imply.
  std::istringstream rows(
      "1.0 < 1.1; 1.1 < 2.0; 0.0.1 < 0.1; 1.0 = 1.0.0; 1.5.5 < 1.5.6a1; 1.0a1 < 1.0b1; "
      "1.0b1 < 1.0; 1.1.0b1 < 1.1.0b2; 1.1.1b2 < 1.1.2a1; 0.9 < 1.0a1; 1.0b < 1.0b2; "
      "1.0b9 < 1.0b10; 1.0pre1 < 1.0; 1.0pre1 = 1.0.0pre1; 1.0 (1234) < 1.0 (1235); "
      "1.0b1 (1234) < 1.0 (1234); 3.3 (5847) < 3.3.1b1 (5902); 2.0.0.2429 < 2.0.0.2430; "
      "1.1.1.1818 = 1.1.1.1818.0; 1.5.5-335d3e2 < 1.5.6-b252311; 1.5.5-335d3e2 = 1.5.5-a655360; "
      "201210251627 < 201211051041; 2.0-beta = 2.0; 1.0 beta > 1.0; 1.0RC1 < 1.0b1; "
      "1.0a < 1.0 (1); 1.0rc < 1.0; 0.1 < 0.1.2");
  // Beyond 64 bits numbers still compare by value; texts a hostile feed may send are versions too.
  std::vector<std::array<std::string, 3>> pairs = {
      {"99999999999999999999998", "<", "99999999999999999999999"},
      {"\x01\xff", "<", "1"},
      {std::string(50000, '.') + "1", "<", "1"},
      {"1" + std::string(200000, '('), ">", std::string(200000, '.')}};
  for (std::string row; std::getline(rows >> std::ws, row, ';');) {
    const std::size_t at = std::min({row.find(" < "), row.find(" = "), row.find(" > ")});
    pairs.push_back({row.substr(0, at), row.substr(at + 1, 1), row.substr(at + 3)});
  }
  const auto shown = [](std::strong_ordering o) { return o < 0 ? "<" : o > 0 ? ">" : "="; };
  for (const auto& [a, order, b] : pairs) {
    const std::string reversed = order == "<" ? ">" : order == ">" ? "<" : "=";
    EXPECT_EQ(order, shown(compareVersions(a, b))) << a.substr(0, 20) << " vs " << b.substr(0, 20);
    EXPECT_EQ(reversed, shown(compareVersions(b, a)))
        << b.substr(0, 20) << " vs " << a.substr(0, 20);
  }
}

}  // namespace
}  // namespace nubrel

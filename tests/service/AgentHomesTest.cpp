// Real agent homes, written by agents 0.60 to 0.171 against a model server whose answers are
// known: plain sessions, resumes, forks, sub-agents, remote compaction, a model switch and an
// archived session. Each day gives exactly the usage the server answered that day, per model.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

const std::filesystem::path kHomes = std::filesystem::path(NUBREL_SAMPLES_DIR) / "../agent-homes";

// The text after "key": in a line of truth.jsonl, up to the next comma or brace.
std::string valueOf(const std::string& line, const std::string& key) {
  const std::size_t at = line.find("\"" + key + "\": ");
  const std::size_t from = at + key.size() + 4;
  return at == std::string::npos ? "0" : line.substr(from, line.find_first_of(",}", from) - from);
}

// The server's answers summed per model and per day (UTC) of the answer, keyed by its noon.
std::map<std::string, std::map<std::string, TokenTotals>> truthOf(
    const std::filesystem::path& home) {
  std::map<std::string, std::map<std::string, TokenTotals>> truth;
  std::ifstream in(home / "truth.jsonl");
  for (std::string line; std::getline(in, line);) {
    const auto number = [&](const char* key) { return std::stoll(valueOf(line, key)); };
    const std::string model = valueOf(line, "model");
    truth[valueOf(line, "answered_at").substr(1, 10) + "T12:00:00.000Z"]
         [model.substr(1, model.size() - 2)] +=
        TokenTotals{number("input_tokens"),  number("cached_input_tokens"),
                    number("output_tokens"), number("reasoning_output_tokens"),
                    number("total_tokens"),  number("cache_write_input_tokens")};
  }
  return truth;
}

class AgentHomesTest : public ServiceFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(AgentHomesTest, EveryDayIsTheSumOfTheServersAnswers) {
  const std::filesystem::path home = kHomes / GetParam();
  TokenUsageService service(fs_, *calendar_, home / "sessions");
  const auto truth = truthOf(home);
  ASSERT_FALSE(truth.empty());
  TokenTotals all;
  for (const auto& [noon, byModel] : truth) {
    std::map<std::string, TokenTotals> models;
    TokenTotals sum;
    const DailyTokenUsage day = service.fetchDailyUsage(at(noon)).front();
    for (const ModelUsage& part : day.models) {
      models[part.model] += part.totals;
      sum += part.totals;
    }
    EXPECT_EQ(byModel, models) << noon;
    EXPECT_EQ(sum, day.totals) << noon;
    all += sum;
  }
  EXPECT_EQ(all, monthOf(service, truth.begin()->first));
}

INSTANTIATE_TEST_SUITE_P(, AgentHomesTest,
                         ::testing::Values("0.169/a_plain", "0.169/c_fork", "0.169/d_subagents",
                                           "0.169/e2_compact_remote", "0.169/f_model_switch",
                                           "0.169/g_archive", "0.60.1-b_resume", "0.120.0-a_plain",
                                           "0.120.0-c_fork", "0.140.0-d_subagents",
                                           "0.150.0-b_resume", "0.171.0-c_fork"));

}  // namespace
}  // namespace nubrel::testing

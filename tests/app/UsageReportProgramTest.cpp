// nubrel-usage run as a program on real session trees: its arguments, exit codes, output formats
// and --watch, which only a run shows. What the report says is UsageReportTest's.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <simdjson.h>

#include <fstream>
#include <sstream>

#include "support/LogLines.h"
#include "support/TempDir.h"
#include "updater/GlibHandles.h"

namespace nubrel::testing {
namespace {

class UsageReportProgramTest : public ::testing::Test {
 protected:
  // The program with these space-separated arguments, its standard output on a pipe.
  GSubprocess* start(const std::string& arguments) {
    GObjectPtr<GSubprocessLauncher> launcher(
        g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_PIPE));
    g_subprocess_launcher_set_environ(launcher.get(), nullptr);
    for (const auto& [name, value] : env_) {
      g_subprocess_launcher_setenv(launcher.get(), name.c_str(), value.c_str(), TRUE);
    }
    g_auto(GStrv) argv = g_strsplit((NUBREL_USAGE_PROGRAM " " + arguments).c_str(), " ", -1);
    return g_subprocess_launcher_spawnv(launcher.get(), argv, nullptr);
  }
  // Its exit status and what it printed.
  std::pair<int, std::string> run(const std::string& arguments) {
    GObjectPtr<GSubprocess> process(start(arguments));
    char* out = nullptr;
    g_subprocess_communicate_utf8(process.get(), nullptr, nullptr, &out, nullptr, nullptr);
    const GCharPtr owned(out);
    return {g_subprocess_get_exit_status(process.get()), out ? out : ""};
  }

  TempDir dir_;
  std::map<std::string, std::string> env_ = {{"HOME", dir_.path() / "home"},
                                             {"CODEX_HOME", dir_.path() / "codex"},
                                             {"TZ", "America/Chicago"},
                                             {"LANG", "C.UTF-8"},
                                             {"ASAN_OPTIONS", "detect_leaks=0"}};
};

// The September log's final totals (its README): input 7494343 of which 7290112 cached, output
// 99678 of which 72192 reasoning; priced 1.25, 0.125 and 10 dollars a million.
TEST_F(UsageReportProgramTest, SampleDayInEachFormat) {
  // Below its start date in Chicago (UTC-6 then).
  const char* name = "rollout-2025-09-24T19-22-20-01997e76-d124-7592-9cac-2ec05abbca08.jsonl";
  std::stringstream log;
  log << std::ifstream(std::filesystem::path(NUBREL_SAMPLES_DIR) / name).rdbuf();
  dir_.write(std::filesystem::path("codex/sessions/2025/09/24") / name, log.str());
  const std::string text =
      "7.59M • $2.16\nToday\n  Input: 204.23K • $0.26\n  Cached: 7.29M • $0.91\n"
      "  Output: 27.49K • $0.27\n  Reasoning: 72.19K • $0.72\n\n"
      "Recent\n  This Month (September 2025): 7.59M • $2.16\n";
  for (const auto& [arguments, out] :
       {std::pair<const char*, std::string>{"--day 2025-09-24", text},
        {"--format i3blocks --day 2025-09-24", "7.59M • $2.16\n7.59M • $2.16\n"}}) {
    EXPECT_EQ(std::pair(0, out), run(arguments)) << arguments;
  }
  simdjson::dom::parser parser;
  const simdjson::dom::element json = parser.parse(run("--json --day 2025-09-24").second);
  for (const auto& [counter, value] : {std::pair{"inputTokens", 7494343},
                                       {"cachedInputTokens", 7290112},
                                       {"outputTokens", 99678},
                                       {"reasoningOutputTokens", 72192}}) {
    EXPECT_EQ(value, int64_t(json["month"]["counters"][counter])) << counter;
  }
}

TEST_F(UsageReportProgramTest, OptionsAnswerAndBadOnesAreRefused) {
  EXPECT_EQ(std::pair(0, std::string("nubrel-usage " NUBREL_VERSION "\n")), run("--version"));
  EXPECT_NE(std::string::npos, run("--help").second.find("--watch SECONDS"));
  for (const char* bad :
       {"--bogus", "--day 2025-02-30", "--day=yesterday", "--format xml", "--format", "--watch 0",
        "--watch=86401", "--watch 1s", "--watch 5 --day 2025-03-01"}) {
    EXPECT_EQ(std::pair(2, std::string()), run(bad)) << bad;
  }
}

// A status bar starts the report once and reads a line per refresh: the loading state at once,
// then the figures, which follow a line the agent appends later.
TEST_F(UsageReportProgramTest, WatchPrintsALinePerRefreshAndPicksUpAnAppendedLine) {
  env_["TZ"] = "UTC";
  const std::time_t now = std::time(nullptr);
  char log[64];
  char stamp[32];
  std::strftime(log, sizeof log, "codex/sessions/%Y/%m/%d/rollout.jsonl", std::gmtime(&now));
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S.000Z", std::gmtime(&now));
  dir_.write(log, usageLine(stamp, io(1'000'000, 0)));
  GObjectPtr<GSubprocess> watch(start("--watch 1"));
  GObjectPtr<GDataInputStream> output(
      g_data_input_stream_new(g_subprocess_get_stdout_pipe(watch.get())));
  const auto next = [&] {
    GCharPtr line(g_data_input_stream_read_line(output.get(), nullptr, nullptr, nullptr));
    return std::string(line ? line.get() : "<end>");
  };
  EXPECT_EQ("Loading…", next());
  EXPECT_EQ("1M • $1.25", next());
  dir_.append(log, usageLine(stamp, io(2'000'000, 0)));
  std::string text;
  for (int lines = 0; lines < 20 && (text = next()) == "1M • $1.25"; ++lines) {
  }
  EXPECT_EQ("3M • $3.75", text);
  g_subprocess_force_exit(watch.get());
  g_subprocess_wait(watch.get(), nullptr, nullptr);
}

}  // namespace
}  // namespace nubrel::testing

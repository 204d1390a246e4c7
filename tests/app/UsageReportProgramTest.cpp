// nubrel-usage run as a subprocess on real session trees, with its environment set by the test.
#include <gio/gio.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <simdjson.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "support/LogLines.h"
#include "support/PlantedEntries.h"
#include "support/TempDir.h"

namespace nubrel::testing {
namespace {

template <typename T>
struct GObjectDeleter {
  void operator()(T* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

struct Outcome {
  int status = -1;
  std::string out, err;
};

class UsageReportProgramTest : public ::testing::Test {
 protected:
  // The two real logs below YYYY/MM/DD of their local start dates. Both sessions started at
  // UTC-6, as America/Chicago was on those dates.
  void placeSamples() {
    for (const auto& [day, name] : {std::pair{"2025/09/24",
                                              "rollout-2025-09-24T19-22-20-01997e76-d124-7592-9cac-"
                                              "2ec05abbca08.jsonl"},
                                    std::pair{"2025/11/17",
                                              "rollout-2025-11-17T15-30-28-019a93b9-f380-7600-98ff-"
                                              "940e6b99603c.jsonl"}}) {
      std::stringstream log;
      log << std::ifstream(std::filesystem::path(NUBREL_SAMPLES_DIR) / name).rdbuf();
      dir_.write(std::filesystem::path("codex/sessions") / day / name, log.str());
    }
  }

  // A token event at the current second, in today's directory (UTC).
  void addUsageNow(const TokenTotals& usage) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char day[16], stamp[32];
    std::strftime(day, sizeof day, "%Y/%m/%d", &utc);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S.000Z", &utc);
    const std::filesystem::path log =
        std::filesystem::path("codex/sessions") / day / "rollout.jsonl";
    std::filesystem::create_directories((dir_.path() / log).parent_path());
    dir_.append(log, usageLine(stamp, usage));
  }

  std::vector<std::string> environment() const {
    std::vector<std::string> environment;
    for (const auto& [name, value] : env_) {
      environment.push_back(name + "=" + value);
    }
    for (const char* passed : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {  // for a sanitizer build
      if (const char* value = g_getenv(passed)) {
        environment.push_back(std::string(passed) + "=" + value);
      }
    }
    return environment;
  }

  Outcome run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), NUBREL_USAGE_PROGRAM);
    std::vector<std::string> environment = this->environment();
    std::vector<char*> argv, envp;
    for (auto& argument : arguments)
      argv.push_back(argument.data());
    for (auto& variable : environment)
      envp.push_back(variable.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    gchar *out = nullptr, *err = nullptr;
    gint status = 0;
    EXPECT_TRUE(g_spawn_sync(nullptr, argv.data(), envp.data(), G_SPAWN_DEFAULT, nullptr, nullptr,
                             &out, &err, &status, nullptr));
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, out ? out : "", err ? err : ""};
    g_free(out);
    g_free(err);
    return outcome;
  }

  TempDir dir_;
  std::map<std::string, std::string> env_ = {{"HOME", (dir_.path() / "home").string()},
                                             {"CODEX_HOME", (dir_.path() / "codex").string()},
                                             {"TZ", "America/Chicago"},
                                             {"LANG", "C.UTF-8"}};
};

TEST_F(UsageReportProgramTest, SampleDayShowsTheSessionsFinalTotals) {
  placeSamples();
  env_["XDG_CONFIG_HOME"] = (dir_.path() / "xdg").string();
  // The report is made as of midday; the September log's limits were written at 21:10 in
  // Chicago, after it, and the November log's are months later: none are shown.
  // The September log's final totals (its README): input 7494343 of which 7290112 cached, output
  // 99678 of which 72192 reasoning. Rows: 204231 uncached at 1.25 = $0.255, 7290112 cached at
  // 0.125 = $0.911, 27486 plain output and 72192 reasoning at 10 = $0.275 and $0.722.
  const Outcome outcome = run({"--day", "2025-09-24"});
  EXPECT_EQ(0, outcome.status) << outcome.err;
  EXPECT_EQ(
      "7.59M \u2022 $2.16\nToday\n  Input: 204.23K \u2022 $0.26\n  Cached: 7.29M \u2022 $0.91\n"
      "  Output: 27.49K \u2022 $0.27\n  Reasoning: 72.19K \u2022 $0.72\n\n"
      "Recent\n  This Month (September 2025): 7.59M \u2022 $2.16\n",
      outcome.out);
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "xdg/nubrel/preferences.ini"));
}

TEST_F(UsageReportProgramTest, JsonListsThePastDayAndTheMonth) {
  placeSamples();
  const Outcome outcome = run({"--json", "--day", "2025-11-20"});
  ASSERT_EQ(0, outcome.status) << outcome.err;
  simdjson::dom::parser parser;
  const simdjson::dom::element report = parser.parse(outcome.out);
  EXPECT_EQ("0 \u2022 $0.00", std::string_view(report["title"]));
  EXPECT_EQ(4u, simdjson::dom::array(report["today"]["rows"]).size());
  const simdjson::dom::array recent = report["recent"];
  ASSERT_EQ(1u, recent.size());
  const simdjson::dom::element day = recent.at(0), month = report["month"];
  EXPECT_EQ("17th November 2025", std::string_view(day["label"]));
  EXPECT_EQ("2025-11", std::string_view(month["id"]));
  EXPECT_EQ("This Month (November 2025)", std::string_view(month["label"]));
  // The November log's final running totals (its README): its repeated events count once.
  const std::pair<const char*, std::int64_t> november[] = {{"inputTokens", 1099261},
                                                           {"cachedInputTokens", 1027328},
                                                           {"outputTokens", 22305},
                                                           {"reasoningOutputTokens", 19520},
                                                           {"totalTokens", 1121566}};
  for (const auto& [counter, value] : november) {
    EXPECT_EQ(value, int64_t(day["counters"][counter])) << counter;
    EXPECT_EQ(value, int64_t(month["counters"][counter])) << counter;
  }
  // Its newest line's limits, three days old: the 5-hour window has reset since, the week not.
  const simdjson::dom::element limits = report["limits"];
  EXPECT_EQ("2025-11-17T21:38:46.709Z", std::string_view(limits["observedAt"]));
  const simdjson::dom::array windows = limits["windows"];
  ASSERT_EQ(2u, windows.size());
  EXPECT_EQ(64.0, double(windows.at(0)["usedPercent"]));
  EXPECT_EQ(300, int64_t(windows.at(0)["windowMinutes"]));
  EXPECT_EQ("2025-11-17T23:38:44Z", std::string_view(windows.at(0)["resetsAt"]));
  EXPECT_EQ("5-hour: reset at Mon 17:38", std::string_view(windows.at(0)["text"]));
  EXPECT_EQ("Weekly: 43% used \u2022 resets Sun 09:01", std::string_view(windows.at(1)["text"]));
}

TEST_F(UsageReportProgramTest, MonthNamesFollowTheLocaleAndNumbersDoNot) {
  locale_t russian = newlocale(LC_ALL_MASK, "ru_RU.UTF-8", nullptr);
  if (russian == nullptr) {
    GTEST_SKIP() << "locale ru_RU.UTF-8 is not installed (scripts/install-deps.sh makes it)";
  }
  freelocale(russian);
  placeSamples();
  env_["LANG"] = "ru_RU.UTF-8";
  const Outcome outcome = run({"--day", "2025-11-20"});
  // 71933 uncached, 1027328 cached, 2785 plain output and 19520 reasoning: $0.441.
  EXPECT_NE(std::string::npos, outcome.out.find("\n  17th ноября 2025: 1.12M \u2022 $0.44\n"));
  EXPECT_NE(std::string::npos, outcome.out.find("\n  This Month (Ноябрь 2025): 1.12M"));
}

TEST_F(UsageReportProgramTest, MissingSessionsShowZerosAndNoHistory) {
  const Outcome text = run({});
  EXPECT_EQ(0, text.status);
  EXPECT_EQ("", text.err);
  EXPECT_EQ(
      "0 \u2022 $0.00\nToday\n  Input: 0 \u2022 $0.00\n  Cached: 0 \u2022 $0.00\n"
      "  Output: 0 \u2022 $0.00\n  Reasoning: 0 \u2022 $0.00\n",
      text.out);
  simdjson::dom::parser parser;
  const simdjson::dom::element report = parser.parse(run({"--json"}).out);
  EXPECT_TRUE(report["month"].is_null());
  EXPECT_EQ(0u, simdjson::dom::array(report["recent"]).size());
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "home/.config")) << "nothing was seen";
}

// One model in the September log: each figure is followed by that model's line with the same
// figure, whatever the model is called.
TEST_F(UsageReportProgramTest, ByModelFollowsEachFigureWithItsModels) {
  placeSamples();
  std::istringstream out(run({"--by-model", "--day", "2025-09-24"}).out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) {
    lines.push_back(line);
  }
  ASSERT_EQ(14u, lines.size());
  for (const std::size_t row : {2, 4, 6, 8, 12}) {
    const std::string figure = lines[row].substr(lines[row].find(": "));
    EXPECT_TRUE(lines[row + 1].starts_with("    ")) << lines[row + 1];
    EXPECT_TRUE(lines[row + 1].ends_with(figure)) << lines[row + 1];
  }
}

TEST_F(UsageReportProgramTest, OptionsAnswerAndBadOnesAreRefused) {
  EXPECT_EQ("nubrel-usage " NUBREL_VERSION "\n", run({"--version"}).out);
  EXPECT_NE(std::string::npos, run({"--help"}).out.find("--json"));
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--bogus"},
                                              {"--day", "2025-02-30"},
                                              {"--day=yesterday"},
                                              {"--format", "xml"},
                                              {"--format"},
                                              {"--watch", "0"},
                                              {"--watch=90000"},
                                              {"--watch", "1s"},
                                              {"--watch", "5", "--day", "2025-03-01"}}) {
    const Outcome refused = run(bad);
    EXPECT_EQ(2, refused.status) << bad.back();
    EXPECT_EQ("", refused.out) << bad.back();
  }
}

// An ordinary open of a FIFO waits for a writer; the report must neither wait nor replace it.
TEST_F(UsageReportProgramTest, FifoAtThePreferencesFileNeitherBlocksNorIsReplaced) {
  placeSamples();
  const std::filesystem::path preferences = dir_.path() / "xdg/nubrel/preferences.ini";
  plant(Planted::fifo, preferences);
  env_["XDG_CONFIG_HOME"] = (dir_.path() / "xdg").string();
  const Outcome outcome = run({"--format", "i3blocks", "--day", "2025-09-24"});
  EXPECT_EQ(0, outcome.status) << outcome.err;
  EXPECT_EQ("7.59M \u2022 $2.16\n7.59M \u2022 $2.16\n", outcome.out);
  EXPECT_TRUE(isStill(Planted::fifo, preferences));
}

// A status bar starts the report once and reads a line per refresh: the loading state at once,
// then the figures, which follow a line the agent appends later.
TEST_F(UsageReportProgramTest, WatchPrintsALinePerRefreshAndPicksUpAnAppendedLine) {
  env_["TZ"] = "UTC";
  addUsageNow(io(1'000'000, 0));
  GObjectPtr<GSubprocessLauncher> launcher(
      g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_PIPE));
  std::vector<std::string> environment = this->environment();
  std::vector<const char*> envp;
  for (const std::string& variable : environment) {
    envp.push_back(variable.c_str());
  }
  envp.push_back(nullptr);
  g_subprocess_launcher_set_environ(launcher.get(), const_cast<char**>(envp.data()));
  GObjectPtr<GSubprocess> watch(g_subprocess_launcher_spawn(launcher.get(), nullptr,
                                                            NUBREL_USAGE_PROGRAM, "--watch", "1",
                                                            "--format", "waybar", nullptr));
  ASSERT_TRUE(watch);
  GObjectPtr<GDataInputStream> output(
      g_data_input_stream_new(g_subprocess_get_stdout_pipe(watch.get())));
  simdjson::dom::parser parser;
  // The text of the next line, and its class in cssClass.
  std::string cssClass;
  const auto next = [&]() -> std::string {
    char* line = g_data_input_stream_read_line(output.get(), nullptr, nullptr, nullptr);
    if (line == nullptr) {
      return "<end>";
    }
    const simdjson::dom::element object = parser.parse(std::string(line));
    g_free(line);
    cssClass = std::string(std::string_view(object["class"]));
    return std::string(std::string_view(object["text"]));
  };
  EXPECT_EQ("Loading\u2026", next());
  EXPECT_EQ("loading", cssClass);
  EXPECT_EQ("1M \u2022 $1.25", next());
  EXPECT_EQ("usage", cssClass);
  addUsageNow(io(2'000'000, 0));
  std::string text;
  for (int lines = 0; lines < 20 && (text = next()) == "1M \u2022 $1.25"; ++lines) {
  }
  EXPECT_EQ("3M \u2022 $3.75", text);
  g_subprocess_force_exit(watch.get());
  g_subprocess_wait(watch.get(), nullptr, nullptr);
}

}  // namespace
}  // namespace nubrel::testing

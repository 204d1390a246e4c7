// Loading a generated tree for the benchmarks, and running grep over it.
#include "bench/BenchTree.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "bench/SessionTreeGenerator.h"

extern char** environ;

namespace nubrel::bench {
namespace {

Instant noonOf(const std::string& dayText) {
  using namespace std::chrono;
  const year_month_day date{year{std::atoi(dayText.substr(0, 4).c_str())},
                            month{unsigned(std::atoi(dayText.substr(5, 2).c_str()))},
                            day{unsigned(std::atoi(dayText.substr(8, 2).c_str()))}};
  return Instant{sys_days(date)} + hours(12);
}

// Sums the counts of "file:count" lines.
std::uint64_t sumCounts(const std::string& output) {
  std::uint64_t sum = 0;
  std::size_t start = 0;
  while (start < output.size()) {
    const std::size_t end = std::min(output.find('\n', start), output.size());
    const std::size_t colon = output.rfind(':', end);
    if (colon != std::string::npos && colon >= start) {
      sum += std::strtoull(output.c_str() + colon + 1, nullptr, 10);
    }
    start = end + 1;
  }
  return sum;
}

}  // namespace

std::filesystem::path BenchTree::sessions() const {
  return sessionsPath(root);
}

std::optional<BenchTree> loadBenchTree(const std::filesystem::path& root,
                                       const std::string& month) {
  std::optional<ExpectedUsage> expected = readExpectedUsage(expectedUsagePath(root));
  if (!expected) {
    return std::nullopt;
  }
  BenchTree tree;
  tree.root = root;
  tree.month = month;
  tree.expected = std::move(*expected);
  const std::filesystem::path monthDir =
      sessionsPath(root) / month.substr(0, 4) / month.substr(5, 2);
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(monthDir, error)) {
    if (entry.is_regular_file() && entry.path().extension() == ".jsonl") {
      tree.files.push_back(entry.path());
      tree.bytes += entry.file_size();
    }
  }
  std::sort(tree.files.begin(), tree.files.end());
  for (const auto& [day, expectation] : tree.expected.days) {
    if (day.starts_with(month)) {
      tree.todayKey = day;
    }
  }
  if (error || tree.files.empty() || tree.todayKey.empty()) {
    return std::nullopt;
  }
  tree.monthInstant = noonOf(month + "-15");
  tree.today = noonOf(tree.todayKey);
  return tree;
}

std::optional<std::string> runCapturingOutput(std::vector<std::string> args, int maxStatus) {
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) {
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  std::string output;
  char buffer[65536];
  for (ssize_t count; spawned == 0 && (count = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(pipeFds[0]);
  int status = 0;
  if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) > maxStatus) {
    return std::nullopt;
  }
  return output;
}

std::optional<std::uint64_t> grepTokenCountLines(const std::vector<std::filesystem::path>& files) {
  std::vector<std::string> args = {"grep", "-c", "token_count", "--"};
  for (const auto& file : files) {
    args.push_back(file.string());
  }
  // Status 1 means no line matched.
  const std::optional<std::string> output = runCapturingOutput(std::move(args), 1);
  if (!output) {
    return std::nullopt;
  }
  return sumCounts(*output);
}

}  // namespace nubrel::bench

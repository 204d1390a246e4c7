// One generated session: the order of its lines, its clock and its token usage.
#include "bench/SessionLog.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace nubrel::bench {
namespace {

constexpr std::int64_t kDayMillis = 86'400'000;
constexpr std::uint64_t kMinLargeLine = 200;
constexpr std::uint64_t kMaxLargeLine = 50 * 1024;

constexpr std::array<std::string_view, 8> kCommands = {"ls -la",
                                                       "git status --short",
                                                       "cmake --build build -j2",
                                                       "sed -n 1,200p src/main.cpp",
                                                       "ctest --test-dir build",
                                                       "rg -n TokenUsage src",
                                                       "cat README.md",
                                                       "git diff --stat"};

// The models a session runs on, with their weights: priced ones, one written with a date, and
// one that no price list knows.
constexpr std::array<std::pair<std::string_view, int>, 7> kModels = {{{"gpt-5.5", 35},
                                                                      {"gpt-5.1-codex", 20},
                                                                      {"gpt-5.1-codex-mini", 15},
                                                                      {"gpt-5.4", 10},
                                                                      {"gpt-5.3-codex", 10},
                                                                      {"gpt-5-2025-08-07", 5},
                                                                      {"o9-preview", 5}}};

std::string drawModel(Random& random, std::string_view other = {}) {
  while (true) {
    std::int64_t pick = random.between(0, 99);
    for (const auto& [model, weight] : kModels) {
      if ((pick -= weight) < 0) {
        if (model != other) {
          return std::string(model);
        }
        break;
      }
    }
  }
}

// A draw between 200 bytes and 50 KB, uniform in its logarithm: mostly a few KB, some large.
std::size_t outputLength(Random& random) {
  const double low = 5.3;    // ln 200
  const double high = 10.6;  // ln 40 000
  return static_cast<std::size_t>(std::exp(low + (high - low) * random.unit()));
}

// Keeps the session's clock, its running totals and the file's statistics together.
class SessionWriter {
 public:
  SessionWriter(const SessionPlan& plan, const TextPools& pools, Random& random,
                ExpectedUsage& expected, std::string& out)
      : plan_(plan), pools_(pools), random_(random), expected_(expected), out_(out) {
    now_ = plan.startMillis;
    session_.uuid = plan.uuid;
    session_.cwd = "/home/user/projects/app-" + std::to_string(random_.between(1, 40));
    session_.cliVersion = plan.repeatsUsage ? "0.58.0" : "0.40.0";
    session_.newRateLimitShape = plan.repeatsUsage;
    limits_ = {.primaryPercent = double(random_.between(0, 60)),
               .secondaryPercent = double(random_.between(0, 40)),
               .primaryResetsAt = now_ / 1000 + 18'000,
               .secondaryResetsAt = now_ / 1000 + 600'000};
    context_ = random_.between(8'000, 12'000);
    session_.model = drawModel(random_);
  }

  SessionSummary write() {
    out_.clear();
    track(&SessionWriter::sessionStart);
    const std::int64_t midnight = (plan_.startMillis / kDayMillis + 1) * kDayMillis;
    while (!full()) {
      userTurn(plan_.pastMidnight && now_ < midnight ? midnight : 0, false);
    }
    const SessionSummary summary{.lastMillis = now_};
    if (plan_.resumedAfterMillis) {
      // The user picks the session up again days later; the agent appends to the same file.
      now_ += *plan_.resumedAfterMillis;
      userTurn(0, true);
    }
    return summary;
  }

 private:
  // Runs one of the line builders below and files the lines it added under the statistics.
  void track(void (SessionWriter::*build)()) {
    const std::size_t before = out_.size();
    (this->*build)();
    std::size_t start = before;
    while (start < out_.size()) {
      const std::size_t end = out_.find('\n', start) + 1;
      const std::uint64_t length = end - start;
      TreeStats& stats = expected_.stats;
      ++stats.lines;
      stats.longestLine = std::max(stats.longestLine, length);
      if (isTokenLine(std::string_view(out_).substr(start, length))) {
        stats.tokenLineBytes += length;
      } else if (length >= kMinLargeLine && length <= kMaxLargeLine) {
        stats.largeLineBytes += length;
      }
      start = end;
    }
  }

  static bool isTokenLine(std::string_view line) {
    return line.substr(0, 120).find(R"("payload":{"type":"token_count")") != line.npos;
  }

  void sessionStart() {
    appendSessionMeta(out_, now_, session_, random_);
    appendUserMessage(out_, now_ + 5, pools_.prose(random_, 300));
  }

  // A user's prompt and the model requests that answer it, until the budget is spent unless
  // `wholeTurn`. With `wakeAt`, the user comes back after that instant (the pause of a session
  // that goes on past midnight) once a request is in.
  void userTurn(std::int64_t wakeAt, bool wholeTurn) {
    if (++turns_ == 2) {
      // Every session that gets a second turn goes on on another model (`/model` or a resume
      // with `-m`): the turn_context lines from here on name it.
      session_.model = drawModel(random_, session_.model);
    }
    now_ += random_.between(20'000, 300'000);
    prompt_ = random_.between(100, 2'000);
    track(&SessionWriter::userPrompt);
    const std::int64_t count = random_.between(1, 12);
    for (std::int64_t i = 0; i < count && (wholeTurn || !full()); ++i) {
      lastOfTurn_ = i + 1 == count;
      track(&SessionWriter::modelRequest);
      if (wakeAt != 0) {
        now_ = std::max(now_, wakeAt + random_.between(60'000, 2'400'000));
        wakeAt = 0;
      }
    }
  }

  // Two requests at least, so that every session of agent 0.58 has a repeated usage event.
  bool full() const { return requests_ >= 2 && out_.size() >= plan_.byteBudget; }

  // Large lines shrink with the budget, so that a small tree keeps its file count and its size.
  std::size_t cap(std::size_t length) const {
    return std::min<std::size_t>(length,
                                 std::max<std::uint64_t>(kMinLargeLine, plan_.byteBudget / 8));
  }

  void userPrompt() {
    appendUserMessage(out_, now_, pools_.prose(random_, static_cast<std::size_t>(prompt_)));
  }

  void modelRequest() {
    appendTurnContext(out_, now_, session_);
    if (plan_.repeatsUsage) {
      // Agent 0.58+: before each request, the previous usage again under a new timestamp (or
      // `"info": null` before the first). It uses nothing.
      now_ += random_.between(1, 80);
      tokenEvent(previousUsage_ ? std::optional(total_) : std::nullopt, previousUsage_);
      if (previousUsage_) {
        ++expected_.stats.repeatedEvents;
      }
    }
    now_ += random_.between(300, 3'000);
    const std::string_view title = pools_.prose(random_, 40);
    appendAgentReasoning(out_, now_, title);

    now_ += random_.between(100, 900);
    const TokenTotals usage = drawUsage();
    addUsage(total_, usage);
    previousUsage_ = usage;
    tokenEvent(total_, usage);
    expected_.addRequest(now_, usage, session_.model);
    ++requests_;

    now_ += random_.between(1, 6);
    appendReasoning(out_, now_, title,
                    pools_.base64(random_, cap(std::size_t(random_.between(400, 4'000)))));
    if (lastOfTurn_) {
      appendAgentMessage(out_, now_ + 1,
                         pools_.prose(random_, std::size_t(random_.between(200, 3'000))));
      return;
    }
    const std::string callId = "call_" + std::string(pools_.base64(random_, 24));
    appendFunctionCall(out_, now_ + 1, session_, kCommands[random_.next() % kCommands.size()],
                       callId);
    now_ += random_.between(50, 20'000);
    appendFunctionCallOutput(out_, now_, callId,
                             pools_.nestedProse(random_, cap(outputLength(random_))),
                             random_.chance(0.1) ? 1 : 0);
  }

  void tokenEvent(const std::optional<TokenTotals>& total, const std::optional<TokenTotals>& last) {
    appendTokenCount(out_, now_, session_, total, last, limits_);
    expected_.addTokenEvent(now_);
  }

  // One request's usage: the context grows with the session until the agent compacts it; part
  // of it is served from the cache; reasoning is part of the output.
  TokenTotals drawUsage() {
    context_ += random_.between(200, 5'000);
    // Some requests go past 272,000 input tokens, where two models have a long-context price.
    if (context_ > 290'000) {
      context_ = random_.between(15'000, 30'000);
    }
    TokenTotals usage;
    usage.inputTokens = context_;
    usage.cachedInputTokens = std::min(context_, random_.between(0, context_) / 128 * 128 * 2);
    usage.outputTokens = random_.between(15, 2'500);
    usage.reasoningOutputTokens = random_.between(0, usage.outputTokens) / 64 * 64;
    usage.totalTokens = usage.inputTokens + usage.outputTokens;
    return usage;
  }

  const SessionPlan& plan_;
  const TextPools& pools_;
  Random& random_;
  ExpectedUsage& expected_;
  std::string& out_;
  SessionContext session_;
  RateLimits limits_;
  std::int64_t now_ = 0;
  std::int64_t context_ = 0;
  std::int64_t prompt_ = 0;
  std::int64_t requests_ = 0;
  std::int64_t turns_ = 0;
  bool lastOfTurn_ = false;
  TokenTotals total_;
  std::optional<TokenTotals> previousUsage_;
};

}  // namespace

SessionSummary writeSession(const SessionPlan& plan, const TextPools& pools, Random& random,
                            ExpectedUsage& expected, std::string& out) {
  return SessionWriter(plan, pools, random, expected, out).write();
}

}  // namespace nubrel::bench

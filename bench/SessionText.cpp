// Line builders and filler pools for generated session logs.
#include "bench/SessionText.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>

namespace nubrel::bench {
namespace {

constexpr std::size_t kPoolBytes = 2 << 20;  // well above the longest slice (about 50 KB)

constexpr std::array<std::string_view, 48> kWords = {
    "the",         "build",    "fails",    "because",     "src/service/Reader.cpp:142:",
    "error:",      "expected", "value",    "in",          "function",
    "return",      "const",    "auto&",    "std::string", "warning",
    "unused",      "variable", "test",     "passed",      "[ OK ]",
    "FAILED",      "0.42s",    "diff",     "--git",       "a/README.md",
    "b/README.md", "@@",       "-1,5",     "+1,7",        "import",
    "from",        "def",      "class",    "self",        "None",
    "True",        "{",        "}",        "=>",          "npm",
    "install",     "added",    "packages", "in",          "3s",
    "Résumé",      "naïve",    "→"};

// Pieces that need care when cut or escaped; each is one "word" of the pools.
constexpr std::array<std::string_view, 7> kRareWords = {
    "✓", "日本語", "🙂", "\u2028", "token_count", "event_msg", "\"total_token_usage\":"};

void appendNumber(std::string& out, std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void appendPercent(std::string& out, double value) {
  char digits[32];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 1);
  out.append(digits, result.ptr);
}

// Escapes a word for a JSON string; `depth` 2 escapes the escapes again.
void appendEscaped(std::string& out, std::string_view word, int depth) {
  for (const char c : word) {
    if (c == '"' || c == '\\') {
      out += depth == 1 ? "\\" : "\\\\\\";
    }
    out += c;
  }
}

void appendHead(std::string& out, std::int64_t ms, std::string_view type) {
  out += R"({"timestamp":")";
  out += timestampText(ms);
  out += R"(","type":")";
  out += type;
  out += R"(","payload":{)";
}

void appendTotals(std::string& out, const TokenTotals& t) {
  out += R"({"input_tokens":)";
  appendNumber(out, t.inputTokens);
  out += R"(,"cached_input_tokens":)";
  appendNumber(out, t.cachedInputTokens);
  out += R"(,"output_tokens":)";
  appendNumber(out, t.outputTokens);
  out += R"(,"reasoning_output_tokens":)";
  appendNumber(out, t.reasoningOutputTokens);
  out += R"(,"total_tokens":)";
  appendNumber(out, t.totalTokens);
  out += '}';
}

std::string_view slice(const std::string& pool, Random& random, std::size_t length) {
  length = std::min(length, pool.size() / 2);
  std::size_t start = static_cast<std::size_t>(random.between(0, std::int64_t(pool.size() / 2)));
  start = pool.find(' ', start) + 1;
  std::size_t end = pool.rfind(' ', start + length);
  if (end == std::string::npos || end <= start) {
    end = pool.find(' ', start + 1);
  }
  return std::string_view(pool).substr(start, end - start);
}

}  // namespace

std::string timestampText(std::int64_t unixMillis) {
  using namespace std::chrono;
  const sys_time<milliseconds> instant{milliseconds(unixMillis)};
  const sys_days day = floor<days>(instant);
  const year_month_day date(day);
  const hh_mm_ss time(instant - day);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()));
  return text;
}

std::string sessionUuid(std::int64_t unixMillis, Random& random) {
  const auto ms = static_cast<unsigned long long>(unixMillis) & 0xffffffffffffULL;
  const std::uint64_t a = random.next();
  const std::uint64_t b = random.next();
  char text[40];
  std::snprintf(text, sizeof text, "%08llx-%04llx-7%03llx-%04llx-%012llx", ms >> 16, ms & 0xffff,
                static_cast<unsigned long long>(a & 0xfff),
                static_cast<unsigned long long>(0x8000 | ((a >> 12) & 0x3fff)),
                static_cast<unsigned long long>(b & 0xffffffffffffULL));
  return text;
}

TextPools::TextPools(Random& random) {
  static constexpr std::string_view kBase64 =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  base64_.reserve(kPoolBytes);
  while (base64_.size() < kPoolBytes) {
    base64_ += kBase64[random.next() & 63];
  }
  prose_.reserve(kPoolBytes + 64);
  nestedProse_.reserve(kPoolBytes * 2);
  while (prose_.size() < kPoolBytes) {
    const std::uint64_t draw = random.next() % 4096;
    std::string_view word = kWords[draw % kWords.size()];
    if (draw < kRareWords.size()) {
      word = kRareWords[draw];
    }
    appendEscaped(prose_, word, 1);
    appendEscaped(nestedProse_, word, 2);
    // Line ends of the quoted text: \n in a JSON string, \\n one level deeper.
    const bool newline = random.chance(0.12);
    prose_ += newline ? "\\n " : " ";
    nestedProse_ += newline ? "\\\\n " : " ";
  }
}

std::string_view TextPools::prose(Random& random, std::size_t length) const {
  return slice(prose_, random, length);
}

std::string_view TextPools::nestedProse(Random& random, std::size_t length) const {
  return slice(nestedProse_, random, length);
}

std::string_view TextPools::base64(Random& random, std::size_t length) const {
  length = std::min(length, base64_.size() / 2);
  const auto start = static_cast<std::size_t>(random.between(0, std::int64_t(base64_.size() / 2)));
  return std::string_view(base64_).substr(start, length);
}

void appendSessionMeta(std::string& out, std::int64_t ms, const SessionContext& session,
                       Random& random) {
  appendHead(out, ms, "session_meta");
  out += R"("id":")" + session.uuid + R"(","timestamp":")" + timestampText(ms - 40) +
         R"(","cwd":")" + session.cwd + R"(","originator":"codex_cli_rs","cli_version":")" +
         session.cliVersion +
         R"(","instructions":null,"source":"cli","model_provider":"openai","git":{"commit_hash":")";
  char hash[48];
  std::snprintf(hash, sizeof hash, "%016llx%016llx%08llx",
                static_cast<unsigned long long>(random.next()),
                static_cast<unsigned long long>(random.next()),
                static_cast<unsigned long long>(random.next() & 0xffffffffULL));
  out += hash;
  out += R"(","branch":"main","repository_url":"git@example.org:team/project.git"}}})"
         "\n";
}

void appendTurnContext(std::string& out, std::int64_t ms, const SessionContext& session) {
  out += R"({"timestamp":")" + timestampText(ms) + R"(","type":"turn_context","payload":{"cwd":")" +
         session.cwd +
         R"(","approval_policy":"never","sandbox_policy":{"mode":"danger-full-access"},)"
         R"("model":")" +
         session.model +
         R"(","effort":"high","summary":"auto"}})"
         "\n";
}

void appendUserMessage(std::string& out, std::int64_t ms, std::string_view text) {
  appendHead(out, ms, "response_item");
  out += R"("type":"message","role":"user","content":[{"type":"input_text","text":")";
  out += text;
  out += "\"}]}}\n";
  appendHead(out, ms, "event_msg");
  out += R"("type":"user_message","message":")";
  out += text;
  out += "\",\"images\":[]}}\n";
}

void appendAgentReasoning(std::string& out, std::int64_t ms, std::string_view title) {
  appendHead(out, ms, "event_msg");
  out += R"("type":"agent_reasoning","text":"**)";
  out += title;
  out += "**\"}}\n";
}

void appendAgentMessage(std::string& out, std::int64_t ms, std::string_view text) {
  appendHead(out, ms, "event_msg");
  out += R"("type":"agent_message","message":")";
  out += text;
  out += "\"}}\n";
  appendHead(out, ms + 2, "response_item");
  out += R"("type":"message","role":"assistant","content":[{"type":"output_text","text":")";
  out += text;
  out += "\"}]}}\n";
}

void appendReasoning(std::string& out, std::int64_t ms, std::string_view title,
                     std::string_view encrypted) {
  appendHead(out, ms, "response_item");
  out += R"("type":"reasoning","summary":[{"type":"summary_text","text":"**)";
  out += title;
  out += R"(**"}],"content":null,"encrypted_content":"gAAAAABp)";
  out += encrypted;
  out += "\"}}\n";
}

void appendFunctionCall(std::string& out, std::int64_t ms, const SessionContext& session,
                        std::string_view command, std::string_view callId) {
  appendHead(out, ms, "response_item");
  out += R"("type":"function_call","name":"shell","arguments":"{\"command\":[\"bash\",\"-lc\",\")";
  out += command;
  out += R"(\"],\"workdir\":\")" + session.cwd + R"(\"}","call_id":")";
  out += callId;
  out += "\"}}\n";
}

void appendFunctionCallOutput(std::string& out, std::int64_t ms, std::string_view callId,
                              std::string_view nestedOutput, int exitCode) {
  appendHead(out, ms, "response_item");
  out += R"("type":"function_call_output","call_id":")";
  out += callId;
  out += R"(","output":"{\"output\":\")";
  out += nestedOutput;
  out += R"(\",\"metadata\":{\"exit_code\":)";
  appendNumber(out, exitCode);
  out += R"(,\"duration_seconds\":0.2}}"}})"
         "\n";
}

void appendTokenCount(std::string& out, std::int64_t ms, const SessionContext& session,
                      const std::optional<TokenTotals>& total,
                      const std::optional<TokenTotals>& last, const RateLimits& limits) {
  appendHead(out, ms, "event_msg");
  out += R"("type":"token_count","info":)";
  if (!total && !last) {
    out += "null";
  } else {
    out += '{';
    if (total) {
      out += R"("total_token_usage":)";
      appendTotals(out, *total);
      out += ',';
    }
    if (last) {
      out += R"("last_token_usage":)";
      appendTotals(out, *last);
      out += ',';
    }
    out += R"("model_context_window":258400})";
  }
  if (session.newRateLimitShape) {
    out += R"(,"rate_limits":{"primary":{"used_percent":)";
    appendPercent(out, limits.primaryPercent);
    out += R"(,"window_minutes":300,"resets_at":)";
    appendNumber(out, limits.primaryResetsAt);
    out += R"(},"secondary":{"used_percent":)";
    appendPercent(out, limits.secondaryPercent);
    out += R"(,"window_minutes":10080,"resets_at":)";
    appendNumber(out, limits.secondaryResetsAt);
    out += "}}}}\n";
  } else {
    out += R"(,"rate_limits":{"primary_used_percent":)";
    appendPercent(out, limits.primaryPercent);
    out += R"(,"secondary_used_percent":)";
    appendPercent(out, limits.secondaryPercent);
    out += R"(,"primary_to_secondary_ratio_percent":0.0,"primary_window_minutes":299,)"
           R"("secondary_window_minutes":10079}}})"
           "\n";
  }
}

}  // namespace nubrel::bench

// Logs written in random pieces, moved, linked, copied, cut short and rewritten between refreshes
// give what a fresh service gives; written in pieces alone, the sum of what was written.
#include <date/date.h>
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

struct Session {
  std::string text;
  TokenTotals expected;  // each model request once
  std::filesystem::path path;
  std::size_t written = 0;
};

// A session as the agent writes it, some events with running totals alone, and what a reader
// must step over: other lines with multi-byte text, CR LF endings, U+2028 inside lines, the
// repeated event before a request, damaged lines. Its events run from the 31st of January into
// February, local time.
Session generate(std::mt19937& rng, int session) {
  Session log;
  std::uniform_int_distribution<int> percent(0, 99);
  Instant instant = at("2025-01-31T14:50:00.000Z") + std::chrono::milliseconds(session);
  const auto timestamp = [&] {
    instant += std::chrono::seconds(11);
    return date::format("%FT%TZ", std::chrono::floor<std::chrono::milliseconds>(instant));
  };
  TokenTotals running;
  std::optional<TokenTotals> usage;
  for (int i = 0; i < 90; ++i) {
    const int kind = percent(rng);
    std::string line;
    if (kind < 35) {
      line = otherLine(timestamp(), 80 + std::size_t(percent(rng)) * 20);
      line.insert(line.size() - 4, "é日本😀");
    } else if (kind < 45 && usage) {
      line = tokenLine(timestamp(), running, usage);  // the repeat
    } else if (kind < 50) {
      line = "{\"type\":\"event_msg\",\"oops\xC3(\xff\n";
    } else {
      const bool totalsAlone = usage && percent(rng) < 20;  // the first event sets the base
      usage = io(percent(rng) * 50, percent(rng) * 30 + 1);
      usage->cachedInputTokens = usage->inputTokens / 2;
      usage->reasoningOutputTokens = usage->outputTokens / 3;
      log.expected += *usage;
      line = tokenLine(timestamp(), running += *usage, totalsAlone ? std::nullopt : usage);
      line.insert(line.size() - 3, percent(rng) < 20 ? ",\"note\":\"\xE2\x80\xA8\"" : "");
    }
    line.insert(line.size() - 1, percent(rng) < 20 ? "\r" : "");
    log.text += line;
  }
  return log;
}

std::vector<TokenTotals> figures(TokenUsageService& service) {
  std::vector<TokenTotals> shown;
  for (const char* noon :
       {"2025-02-01T12:00:00.000Z", "2025-01-31T12:00:00.000Z", "2025-01-30T12:00:00.000Z"}) {
    shown.push_back(dayOf(service, noon));
    shown.push_back(monthOf(service, noon));
  }
  return shown;
}

using IncrementalPropertyTest = ServiceFixture;

// The first seeds only append; the others also move, link, copy, cut and rewrite logs.
TEST_F(IncrementalPropertyTest, EveryRefreshEqualsAFreshReadAndAppendsAloneTheirSum) {
  calendar_ = ZonedCalendar::named("Asia/Tokyo");  // 15:00Z is local midnight
  for (unsigned seed = 1; seed <= 18; ++seed) {
    const bool tamper = seed > 6;
    std::filesystem::remove_all(dir_.path());
    service_ = freshService();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<Session> logs;
    for (int s = 0; s < 4; ++s) {
      logs.push_back(generate(rng, s));
      logs.back().path = dir_.write("sessions/2025/01/31/s" + std::to_string(s) + ".jsonl", "");
    }
    for (int step = 0; step < 60; ++step) {
      Session& session = logs[std::size_t(percent(rng)) % logs.size()];
      const int op = tamper ? percent(rng) : 0;
      const auto extra = sessions() / ("extra" + std::to_string(step) + ".jsonl");
      if (op < 70) {
        // Cuts anywhere: inside lines, inside multi-byte characters, right after a CR.
        const std::size_t piece =
            std::min(session.text.size() - session.written, std::size_t(1 + percent(rng) * 40));
        dir_.append(session.path, session.text.substr(session.written, piece));
        session.written += piece;
      } else if (op < 76) {
        const auto to = dir_.path() / "archived_sessions" / session.path.filename();
        std::filesystem::create_directories(to.parent_path());
        std::filesystem::rename(session.path, to);
        session.path = to;
      } else if (op < 88) {
        op < 82 ? std::filesystem::create_hard_link(session.path, extra)
                : (void)std::filesystem::copy_file(session.path, extra);
      } else if (op < 94) {
        session.written = session.written * std::size_t(percent(rng)) / 100;
        std::filesystem::resize_file(session.path, session.written);
      } else if (session.written > 0) {
        // Rewritten in place with other bytes of the same length.
        std::string bytes = logs[std::size_t(percent(rng)) % logs.size()].text;
        bytes.resize(session.written, '\n');
        std::fstream(session.path, std::ios::in | std::ios::out | std::ios::binary) << bytes;
        session.text.replace(0, session.written, bytes);
      }
      ASSERT_EQ(figures(*freshService()), figures(*service_))
          << "seed " << seed << " step " << step;
    }
    if (!tamper) {
      TokenTotals expected;
      for (Session& session : logs) {
        dir_.append(session.path, session.text.substr(session.written));
        expected += session.expected;
      }
      // Today's query first: it is the one that reads what was appended.
      const TokenTotals first = day("2025-02-01T12:00:00.000Z");
      EXPECT_EQ(expected, first + day("2025-01-31T12:00:00.000Z")) << "seed " << seed;
    }
  }
}

}  // namespace
}  // namespace nubrel::testing

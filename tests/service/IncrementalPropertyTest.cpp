// Property: a tree of logs written in random pieces, and archived, linked, copied, cut short,
// rewritten and resumed across a month's end between refreshes, gives after every refresh what
// a fresh service reading the tree once gives; written in pieces alone, it gives an independent
// sum of what was written.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "tests/service/ServiceFixture.h"

namespace nubrel::testing {
namespace {

struct GeneratedLog {
  std::string text;
  TokenTotals expected;  // each model request once
};

// A session as the agent writes it, with noise a reader must step over: other lines with multi-
// byte text, CR LF endings, the repeated event before each request, damaged and invalid UTF-8
// lines; its events run from the 31st of January into the 1st of February.
GeneratedLog generate(std::mt19937& rng, int session) {
  GeneratedLog log;
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<std::int64_t> tokens(0, 5000);
  TokenTotals running;
  std::optional<TokenTotals> lastUsage;
  int second = 23 * 3600 + 50 * 60 + session * 7;
  const auto timestamp = [&] {
    char text[40];
    const int day = second / 86400;
    std::snprintf(text, sizeof text, "2025-%s-%02dT%02d:%02d:%02d.%03dZ", day ? "02" : "01",
                  day ? day : 31, second / 3600 % 24, second / 60 % 60, second % 60, session);
    second += 11;
    return std::string(text);
  };
  for (int i = 0; i < 90; ++i) {
    const int kind = percent(rng);
    if (kind < 35) {
      std::string line = otherLine(timestamp(), 80 + std::size_t(percent(rng)) * 20);
      line.insert(line.size() - 4, "é日本😀");
      log.text += line;
    } else if (kind < 45 && lastUsage) {
      log.text += tokenLine(timestamp(), running, lastUsage);  // the repeat
    } else if (kind < 50) {
      log.text += percent(rng) < 50 ? "{\"type\":\"event_msg\",\"oops\n" : "\xC3(\xff\n";
    } else {
      TokenTotals usage = io(tokens(rng), tokens(rng));
      usage.cachedInputTokens = usage.inputTokens / 2;
      usage.reasoningOutputTokens = usage.outputTokens / 3;
      if (usage.totalTokens == 0) {
        continue;
      }
      running += usage;
      lastUsage = usage;
      std::string line = tokenLine(timestamp(), running, usage);
      if (percent(rng) < 20) {
        line.insert(line.size() - 1, "\r");
      }
      log.text += line;
      log.expected += usage;
    }
  }
  return log;
}

class IncrementalPropertyTest : public ServiceFixture {
 protected:
  struct Session {
    GeneratedLog log;
    std::filesystem::path path;
    std::size_t written = 0;
  };

  // The figures a refresh shows, as a string for a readable failure.
  static std::string figures(TokenUsageService& service) {
    std::ostringstream out;
    for (const char* instant :
         {"2025-02-01T12:00:00.000Z", "2025-01-31T12:00:00.000Z", "2025-01-30T12:00:00.000Z"}) {
      PrintTo(dayOf(service, instant), &out);
      PrintTo(monthOf(service, instant), &out);
    }
    return out.str();
  }

  void run(unsigned seed, bool tamper) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<Session> logs;
    for (int s = 0; s < 4; ++s) {
      Session session{generate(rng, s), {}, 0};
      session.path = write("sessions/2025/01/31/s" + std::to_string(s) + ".jsonl", "");
      logs.push_back(std::move(session));
    }
    int extra = 0;
    for (int step = 0; step < 60; ++step) {
      Session& session = logs[std::size_t(percent(rng)) % logs.size()];
      const int op = tamper ? percent(rng) : 0;
      if (op < 70) {
        // Cuts anywhere: inside lines, inside multi-byte characters, right after a CR.
        const std::size_t piece =
            std::min(session.log.text.size() - session.written, std::size_t(1 + percent(rng) * 40));
        std::ofstream(session.path, std::ios::binary | std::ios::app)
            << session.log.text.substr(session.written, piece);
        session.written += piece;
      } else if (op < 76) {
        const auto to = home() / "archived_sessions" / session.path.filename();
        std::filesystem::create_directories(to.parent_path());
        std::filesystem::rename(session.path, to);
        session.path = to;
      } else if (op < 82) {
        std::filesystem::create_hard_link(
            session.path, sessions() / ("link" + std::to_string(extra++) + ".jsonl"));
      } else if (op < 88) {
        std::filesystem::copy_file(session.path,
                                   sessions() / ("copy" + std::to_string(extra++) + ".jsonl"));
      } else if (op < 94) {
        session.written = session.written * std::size_t(percent(rng)) / 100;
        std::filesystem::resize_file(session.path, session.written);
      } else if (session.written > 0) {
        // Rewritten in place with other bytes of the same length.
        const Session& other = logs[std::size_t(percent(rng)) % logs.size()];
        std::string bytes = other.log.text.substr(0, session.written);
        bytes.resize(session.written, '\n');
        std::fstream(session.path, std::ios::in | std::ios::out | std::ios::binary) << bytes;
        session.log.text.replace(0, session.written, bytes);
      }
      ASSERT_EQ(figures(*freshService()), figures(*service_))
          << "seed " << seed << " step " << step;
    }
    if (!tamper) {
      TokenTotals expected;
      for (Session& session : logs) {
        std::ofstream(session.path, std::ios::binary | std::ios::app)
            << session.log.text.substr(session.written);
        expected += session.log.expected;
      }
      // Today's query first: it is the one that reads what was appended.
      const TokenTotals first = day("2025-02-01T12:00:00.000Z");
      EXPECT_EQ(expected, first + day("2025-01-31T12:00:00.000Z")) << "seed " << seed;
    }
  }
};

TEST_F(IncrementalPropertyTest, PiecewiseReadsEqualAnIndependentSum) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::filesystem::remove_all(home());
    std::filesystem::create_directories(home());
    service_ = freshService();
    run(seed, false);
  }
}

TEST_F(IncrementalPropertyTest, EveryRefreshEqualsAFreshReadOfTheTree) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::filesystem::remove_all(home());
    std::filesystem::create_directories(home());
    service_ = freshService();
    run(seed, true);
  }
}

}  // namespace
}  // namespace nubrel::testing

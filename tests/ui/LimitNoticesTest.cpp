#include "ui/LimitNotices.h"

#include "viewmodel/LimitsFixture.h"

namespace nubrel::testing {
namespace {

class RecordingNotifier : public Notifier {
 public:
  void notify(const std::string& summary, const std::string& body) override {
    shown.push_back(summary + " | " + body);
  }
  std::vector<std::string> shown;
};

class LimitNoticesTest : public LimitsFixture {
 protected:
  // One refresh a minute later, with the 5-hour window at this use and this reset time, then
  // the check the tray program makes after each refresh.
  void readPrimary(double usedPercent, const char* resets = "2025-03-21T14:38:45.000Z") {
    clock_.advance(std::chrono::minutes(1));
    const Instant observed = clock_.now() - std::chrono::seconds(30);
    source_->limits =
        RateLimitSnapshot{.limits = {.primary = window(usedPercent, 300, resets), .secondary = {}},
                          .observedAt = observed};
    refreshFully();
    notices_->check(*viewModel_);
  }

  RecordingNotifier notifier_;
  std::optional<LimitNotices> notices_{std::in_place, notifier_, preferences_};
};

TEST_F(LimitNoticesTest, ThresholdAndFullUseEachNotifyOncePerPeriod) {
  const std::string threshold = "5-hour limit: 90% used | Resets 15:38.";
  const std::string full = "5-hour limit reached | Resets 15:38.";
  const struct {
    const char* name;
    std::optional<std::int64_t> preference;
    std::vector<double> readings;
    std::vector<std::string> shown;
  } cases[] = {
      {"default", std::nullopt, {85, 90, 95, 100, 100}, {threshold, full}},
      {"straight to full", std::nullopt, {50, 100, 95}, {full}},
      {"lower threshold", 80, {79, 81, 84}, {"5-hour limit: 81% used | Resets 15:38."}},
      {"off", 0, {95, 100}, {}},
      {"below zero is off", -1, {95, 100}, {}},
      {"above 100 is full use only", 150, {95, 100}, {full}},
      {"never reached", std::nullopt, {10, 89.9}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    notices_.emplace(notifier_, preferences_);
    notifier_.shown.clear();
    preferences_.integers.erase(LimitNotices::kThresholdKey);
    if (c.preference) {
      preferences_.integers[LimitNotices::kThresholdKey] = *c.preference;
    }
    clock_.set(at("2025-03-21T10:00:00.000Z"));
    for (double used : c.readings) {
      readPrimary(used);
    }
    EXPECT_EQ(c.shown, notifier_.shown);
  }
}

TEST_F(LimitNoticesTest, TheNextPeriodNotifiesAgain) {
  readPrimary(95);
  clock_.set(at("2025-03-21T14:40:00.000Z"));  // past the reset at 15:38:45 local
  readPrimary(96, "2025-03-21T19:38:00.000Z");
  readPrimary(100, "2025-03-21T19:38:01.000Z");  // the agent's reset times wobble by a second
  EXPECT_EQ((std::vector<std::string>{"5-hour limit: 95% used | Resets 15:38.",
                                      "5-hour limit: 96% used | Resets 20:38.",
                                      "5-hour limit reached | Resets 20:38."}),
            notifier_.shown);
}

TEST_F(LimitNoticesTest, WithoutResetTimesAPeriodLastsOneWindowLength) {
  readPrimary(92, "");
  readPrimary(93, "");
  clock_.advance(std::chrono::hours(5));
  readPrimary(94, "");
  EXPECT_EQ((std::vector<std::string>{"5-hour limit: 92% used | As of 11:00.",
                                      "5-hour limit: 94% used | As of 16:02."}),
            notifier_.shown);
}

TEST_F(LimitNoticesTest, LimitsOfAnEndedPeriodStayQuiet) {
  // Read before the refresh that sees them, with a reset that passed in between.
  refreshWithLimits("2025-03-21T09:00:00.000Z", window(99, 300, "2025-03-21T09:30:00.000Z"),
                    window(95, 10080, "2025-03-24T08:01:48.000Z"));
  notices_->check(*viewModel_);
  EXPECT_EQ((std::vector<std::string>{"Weekly limit: 95% used | Resets Mon 09:01."}),
            notifier_.shown);
}

}  // namespace
}  // namespace nubrel::testing

// The month figure: one scan, then today's growth folded in at every refresh.
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

using std::chrono::hours;
using std::chrono::minutes;

class MonthSummaryTest : public ViewModelFixture {
 protected:
  TokenTotals monthTotals() const { return viewModel_->monthSummary().value().totals; }
};

TEST_F(MonthSummaryTest, TodaysGrowthIsFoldedInOnceAndANewDayCountsWhole) {
  source_->months["2025-03"] = usage(10'000, 500);
  const struct {
    const char* step;
    minutes later;
    TokenTotals today, month;
  } steps[] = {
      {"the scan already holds today", minutes(0), usage(400, 40), usage(10'000, 500)},
      {"today grew by 100 input", minutes(5), usage(500, 40), usage(10'100, 500)},
      {"unchanged today adds nothing", minutes(5), usage(500, 40), usage(10'100, 500)},
      {"a counter that drops adds nothing", minutes(5), usage(450, 90), usage(10'100, 550)},
      {"all of a new day is added", hours(13), usage(30, 3), usage(10'130, 553)},
      {"and then its growth", minutes(5), usage(31, 3), usage(10'131, 553)},
      {"a new day without data adds nothing", hours(24), TokenTotals::zero(), usage(10'131, 553)},
  };
  for (const auto& s : steps) {
    clock_.advance(s.later);
    source_->days[dayKey(0)] = s.today;
    refreshFully();
    EXPECT_EQ(s.month.inputTokens, monthTotals().inputTokens) << s.step;
    EXPECT_EQ(s.month.outputTokens, monthTotals().outputTokens) << s.step;
  }
  EXPECT_EQ(1u, source_->monthQueries.size()) << "the month is scanned once";
}

TEST_F(MonthSummaryTest, FailedScanIsTriedAgainAndANewMonthIsScannedAfresh) {
  source_->days[dayKey(0)] = usage(10);
  refreshFully();
  EXPECT_FALSE(viewModel_->monthSummary());

  source_->months["2025-03"] = usage(70);
  refreshFully();
  EXPECT_EQ(usage(70), monthTotals()) << "the fresh scan holds today already";
  EXPECT_EQ("This Month (March 2025)", viewModel_->monthSummary()->label);

  source_->months["2025-04"] = usage(5);
  clock_.set(at("2025-04-01T08:00:00.000Z"));
  refreshFully();
  EXPECT_EQ((std::vector<std::string>{"2025-03", "2025-03", "2025-04"}), source_->monthQueries);
  EXPECT_EQ("2025-04", viewModel_->monthSummary()->id);
  EXPECT_EQ("This Month (April 2025)", viewModel_->monthSummary()->label);
  EXPECT_EQ(usage(5), monthTotals());
}

TEST_F(MonthSummaryTest, EachModelsPartIsCarriedForwardByItsOwnGrowth) {
  const auto part = [](const char* model, bool longContext, std::int64_t input) {
    return ModelUsage{.model = model, .longContext = longContext, .totals = usage(input)};
  };
  source_->months["2025-03"] = usage(1'000);
  source_->monthModels["2025-03"] = {part("gpt-5.5", false, 900), part("gpt-5.5", true, 100)};
  source_->days[dayKey(0)] = usage(300);
  source_->dayModels[dayKey(0)] = {part("gpt-5.5", false, 300)};
  refreshFully();

  // The session switches models: gpt-5.5 stays, the mini model starts.
  clock_.advance(minutes(5));
  source_->days[dayKey(0)] = usage(350);
  source_->dayModels[dayKey(0)] = {part("gpt-5.1-codex-mini", false, 50),
                                   part("gpt-5.5", false, 300)};
  refreshFully();
  EXPECT_EQ(usage(1'050), monthTotals());
  EXPECT_EQ((std::vector<ModelUsage>{part("gpt-5.1-codex-mini", false, 50),
                                     part("gpt-5.5", false, 900), part("gpt-5.5", true, 100)}),
            viewModel_->monthSummary()->models);
}

}  // namespace
}  // namespace nubrel::testing

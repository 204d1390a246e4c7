// The month figure: the month as the source sums it, asked at every refresh.
#include "viewmodel/ViewModelFixture.h"

namespace nubrel::testing {
namespace {

using std::chrono::hours;
using std::chrono::minutes;

class MonthSummaryTest : public ViewModelFixture {
 protected:
  TokenTotals monthTotals() const { return viewModel_->monthSummary().value().totals; }
};

TEST_F(MonthSummaryTest, TheMonthIsAskedAtEveryRefreshAndShownAsAnswered) {
  const struct {
    const char* step;
    std::optional<TokenTotals> answer;
  } steps[] = {
      {"first answer", usage(10'000, 500)},
      {"a lower answer is shown as it is", usage(9'000, 400)},
      {"no usage left in the month: no figure", std::nullopt},
      {"usage again", usage(7)},
  };
  for (const auto& s : steps) {
    source_->days[dayKey(0)] = usage(1);
    source_->months.erase("2025-03");
    if (s.answer) {
      source_->months["2025-03"] = *s.answer;
    }
    refreshFully();
    EXPECT_EQ(s.answer, viewModel_->monthSummary() ? std::optional(monthTotals()) : std::nullopt)
        << s.step;
  }
  EXPECT_EQ(4u, source_->monthQueries.size());
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
  EXPECT_EQ(at("2025-03-25T23:00:00.000Z"), source_->readAheadFrom.back())
      << "reads from the oldest of the six past days, before the month's first";
  EXPECT_EQ("2025-04", viewModel_->monthSummary()->id);
  EXPECT_EQ("This Month (April 2025)", viewModel_->monthSummary()->label);
  EXPECT_EQ(usage(5), monthTotals());
}

TEST_F(MonthSummaryTest, EachModelsPartIsShownAsTheSourceHasIt) {
  const auto part = [](const char* model, bool longContext, std::int64_t input) {
    return ModelUsage{.model = model, .longContext = longContext, .totals = usage(input)};
  };
  source_->days[dayKey(0)] = usage(300);
  source_->months["2025-03"] = usage(1'050);
  source_->monthModels["2025-03"] = {part("gpt-5.1-codex-mini", false, 50),
                                     part("gpt-5.5", false, 900), part("gpt-5.5", true, 100)};
  refreshFully();
  EXPECT_EQ(source_->monthModels["2025-03"], viewModel_->monthSummary()->models);
}

}  // namespace
}  // namespace nubrel::testing

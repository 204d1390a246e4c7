// TokenUsageViewModel: construction, the published fields with their observers, and the refresh
// job in its four stages. The plan and the recent days are in RecentDays.cpp, the month figure
// in MonthSummary.cpp.
#include "viewmodel/TokenUsageViewModel.h"

#include <exception>
#include <type_traits>
#include <utility>

#include "service/TokenUsageError.h"
#include "ui/TokenUsageFormatter.h"

namespace nubrel {
namespace {

// For a failure that carries no text of its own (an exception not derived from std::exception).
constexpr const char* kUnknownFailure = "The token usage could not be read.";

}  // namespace

// One refresh, carried from stage to stage across the yields. It holds the service strongly and
// the view model weakly until stage 1 finds it, then strongly, so that a job that has started
// always runs to its end.
struct TokenUsageViewModel::RefreshJob {
  enum class Failure { none, sessionsDirectoryMissing, other };

  std::shared_ptr<TokenUsageSource> service;
  std::weak_ptr<TokenUsageViewModel> weakViewModel;
  std::shared_ptr<TokenUsageViewModel> viewModel;

  Instant referenceDate{};
  std::vector<DailyTokenUsage> todayList;
  std::optional<TokenTotals> todayTotals;
  Failure failure = Failure::none;
  std::string failureText;
  RefreshPlan plan;
  BackgroundFetchResult fetched;
};

std::shared_ptr<TokenUsageViewModel> TokenUsageViewModel::make(
    std::shared_ptr<TokenUsageSource> service, EventLoop& loop, const Clock& clock,
    const Calendar& calendar, const DateNames& names, Preferences& preferences,
    PriceCatalog prices) {
  std::shared_ptr<TokenUsageViewModel> viewModel(new TokenUsageViewModel(
      std::move(service), loop, clock, calendar, names, preferences, std::move(prices)));
  viewModel->refresh();
  // The timer must not keep the view model alive: it holds it weakly and dies with it.
  viewModel->timerCancellable_ =
      loop.startRepeating(kRefreshInterval, [weak = std::weak_ptr(viewModel)] {
        if (const auto strong = weak.lock()) {
          strong->refresh();
        }
      });
  return viewModel;
}

TokenUsageViewModel::TokenUsageViewModel(std::shared_ptr<TokenUsageSource> service, EventLoop& loop,
                                         const Clock& clock, const Calendar& calendar,
                                         const DateNames& names, Preferences& preferences,
                                         PriceCatalog prices)
    : service_(std::move(service)),
      loop_(loop),
      clock_(clock),
      calendar_(calendar),
      names_(names),
      preferences_(preferences),
      priceCatalog_(std::move(prices)) {}

const std::vector<DailyTokenUsage>& TokenUsageViewModel::dailyUsages() const {
  return dailyUsages_;
}
const std::optional<Instant>& TokenUsageViewModel::lastUpdated() const {
  return lastUpdated_;
}
const std::optional<std::string>& TokenUsageViewModel::errorMessage() const {
  return errorMessage_;
}
bool TokenUsageViewModel::isLoading() const {
  return isLoading_;
}
const std::optional<TokenTotals>& TokenUsageViewModel::todayTotals() const {
  return todayTotals_;
}
const std::vector<ModelUsage>& TokenUsageViewModel::todayModels() const {
  static const std::vector<ModelUsage> kNone;
  return dailyUsages_.empty() ? kNone : dailyUsages_.front().models;
}
const PriceTable& TokenUsageViewModel::prices() const {
  return prices_;
}
UsageCost TokenUsageViewModel::costOf(const TokenTotals& totals,
                                      const std::vector<ModelUsage>& models) const {
  return nubrel::costOf(totals, models, prices_);
}
const std::vector<TokenUsageViewModel::HistoricalSummary>&
TokenUsageViewModel::historicalSummaries() const {
  return historicalSummaries_;
}
const std::optional<TokenUsageViewModel::MonthlySummary>& TokenUsageViewModel::monthSummary()
    const {
  return monthSummary_;
}

std::string TokenUsageViewModel::menuBarTitle() const {
  if (isLoading_) {
    return "Loading\u2026";
  }
  if (!todayTotals_) {
    return "Token Usage";
  }
  return TokenUsageFormatter{}.summary(*todayTotals_, costOf(*todayTotals_, todayModels()));
}

TokenUsageViewModel::ObserverId TokenUsageViewModel::addObserver(std::function<void()> observer) {
  const ObserverId id = nextObserverId_++;
  observers_.emplace(id, std::move(observer));
  return id;
}

void TokenUsageViewModel::removeObserver(ObserverId id) {
  observers_.erase(id);
}

void TokenUsageViewModel::notifyObservers() {
  // An observer may add or remove observers, itself included: walk a snapshot of the ids, skip
  // those removed meanwhile, and call a copy so that removing the running one is harmless.
  std::vector<ObserverId> ids;
  ids.reserve(observers_.size());
  for (const auto& entry : observers_) {
    ids.push_back(entry.first);
  }
  for (ObserverId id : ids) {
    if (const auto found = observers_.find(id); found != observers_.end()) {
      const std::function<void()> observer = found->second;
      observer();
    }
  }
}

template <typename Field>
void TokenUsageViewModel::publish(Field& field, std::type_identity_t<Field> value) {
  field = std::move(value);
  notifyObservers();
}

void TokenUsageViewModel::refresh() {
  if (isLoading_) {
    return;  // dropped, not queued
  }
  publish(isLoading_, true);
  publish(errorMessage_, std::nullopt);
  auto job = std::make_shared<RefreshJob>();
  job->service = service_;
  job->weakViewModel = weak_from_this();
  loop_.post([job] { runReadStage(job); });
}

void TokenUsageViewModel::runReadStage(const std::shared_ptr<RefreshJob>& job) {
  if (!job->viewModel) {
    job->viewModel = job->weakViewModel.lock();
    if (!job->viewModel) {
      return;
    }
    job->referenceDate = job->viewModel->clock_.now();
  }
  TokenUsageViewModel& self = *job->viewModel;
  bool done = true;
  try {
    done = job->service->readAhead(self.makeHistoricalPlan(job->referenceDate).readFrom,
                                   job->referenceDate, kReadSlice);
  } catch (...) {
    // The fetches that follow meet the same failure and publish it.
  }
  self.loop_.post([job, done] { done ? runTodayStage(job) : runReadStage(job); });
}

void TokenUsageViewModel::runTodayStage(const std::shared_ptr<RefreshJob>& job) {
  TokenUsageViewModel& self = *job->viewModel;
  // Nothing may leave a main-loop callback, so every failure becomes published state.
  try {
    job->todayList = job->service->fetchDailyUsage(job->referenceDate);
    if (!job->todayList.empty()) {
      job->todayTotals = job->todayList.front().totals;
    }
  } catch (const TokenUsageError& error) {
    if (error.kind() == TokenUsageError::Kind::missingMonthDirectory) {
      job->todayList.clear();  // no data today: a day of zero usage, not a failure
      job->todayTotals = TokenTotals::zero();
    } else {
      job->failure = RefreshJob::Failure::sessionsDirectoryMissing;
    }
  } catch (const std::exception& error) {
    job->failure = RefreshJob::Failure::other;
    job->failureText = error.what();
  } catch (...) {
    job->failure = RefreshJob::Failure::other;
    job->failureText = kUnknownFailure;
  }
  if (job->failure == RefreshJob::Failure::none) {
    self.loop_.post([job] { runHistoryStages(job); });
  } else {
    self.loop_.post([job] { runErrorStage(job); });
  }
}

void TokenUsageViewModel::runHistoryStages(const std::shared_ptr<RefreshJob>& job) {
  TokenUsageViewModel& self = *job->viewModel;
  job->plan = self.makeHistoricalPlan(job->referenceDate);
  job->fetched = performBackgroundFetch(job->plan.plansToFetch, job->plan.needsMonthFetch,
                                        job->referenceDate, *job->service);
  self.loop_.post([job] { runApplyStage(job); });
}

void TokenUsageViewModel::runApplyStage(const std::shared_ptr<RefreshJob>& job) {
  TokenUsageViewModel& self = *job->viewModel;
  for (const auto& [key, usage] : job->fetched.historical) {
    self.historicalCache_.insert_or_assign(key, usage);
  }
  std::vector<HistoricalSummary> summaries = self.makeHistoricalSummaries(job->plan);
  std::optional<MonthlySummary> month =
      self.makeMonthSummary(job->referenceDate, job->fetched.month);
  const bool seenUsage = (job->todayTotals && !job->todayTotals->isZero()) ||
                         !job->fetched.historical.empty() || job->fetched.month;
  // Read at every refresh, so that an edited price list shows at the next one. Set before the
  // figures are published, so that every observer sees them at the new prices.
  self.prices_ = self.priceCatalog_.load();
  if (seenUsage) {
    self.preferences_.setBool(kHasSeenUsageDataKey, true);
  }
  self.publish(self.dailyUsages_, std::move(job->todayList));
  self.publish(self.todayTotals_, job->todayTotals);
  self.publish(self.lastUpdated_, self.clock_.now());
  // Before the end of loading, so that whoever waits for it sees the limits of this refresh.
  self.publish(self.rateLimits_, job->service->latestLimits(job->referenceDate));
  self.publish(self.isLoading_, false);
  self.publish(self.historicalSummaries_, std::move(summaries));
  self.publish(self.monthSummary_, std::move(month));
}

void TokenUsageViewModel::runErrorStage(const std::shared_ptr<RefreshJob>& job) {
  TokenUsageViewModel& self = *job->viewModel;
  if (job->failure == RefreshJob::Failure::sessionsDirectoryMissing) {
    // Zero usage without a message. Where the agent has run before, the recent days and the
    // month of the last good refresh stay; where it never ran, there is nothing else to show.
    self.publish(self.dailyUsages_, {});
    self.publish(self.todayTotals_, TokenTotals::zero());
    self.publish(self.isLoading_, false);
    self.publish(self.errorMessage_, std::nullopt);
    self.publish(self.lastUpdated_, self.clock_.now());
    if (!self.preferences_.getBool(kHasSeenUsageDataKey)) {
      self.publish(self.historicalSummaries_, {});
      self.publish(self.monthSummary_, std::nullopt);
    }
    return;
  }
  self.publish(self.dailyUsages_, {});
  self.publish(self.todayTotals_, std::nullopt);
  self.publish(self.isLoading_, false);
  self.publish(self.errorMessage_, std::move(job->failureText));
  self.publish(self.historicalSummaries_, {});
  self.publish(self.monthSummary_, std::nullopt);
}

}  // namespace nubrel

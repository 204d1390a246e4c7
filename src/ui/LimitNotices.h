// LimitNotices: tells the user, once per window period, when a plan limit's use reaches the
// threshold they chose, and again when it reaches 100%.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/Instant.h"
#include "viewmodel/Preferences.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {

// The desktop's notifications; the real one is LibnotifyNotifier (app/). Never throws, and a
// notification that cannot be shown is dropped.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void notify(const std::string& summary, const std::string& body) = 0;
};

class LimitNotices {
 public:
  // An integer percentage; absent or unreadable: kDefaultThreshold; 0 or less: no notices;
  // above 100: the notice at 100% alone.
  static constexpr const char* kThresholdKey = "LimitNoticePercent";
  static constexpr std::int64_t kDefaultThreshold = 90;

  // notifier and preferences must outlive the notices.
  LimitNotices(Notifier& notifier, const Preferences& preferences)
      : notifier_(notifier), preferences_(preferences) {}

  // Looks at the view model's limits as of its last refresh; call after each refresh. A window
  // whose period had ended by then is left alone: what it shows is history.
  void check(const TokenUsageViewModel& viewModel);

 private:
  // One period of one window, and what was said in it.
  struct Period {
    std::int64_t windowMinutes = 0;
    Instant end;
    bool thresholdSent = false;
    bool fullSent = false;
  };

  Notifier& notifier_;
  const Preferences& preferences_;
  std::array<std::optional<Period>, 2> periods_;  // primary, secondary
};

}  // namespace nubrel

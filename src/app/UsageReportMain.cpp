// nubrel-usage: runs one refresh of the tray's view model on the GLib main loop and prints what
// the menu would show, as text or as JSON, for terminals, scripts and status bars.
#include <glib.h>

#include <chrono>
#include <clocale>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/GlibEventLoop.h"
#include "platform/KeyFilePreferences.h"
#include "platform/LocaleDateNames.h"
#include "platform/PosixFileSystem.h"
#include "platform/SessionsDirectory.h"
#include "platform/SystemClock.h"
#include "platform/ZonedCalendar.h"
#include "pricing/PriceCatalog.h"
#include "service/TokenUsageService.h"
#include "ui/MenuContent.h"
#include "ui/UsageReport.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {
namespace {

constexpr int kUsageError = 2;

constexpr const char* kHelp =
    "Usage: nubrel-usage [--json | --by-model] [--day YYYY-MM-DD]\n"
    "Shows the Codex agent's token usage as the Nubrel tray menu does: today's breakdown, the\n"
    "plan's limits as the agent last saw them, the six days before today and the month so far,\n"
    "with estimated costs in US dollars.\n"
    "\n"
    "  --json             print one JSON object instead of text, with each model's part\n"
    "  --by-model         under each figure, a line per model with its tokens and cost\n"
    "  --day YYYY-MM-DD   report as if that day were today (the month figure counts the\n"
    "                     whole month as the logs hold it now)\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Session logs are read below $CODEX_HOME/sessions, or ~/.codex/sessions. Month names\n"
    "follow the locale; numbers never do. Each model is priced from share/nubrel/prices.json,\n"
    "with the entries of $XDG_CONFIG_HOME/nubrel/prices.json (same shape) replacing or adding\n"
    "to them; a model in neither costs what gpt-5 costs (marked \"fallback price\").\n"
    "Exit status: 0 when the figures were read, 1 when they could not be, 2 for a bad option.\n";

// The clock of --day: the report is made as of one instant.
class FixedClock : public Clock {
 public:
  explicit FixedClock(Instant instant) : instant_(instant) {}
  Instant now() const override { return instant_; }

 private:
  Instant instant_;
};

struct Options {
  bool json = false;
  bool byModel = false;
  std::optional<std::string> day;
};

// "2025-03-21", a real Gregorian date, nothing else.
std::optional<CacheKey> parseDay(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
    return std::nullopt;
  }
  int fields[3] = {0, 0, 0};
  const std::size_t starts[3] = {0, 5, 8};
  const std::size_t lengths[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i) {
    for (char c : text.substr(starts[i], lengths[i])) {
      if (c < '0' || c > '9') {
        return std::nullopt;
      }
      fields[i] = fields[i] * 10 + (c - '0');
    }
  }
  const std::chrono::year_month_day date{std::chrono::year{fields[0]},
                                         std::chrono::month{static_cast<unsigned>(fields[1])},
                                         std::chrono::day{static_cast<unsigned>(fields[2])}};
  if (!date.ok()) {
    return std::nullopt;
  }
  return CacheKey{.year = fields[0], .month = fields[1], .day = fields[2]};
}

int usageError(const std::string& message) {
  std::cerr << "nubrel-usage: " << message << "\nTry 'nubrel-usage --help'.\n";
  return kUsageError;
}

int report(const Options& options) {
  PosixFileSystem fileSystem;
  const std::unique_ptr<ZonedCalendar> calendar = ZonedCalendar::current();
  auto service = std::make_shared<TokenUsageService>(fileSystem, *calendar, sessionsDirectory());
  const std::unique_ptr<LocaleDateNames> names = LocaleDateNames::fromEnvironment();
  KeyFilePreferences preferences;
  SystemClock systemClock;
  std::optional<FixedClock> fixedClock;
  if (options.day) {
    const std::optional<CacheKey> day = parseDay(*options.day);
    if (!day) {
      return usageError("'" + *options.day + "' is not a date of the form YYYY-MM-DD");
    }
    // Midday is inside the day on either side of a daylight-saving change.
    fixedClock.emplace(calendar->startOf(*day) + std::chrono::hours(12));
  }
  const Clock& clock = fixedClock ? static_cast<const Clock&>(*fixedClock) : systemClock;

  GlibEventLoop loop;
  GMainLoop* mainLoop = g_main_loop_new(nullptr, FALSE);
  const auto viewModel = TokenUsageViewModel::make(service, loop, clock, *calendar, *names,
                                                   preferences, PriceCatalog::installed());
  // The first refresh has published once isLoading is back to false; the assignments after it
  // in the same stage are made before the loop returns.
  viewModel->addObserver([&viewModel, mainLoop] {
    if (!viewModel->isLoading()) {
      g_main_loop_quit(mainLoop);
    }
  });
  g_main_loop_run(mainLoop);
  g_main_loop_unref(mainLoop);

  if (const auto& error = viewModel->errorMessage()) {
    std::cerr << "nubrel-usage: " << *error << "\n";
    return 1;
  }
  const MenuContent menu(viewModel, nullptr, [] {});
  std::cout << (options.json ? usageReportJson(*viewModel)
                             : usageReportText(menu.describe(),
                                               options.byModel ? viewModel.get() : nullptr));
  std::cout.flush();
  return std::cout ? 0 : 1;
}

}  // namespace
}  // namespace nubrel

int main(int argc, char** argv) {
  // Month names follow the user's locale; numbers are formatted without it.
  std::setlocale(LC_ALL, "");
  nubrel::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::cout << nubrel::kHelp;
      return 0;
    }
    if (argument == "--version") {
      std::cout << "nubrel-usage " << NUBREL_VERSION << "\n";
      return 0;
    }
    if (argument == "--json") {
      options.json = true;
    } else if (argument == "--by-model") {
      options.byModel = true;
    } else if (argument == "--day" && i + 1 < argc) {
      options.day = argv[++i];
    } else if (argument.starts_with("--day=")) {
      options.day = std::string(argument.substr(6));
    } else {
      return nubrel::usageError("unknown option '" + std::string(argument) + "'");
    }
  }
  return nubrel::report(options);
}

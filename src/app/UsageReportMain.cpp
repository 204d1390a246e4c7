// nubrel-usage: runs the tray's view model on the GLib main loop and prints what the menu would
// show, as text, as JSON or in a status bar's form, once or after every refresh.
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
#include "updater/GlibHandles.h"
#include "viewmodel/TokenUsageViewModel.h"

namespace nubrel {
namespace {

constexpr int kUsageError = 2;

constexpr int kLongestWatch = 86'400;  // seconds

constexpr const char* kHelp =
    "Usage: nubrel-usage [--json | --by-model | --format text|json|waybar|i3blocks]\n"
    "                    [--day YYYY-MM-DD] [--watch SECONDS]\n"
    "Shows the Codex agent's token usage as the Nubrel tray menu does: today's breakdown, the\n"
    "plan's limits as the agent last saw them, the six days before today and the month so far,\n"
    "with estimated costs in US dollars.\n"
    "\n"
    "  --json             print one JSON object instead of text, with each model's part\n"
    "                     (--format json)\n"
    "  --by-model         under each figure, a line per model with its tokens and cost\n"
    "  --format waybar    one JSON object for waybar's custom module: text, tooltip, class\n"
    "                     (loading, error, zero or usage)\n"
    "  --format i3blocks  the title twice, as full and short text, for i3blocks and polybar\n"
    "                     (once under --watch)\n"
    "  --day YYYY-MM-DD   report as if that day were today (the month figure counts the\n"
    "                     whole month as the logs hold it now)\n"
    "  --watch SECONDS    keep running and print one line per refresh: the loading state at\n"
    "                     once, then the report after every refresh, one every SECONDS (1 to\n"
    "                     86400), reading the logs incrementally as the tray does; text is\n"
    "                     the title alone then\n"
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

enum class Format { text, json, waybar, i3blocks };

struct Options {
  Format format = Format::text;
  bool byModel = false;
  std::optional<std::string> day;
  std::optional<int> watchSeconds;
};

std::optional<Format> parseFormat(std::string_view text) {
  const std::pair<std::string_view, Format> formats[] = {{"text", Format::text},
                                                         {"json", Format::json},
                                                         {"waybar", Format::waybar},
                                                         {"i3blocks", Format::i3blocks}};
  for (const auto& [name, format] : formats) {
    if (text == name) {
      return format;
    }
  }
  return std::nullopt;
}

// A whole number of seconds from 1 to kLongestWatch, digits only.
std::optional<int> parseSeconds(std::string_view text) {
  if (text.empty() || text.size() > 5) {
    return std::nullopt;
  }
  int seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    seconds = seconds * 10 + (c - '0');
  }
  if (seconds < 1 || seconds > kLongestWatch) {
    return std::nullopt;
  }
  return seconds;
}

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

std::string render(const Options& options, const MenuDescription& menu,
                   const TokenUsageViewModel& viewModel, bool watching) {
  switch (options.format) {
  case Format::text:
    return watching ? menu.title + "\n"
                    : usageReportText(menu, options.byModel ? &viewModel : nullptr);
  case Format::json:
    return usageReportJson(viewModel);
  case Format::waybar:
    return usageReportWaybar(menu, viewModel);
  case Format::i3blocks:
    break;
  }
  // i3blocks' persist mode and polybar's tail mode take every line as the whole new text.
  const std::string lines = usageReportI3blocks(menu);
  return watching ? lines.substr(0, lines.find('\n') + 1) : lines;
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
  const MenuContent menu(viewModel, nullptr, [] {});
  const bool watching = options.watchSeconds.has_value();
  const auto print = [&] {
    std::cout << render(options, menu.describe(), *viewModel, watching);
    std::cout.flush();
    // A status bar that went away: there is no one left to report to.
    if (!std::cout) {
      g_main_loop_quit(mainLoop);
    }
  };
  bool wasLoading = true;
  PendingIdle pendingPrint;
  // A refresh has published once isLoading is back to false; the assignments after it in the
  // same stage are made before the loop runs anything else, so the report waits for the next
  // turn of the loop.
  viewModel->addObserver([&] {
    const bool loading = viewModel->isLoading();
    if (wasLoading && !loading) {
      if (watching) {
        pendingPrint.schedule(G_PRIORITY_HIGH, print);
      } else {
        g_main_loop_quit(mainLoop);
      }
    }
    wasLoading = loading;
  });
  TimerHandle watchTimer;
  if (watching) {
    print();
    watchTimer = loop.startRepeating(std::chrono::seconds(*options.watchSeconds),
                                     [&viewModel] { viewModel->refresh(); });
  }
  g_main_loop_run(mainLoop);
  g_main_loop_unref(mainLoop);
  if (watching) {
    return 1;
  }

  const std::optional<std::string>& error = viewModel->errorMessage();
  if (error) {
    std::cerr << "nubrel-usage: " << *error << "\n";
  }
  // A status bar shows the failed state too; text and JSON say nothing but the reason.
  if (!error || options.format == Format::waybar || options.format == Format::i3blocks) {
    std::cout << render(options, menu.describe(), *viewModel, false);
    std::cout.flush();
  }
  return std::cout && !error ? 0 : 1;
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
    const auto value = [&](std::string_view option) -> std::optional<std::string_view> {
      if (argument == option && i + 1 < argc) {
        return argv[++i];
      }
      if (argument.starts_with(option) && argument.size() > option.size() &&
          argument[option.size()] == '=') {
        return argument.substr(option.size() + 1);
      }
      return std::nullopt;
    };
    if (argument == "--json") {
      options.format = nubrel::Format::json;
    } else if (argument == "--by-model") {
      options.byModel = true;
    } else if (const auto format = value("--format")) {
      const auto parsed = nubrel::parseFormat(*format);
      if (!parsed) {
        return nubrel::usageError("unknown format '" + std::string(*format) + "'");
      }
      options.format = *parsed;
    } else if (const auto seconds = value("--watch")) {
      options.watchSeconds = nubrel::parseSeconds(*seconds);
      if (!options.watchSeconds) {
        return nubrel::usageError("--watch takes whole seconds from 1 to 86400, not '" +
                                  std::string(*seconds) + "'");
      }
    } else if (const auto day = value("--day")) {
      options.day = std::string(*day);
    } else {
      return nubrel::usageError("unknown option '" + std::string(argument) + "'");
    }
  }
  if (options.watchSeconds && options.day) {
    return nubrel::usageError("--watch reports the days as they come; it takes no --day");
  }
  return nubrel::report(options);
}

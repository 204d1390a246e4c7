#!/usr/bin/env python3
"""Puts small realistic faults into src/ one at a time and tells which ones the tests catch.

A fault is caught when the build or a test fails; the file is always put back afterwards.
--skip-e2e leaves out the tests labelled e2e (the desktop-session ones).
"""
import argparse
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# (id, file, text to find, replacement, description). Rows sharing an id are one fault.
FAULTS = [
    ("ledger-order-inverted", "src/service/UsageLedger.cpp", "return a.sequence < b.sequence;",
     "return a.sequence > b.sequence;", "of two sightings at one instant in one file, the later wins"),
    ("ledger-last-day-excluded", "src/service/UsageLedger.cpp", "it->first.day <= last;",
     "it->first.day < last;", "a range of days leaves out its last day"),
    ("ledger-no-recount", "src/service/UsageLedger.cpp",
     "    if (winnerGone) {\n      count(event->occurrences[event->winner], +1);\n    }\n", "",
     "when the counted sighting goes, the next one is not counted"),
    ("reader-unfinished-skipped", "src/service/LogFileReader.cpp",
     "    processLine(file, *last);\n  }\n  return true;", "  }\n  return true;",
     "a whole last line without its LF is not counted"),
    ("reader-records-ignored", "src/service/LogFileReader.cpp",
     "    file.cursor.countsRecords = true;\n", "",
     "token_count events are counted beside the usage records that cover them"),
    ("reader-repeat-ignores-totals", "src/service/LogFileReader.cpp",
     "if (file.cursor.lastSignature == event.signature) {",
     "if (file.cursor.lastSignature &&\n      file.cursor.lastSignature->timestamp == event.signature.timestamp) {",
     "an event is taken for a repeat of the one before by its timestamp alone, whatever its totals"),
    ("reader-base-shared", "src/service/LogFileReader.cpp",
     "event.advance(file.cursor.previousTotals);",
     "event.advance(sharedBase);",
     "the running-totals base is shared across files"),
    ("reader-base-shared", "src/service/LogFileReader.cpp",
     "constexpr std::uint64_t kFingerprintBytes = 1024;",
     "constexpr std::uint64_t kFingerprintBytes = 1024;\nstd::optional<TokenTotals> sharedBase;", ""),
    ("reader-long-context-field", "src/service/LogFileReader.cpp",
     "event.last && event.last->inputTokens > kLongContextInputTokens",
     "event.total && event.total->inputTokens > kLongContextInputTokens",
     "long context judged by the running total instead of the request's own input"),
    ("fifo-opened", "src/service/TokenUsageService.cpp",
     "      if (!info.isRegular) {\n        continue;\n      }\n", "",
     "both regular-file checks removed: a FIFO named *.jsonl would be opened"),
    ("fifo-opened", "src/platform/PosixFileSystem.cpp",
     "!= 0 || !S_ISREG(before.st_mode)) {", "!= 0) {", ""),
    ("fifo-opened", "src/platform/PosixFileSystem.cpp", "!= 0 || !S_ISREG(st.st_mode)) {",
     "!= 0) {", ""),
    ("service-month-last-day", "src/service/TokenUsageService.cpp",
     ".day = static_cast<unsigned>(last.day()),", ".day = static_cast<unsigned>(last.day()) - 1,",
     "the month leaves out its last day"),
    ("service-cover-once", "src/service/TokenUsageService.cpp",
     "if (coveredFrom_ && *coveredFrom_ <= from) {", "if (coveredFrom_) {",
     "a query of earlier days does not read the older files the first walk left out"),
    ("service-gone-kept", "src/service/TokenUsageService.cpp",
     "      ledger_.withdrawFile(it->second.id);\n      it = files_.erase(it);",
     "      it = files_.erase(it);", "a deleted log's usage stays counted"),
    ("totals-saturate-inverted", "src/model/TokenTotals.cpp", "return b > 0 ? kMax : kMin;",
     "return b > 0 ? kMin : kMax;", "an overflowing sum saturates to the wrong end"),
    ("totals-delta-swapped", "src/model/TokenTotals.cpp",
     "clampedDifference(cachedInputTokens, previous.cachedInputTokens)",
     "clampedDifference(cachedInputTokens, previous.inputTokens)",
     "the cached increment is taken against the previous input"),
    ("timestamp-hour-24", "src/model/Timestamp.cpp", "*hour > 23", "*hour > 24",
     "hour 24 is accepted"),
    ("timestamp-offset-sign", "src/model/Timestamp.cpp", "if (text[pos] == '-') {",
     "if (text[pos] == '+') {", "the sign of a UTC offset is inverted"),
    ("logline-cached-alias", "src/model/TokenLogLine.cpp", '"cache_read_input_tokens"',
     '"cache_read_tokens"', "the older cached-input key is not read"),
    ("calendar-add-days-midnight", "src/platform/ZonedCalendar.cpp",
     "LocalTime{local_days{moved}} + (local - day));", "LocalTime{local_days{moved}});",
     "adding days drops the time of day"),
    ("calendar-gap-latest", "src/platform/ZonedCalendar.cpp", "date::choose::earliest",
     "date::choose::latest", "a repeated local time maps to its second occurrence"),
    ("keyfile-save-fifo", "src/platform/KeyFileStore.cpp",
     "std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)",
     "std::filesystem::is_directory(status)",
     "preferences are written through a FIFO or device in their place"),
    ("timestamp-short-fraction", "src/model/Timestamp.cpp", "i = fractionDigits; i < 6; ++i",
     "i = fractionDigits; i < 5; ++i", "a fraction of fewer than six digits is scaled one place short"),
    ("totals-cached-uncapped", "src/model/TokenTotals.cpp",
     "std::clamp<std::int64_t>(cachedInputTokens, 0, n.inputTokens)",
     "std::max<std::int64_t>(cachedInputTokens, 0)", "cached input is not capped at the input"),
    ("logline-reasoning-key", "src/model/TokenLogLine.cpp",
     '"reasoning_output_tokens", totals.reasoningOutputTokens',
     '"reasoning_tokens", totals.reasoningOutputTokens',
     "reasoning output is read under a key the agent never writes"),
    ("timestamp-offset-minutes", "src/model/Timestamp.cpp",
     "offset = hours{*offsetHours} + minutes{*offsetMinutes};", "offset = hours{*offsetHours};",
     "the minutes of a UTC offset are dropped"),
    ("reader-rewrite-unnoticed", "src/service/LogFileReader.cpp",
     "fingerprintOf(*handle, file.offset) != file.fingerprint) {",
     "!fingerprintOf(*handle, file.offset)) {",
     "a file rewritten in place keeps what its old bytes counted"),
    ("reader-older-limits-win", "src/service/LogFileReader.cpp",
     "if (!inserted && found->second.observedAt < *instant) {", "if (!inserted) {",
     "the limits of the line read last stand for the day, however old"),
    ("reader-old-parent-unread", "src/service/LogFileReader.cpp",
     "        parentsToFind_.push_back(*payload->parentSessionId);\n", "",
     "a fork's parent older than the days asked about is not read"),
    ("walk-hidden-read", "src/platform/PosixFileSystem.cpp",
     "    if (entry->d_name[0] == '.') {\n      continue;\n    }\n    const std::string_view name(entry->d_name);\n",
     "    const std::string_view name(entry->d_name);\n    if (name == \".\" || name == \"..\") {\n      continue;\n    }\n",
     "hidden directories of the sessions tree are read"),
    ("timestamp-seventh-digit", "src/model/Timestamp.cpp", "if (fractionDigits < 6) {",
     "if (fractionDigits <= 6) {", "a seventh digit of the fraction is read as microseconds"),
    ("preferences-integer-any", "src/platform/KeyFilePreferences.cpp",
     "g_key_file_get_int64(keyFile.get(), kGroup, key.c_str(), &error);",
     "g_key_file_get_int64(keyFile.get(), kGroup, key.c_str(), nullptr);",
     "a preference that is no number reads as 0"),
    ("sessions-empty-codex-home", "src/platform/SessionsDirectory.cpp",
     "codexHome && *codexHome", "codexHome", "an empty CODEX_HOME puts the sessions at /sessions"),
    ("eventloop-post-priority", "src/platform/GlibEventLoop.cpp",
     "g_source_set_priority(source, G_PRIORITY_LOW);",
     "g_source_set_priority(source, G_PRIORITY_DEFAULT);",
     "posted tasks run before the sources that are busier"),
    ("viewmodel-yesterday", "src/viewmodel/RecentDays.cpp", ".isYesterday = k == 1",
     ".isYesterday = k == 0", "no day is labelled Yesterday"),
    ("viewmodel-five-days", "src/viewmodel/RecentDays.cpp", "k <= kPastDays; ++k) {",
     "k < kPastDays; ++k) {", "the recent days stop one day short"),
    ("viewmodel-month-key-no-year", "src/viewmodel/RecentDays.cpp",
     '"%04lld-%02lld", static_cast<long long>(day.year),\n                static_cast<long long>(day.month));',
     '"%02lld", static_cast<long long>(day.month));', "the month key ignores the year"),
    ("format-thousand-boundary", "src/ui/TokenUsageFormatter.cpp", "if (magnitude >= 1'000) {",
     "if (magnitude > 1'000) {", "exactly 1000 tokens shows as 1000, not 1K"),
    ("format-dangling-point", "src/ui/TokenUsageFormatter.cpp",
     "    if (text.ends_with('.')) {\n      text.pop_back();\n    }\n", "",
     "a whole abbreviated count keeps its decimal point"),
    ("menu-updates-without-updater", "src/ui/MenuContent.cpp",
     "updates.enabled = updaterController_ && ", "updates.enabled = !updaterController_ || ",
     "Check for Updates... is enabled without an updater"),
    ("menu-tooltip-limits-dropped", "src/ui/MenuContent.cpp",
     "MenuEntry::Kind::row && !description.details.empty()) {",
     "MenuEntry::Kind::row && description.details.empty()) {",
     "the tooltip leaves out the limit rows"),
    ("report-counters-swapped", "src/ui/UsageReport.cpp",
     "decimal(totals.outputTokens) + R\"(,\"reasoningOutputTokens\":)\" +\n         decimal(totals.reasoningOutputTokens)",
     "decimal(totals.reasoningOutputTokens) + R\"(,\"reasoningOutputTokens\":)\" +\n         decimal(totals.outputTokens)",
     "the JSON report swaps output and reasoning counters"),
    ("cost-cached-rate", "src/pricing/UsageCost.cpp", "times(tokens[1], rates.cachedInput)",
     "times(tokens[1], rates.input)", "cached input is priced as uncached input"),
    ("cost-long-context-flag", "src/pricing/UsageCost.cpp",
     "longContext && price.longContext ?", "!longContext && price.longContext ?",
     "the long-context tier prices the short requests and not the long ones"),
    ("format-negative-magnitude", "src/ui/TokenUsageFormatter.cpp",
     "count < 0 ? 0 - static_cast<std::uint64_t>(count) : static_cast<std::uint64_t>(count);",
     "static_cast<std::uint64_t>(count);",
     "a negative count picks its unit from the wrapped value"),
    ("cost-reasoning-twice", "src/pricing/UsageCost.cpp",
     "remainder(totals.outputTokens, totals.reasoningOutputTokens),", "totals.outputTokens,",
     "the output row keeps the reasoning tokens, so they are shown and charged twice"),
    ("prices-override-ignored", "src/pricing/PriceCatalog.cpp",
     "    table.overrideWith(*user);\n", "", "the user's price list is read but not applied"),
    ("viewmodel-ordinal-teens", "src/viewmodel/RecentDays.cpp", "if ((day / 10) % 10 != 1) {",
     "if (day / 10 != 1) {", "111 is labelled 111st"),
    ("viewmodel-cached-day-refetched", "src/viewmodel/RecentDays.cpp",
     "if (!historicalCache_.contains(day.key)) {", "if (true) {",
     "past days already held are asked again at every refresh"),
    ("viewmodel-error-keeps-history", "src/viewmodel/TokenUsageViewModel.cpp",
     "  self.publish(self.errorMessage_, std::move(job->failureText));\n"
     "  self.publish(self.historicalSummaries_, {});\n",
     "  self.publish(self.errorMessage_, std::move(job->failureText));\n",
     "after a failed refresh the recent days of the last good one stay shown"),
    ("notice-threshold-repeated", "src/ui/LimitNotices.cpp",
     "window.usedPercent >= static_cast<double>(threshold) && !period->thresholdSent) {",
     "window.usedPercent >= static_cast<double>(threshold)) {",
     "the threshold notice is shown again at every refresh of the period"),
    ("report-control-chars-pass", "src/ui/UsageReport.cpp",
     "if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {", "if (c == 0x7F) {",
     "a model id from a log reaches the terminal with its control characters"),
    ("menu-limit-rows-enabled", "src/ui/MenuContent.cpp", "    made.enabled = false;\n", "",
     "the limit rows are shown enabled"),
    ("bench-expected-running-total", "bench/SessionLog.cpp",
     "expected_.addRequest(now_, usage, session_.model);",
     "expected_.addRequest(now_, total_, session_.model);",
     "the generator's expected sums add the running total instead of the request's usage"),
    ("viewmodel-plan-steps-instants", "src/viewmodel/RecentDays.cpp",
     "const CacheKey past = daysBefore(today, k);",
     "const CacheKey past = calendar_.dayOf(calendar_.addingDays(referenceDate, -k).value());",
     "the past days step back by 24 hours, not by whole local dates"),
    ("version-numbers-by-text", "src/updater/VersionComparator.cpp",
     "  if (a.size() != b.size()) {\n    return a.size() <=> b.size();\n  }\n", "",
     "numbers compare as text: 10 sorts before 9"),
    ("version-prerelease-inverted", "src/updater/VersionComparator.cpp",
     "if (pb.type == PartType::text) {\n      return std::strong_ordering::greater;",
     "if (pb.type == PartType::text) {\n      return std::strong_ordering::less;",
     "a pre-release counts as newer than the release"),
    ("feed-any-ip-over-http", "src/updater/FeedURLRules.cpp",
     "return address && g_inet_address_get_is_loopback(address.get());",
     "return address != nullptr;", "any literal IP address may serve the feed over http"),
    ("feed-page-length-after-normalising", "src/updater/FeedURLRules.cpp",
     "  if (result.size() > kMaxWebPageURLLength) {\n    return std::nullopt;\n  }\n  return result;",
     "  return result;", "the web page length limit is not applied after normalising"),
    ("appcast-length-not-digits", "src/updater/Appcast.cpp",
     "if (!text || text->empty() ||\n      !std::all_of(text->begin(), text->end(), [](char c) { return c >= '0' && c <= '9'; })) {",
     "if (!text || text->empty()) {", "an enclosure length such as 12abc is read as 12"),
    ("appcast-oldest", "src/updater/Appcast.cpp",
     "compareVersions(item.version, newest->version) > 0",
     "compareVersions(item.version, newest->version) < 0", "the oldest item is taken as newest"),
    ("info-json-not-regular", "src/updater/InfoDictionary.cpp",
     "!std::filesystem::is_regular_file(file, error)", "!std::filesystem::exists(file, error)",
     "Info.json is read when it is not a regular file"),
    ("installer-bad-key-fetches", "src/updater/UpdateInstaller.cpp",
     "if (!publicEDKey || !decodeBase64(*publicEDKey, 32)) {", "if (!publicEDKey) {",
     "a malformed public key does not stop the download"),
    ("feed-redirect-https-to-http", "src/updater/FeedURLRules.cpp",
     "g_ascii_strcasecmp(g_uri_get_scheme(source.get()), \"https\") == 0 &&",
     "g_ascii_strcasecmp(g_uri_get_scheme(source.get()), \"http\") == 0 &&",
     "a feed fetched over https may be redirected to plain http"),
    ("fetch-limit-inclusive", "src/updater/FeedFetcher.cpp",
     "if (op->received.size() > op->limits.maxBodyBytes) {",
     "if (op->received.size() >= op->limits.maxBodyBytes) {",
     "a body of exactly the size limit is refused"),
    ("appcast-channel-inverted", "src/updater/Appcast.cpp",
     "!(channel && isValidChannelName(*channel));", "!(channel && !isValidChannelName(*channel));",
     "items of other channels are offered and those with an invalid channel left out"),
    ("installer-short-package", "src/updater/UpdateInstaller.cpp",
     "  if (package.size() != enclosure.length) {\n    finish(error(UpdateError::Kind::lengthMismatch));\n    return;\n  }\n  switch",
     "  switch", "a package shorter than the feed's length is installed"),
    ("installer-download-kept", "src/updater/UpdateInstaller.cpp",
     "      [this, generation, package = *path](int status) {\n        removeDownload(package);\n",
     "      [this, generation, package = *path](int status) {\n", "the installed package stays on disk"),
    ("updater-scheduled-up-to-date", "src/updater/StandardUpdater.cpp",
     "  } else if (visible) {\n    driver_.showUpToDate", "  } else {\n    driver_.showUpToDate",
     "a scheduled check shows that the app is up to date"),
    ("updater-future-check-kept", "src/updater/StandardUpdater.cpp",
     "if (!last || *last > now) {", "if (!last) {",
     "a last check time in the future postpones checks until then"),
    ("updater-version-control-chars", "src/updater/StandardUpdater.cpp",
     "if (g_unichar_iscntrl(c) || c == 0x2028 || c == 0x2029) {", "if (c == 0x2028 || c == 0x2029) {",
     "a feed's version may break lines in the window"),
    ("driver-closes-without-browser", "src/updater/GtkUpdateUserDriver.cpp",
     "  if (window_ && opener_(uri)) {\n    dismiss();\n  }", "  opener_(uri);\n  dismiss();",
     "the window closes even when no browser could be started"),
    ("subprocess-signal-status", "src/updater/SubprocessRunner.cpp",
     "g_subprocess_get_if_exited(subprocess) ? g_subprocess_get_exit_status(subprocess) : -1;",
     "g_subprocess_get_exit_status(subprocess);",
     "a command killed by a signal is reported with an exit status"),
    ("appcast-entities-expanded", "src/updater/Appcast.cpp",
     "XML_PARSE_NONET | XML_PARSE_NOERROR", "XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_NOERROR",
     "a feed's entities are expanded and its external ones loaded"),
    ("sign-update-length", "scripts/sign-update.sh", 'length=$(stat -c %s "$package")',
     'length=$(($(stat -c %s "$package") - 1))', "the release script prints a wrong length"),
    ("app-click-while-disabled", "src/app/GtkTrayMenu.cpp",
     "if (!item->entry.enabled || !item->entry.action) {", "if (!item->entry.action) {",
     "a click on a disabled entry runs its action"),
    ("app-check-while-busy", "src/app/CheckForUpdatesView.cpp",
     "if (!canCheckForUpdates() || pendingCheck_) {", "if (pendingCheck_) {",
     "Check for Updates... starts a check while it is disabled"),
    ("app-updates-not-reenabled", "src/app/NubrelApp.cpp",
     "      [this] { trayItem_->invalidate(); });", "      [] {});",
     "Check for Updates... is not enabled again when a check ends"),
    ("app-gate-waits-full", "src/app/NubrelApp.cpp",
     "setConnectionObserver([this](bool) { launchGate_.open(); });",
     "setConnectionObserver([](bool) {});",
     "the refresh waits the full 2 s for a panel that already answered"),
    ("app-title-only-ignored", "src/app/TrayItem.cpp",
     "description.iconName != symbolName_ || description.title != title_ ||",
     "description.iconName != symbolName_ ||",
     "the label is not updated when only the title changes"),
    ("app-label-signal-dropped", "src/app/StatusNotifierItem.cpp",
     '    emit("XAyatanaNewLabel", g_variant_new("(ss)", appearance_.title.c_str(), labelGuide_.c_str()));\n',
     "", "a new title does not announce the new label"),
    ("app-second-instance-runs", "src/app/NubrelApp.cpp", "  return result != kNameHasOwner;",
     "  return true;", "a second start runs beside the first"),
    ("app-sighup-kills", "src/app/NubrelApp.cpp", "{SIGTERM, SIGINT, SIGHUP}", "{SIGTERM, SIGINT}",
     "SIGHUP ends the program without its quit path"),
    ("app-fallback-never-shown", "src/app/TrayItem.cpp", "fallback_.setVisible(!connected);",
     "fallback_.setVisible(false);", "the plain tray icon never shows while no panel has the item"),
    ("app-tooltip-signal-dropped", "src/app/StatusNotifierItem.cpp", '    emit("NewToolTip");\n',
     "", "hosts are not told that the tooltip changed"),
    ("app-activate-ignored", "src/app/StatusNotifierItem.cpp",
     '(name == "Activate" || name == "ContextMenu")', '(name == "ContextMenu")',
     "a left click (Activate) does not open the menu"),
    ("app-gate-reversed", "src/app/LaunchGate.cpp", "held_.push_back(std::move(task));",
     "held_.insert(held_.begin(), std::move(task));", "held work runs newest first"),
    ("app-menu-label-kept", "src/app/GtkTrayMenu.cpp", "shown.title != wanted.title ||", "",
     "an entry whose label changed keeps its old label"),
    ("usage-watch-no-first-line", "src/app/UsageReportMain.cpp",
     "  if (watching) {\n    print();\n", "  if (watching) {\n",
     "--watch prints nothing before the first refresh"),
    ("usage-impossible-day", "src/app/UsageReportMain.cpp", "  if (!date.ok()) {",
     "  if (false) {", "--day takes an impossible date such as 2025-02-30"),
]

# The test binaries and the programs the tests start; ninja rebuilds only those the file feeds.
TARGETS = ["nubrel_tests", "nubrel-usage", "nubrel", "nubrel_updater_tests",
           "nubrel_e2e_tests"]


def grouped():
    faults = {}
    for fid, path, find, replace, description in FAULTS:
        faults.setdefault(fid, {"id": fid, "edits": [], "description": description})
        faults[fid]["edits"].append((path, find, replace))
    return list(faults.values())


def run(cmd, log):
    with open(log, "a") as out:
        out.write("$ " + " ".join(cmd) + "\n")
        out.flush()
        return subprocess.run(cmd, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT).returncode


def try_fault(fault, args, targets, log):
    originals = {}
    try:
        for path, find, replace in fault["edits"]:
            file = ROOT / path
            current = file.read_text()
            originals.setdefault(file, current)
            if current.count(find) != 1:
                return "stale", ""
            file.write_text(current.replace(find, replace))
        if run(["cmake", "--build", str(args.build), "-j2", "--target", *targets], log) != 0:
            return "caught", "build failed"
        # One failure settles it; without the stop a fault that hangs the desktop-session tests
        # would wait out each one's 300 s in turn. A test must fail twice, so a flaky one that
        # happens to fail does not pass for a catch.
        test = ["ctest", "--test-dir", str(args.build), "-j2", "--timeout", "120",
                "--stop-on-failure", "--repeat", "until-pass:2"]
        if run(test + (["-LE", "e2e"] if args.skip_e2e else []), log) != 0:
            tail = Path(log).read_text(errors="replace").rsplit("The following tests FAILED:", 1)
            names = re.findall(r"^\s*\d+ - (\S+)", tail[-1], re.M) if len(tail) == 2 else []
            return "caught", ", ".join(names[:3]) + (" ..." if len(names) > 3 else "")
        return "missed", ""
    finally:
        for file, text in originals.items():
            file.write_text(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", type=Path)
    parser.add_argument("--skip-e2e", action="store_true")
    parser.add_argument("--only", default="")
    parser.add_argument("--list", action="store_true")
    args = parser.parse_args()
    faults = grouped()
    if args.only:
        wanted = set(args.only.split(","))
        if unknown := wanted - {f["id"] for f in faults}:
            sys.exit("unknown fault ids: " + ", ".join(sorted(unknown)))
        faults = [f for f in faults if f["id"] in wanted]
    if args.list:
        for fault in faults:
            files = ", ".join(sorted({p for p, _, _ in fault["edits"]}))
            print(f"{fault['id']:36} {files}\n{'':36} {fault['description']}")
        return
    # A TERM (a CI timeout, a closed terminal) restores the file as Ctrl-C does.
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
    if not (ROOT / args.build / "CMakeCache.txt").exists():
        subprocess.run(["cmake", "-S", ".", "-B", str(args.build), "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DNUBREL_WERROR=ON"], cwd=ROOT,
                       check=True)
    # Without a GUI build some targets do not exist, and asking ninja for them fails the build.
    known = subprocess.run(["ninja", "-C", str(args.build), "-t", "targets", "all"], cwd=ROOT,
                           capture_output=True, text=True).stdout
    targets = [t for t in TARGETS if f"\n{t}:" in "\n" + known]
    log = ROOT / args.build / "inject-faults.log"
    log.write_text("")
    # The unchanged tree must build, so that a failed build is the fault's.
    if run(["cmake", "--build", str(args.build), "-j2", "--target", *targets], log) != 0:
        sys.exit(f"the unchanged tree does not build; see {log}")
    results = []
    try:
        for fault in faults:
            started = time.monotonic()
            verdict, note = try_fault(fault, args, targets, log)
            results.append((fault, verdict))
            print(f"{fault['id']:36} {verdict:6} {time.monotonic() - started:4.0f}s  "
                  f"{note or fault['description']}", flush=True)
    except KeyboardInterrupt:
        print("interrupted; the figures cover the faults above")
    count = {v: sum(1 for _, verdict in results if verdict == v)
             for v in ("caught", "missed", "stale")}
    print(f"\n{len(results)} faults: {count['caught']} caught, {count['missed']} missed, "
          f"{count['stale']} stale")
    for fault, verdict in results:
        if verdict != "caught":
            print(f"  {verdict}: {fault['id']} - {fault['description']}")


if __name__ == "__main__":
    main()

// nubrel_tray_startup: starts the real nubrel in a private desktop session (Xvfb, a session bus
// and a panel played here) on a given session tree, and prints how long it took to register its
// item and to publish its first figures, and its memory once idle.
//   nubrel_tray_startup CODEX_HOME [IDLE_SECONDS]
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

#include "e2e/Desktop.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace nubrel::testing;

// A "Vm…:" line of /proc/PID/status, in MB.
double procStatusMegabytes(int pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::stod(line.substr(field.size() + 1)) / 1024.0;
    }
  }
  return -1;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: nubrel_tray_startup CODEX_HOME [IDLE_SECONDS]\n", stderr);
    return 2;
  }
  const int idleSeconds = argc > 2 ? std::stoi(argv[2]) : 10;
  g_setenv("NO_AT_BRIDGE", "1", TRUE);  // no accessibility bus on the private one
  startDesktop();
  const TempDir home;
  Panel panel;
  if (!waitUntil([&] { return panel.owns; }, std::chrono::seconds(10))) {
    std::fputs("nubrel_tray_startup: could not play the panel\n", stderr);
    return 1;
  }
  Env env = desktopEnvironment(home.path());
  env["CODEX_HOME"] = argv[1];

  const auto start = Clock::now();
  Program nubrel(desktop().program, env, home.path() / "nubrel");
  if (!waitUntil([&] { return !panel.paths.empty() || nubrel.ended(); }) || panel.paths.empty()) {
    std::fputs("nubrel_tray_startup: the item never registered\n", stderr);
    return 1;
  }
  const double registered = secondsSince(start);
  std::string text;
  waitUntil(
      [&] {
        text = label();
        return !text.empty() && text != "Loading\u2026";
      },
      std::chrono::seconds(600));
  const double titled = secondsSince(start);

  waitUntil([] { return false; }, std::chrono::seconds(idleSeconds));
  std::printf("item registered after %.2f s; first figures \"%s\" after %.2f s\n", registered,
              text.c_str(), titled);
  std::printf("after %d s idle: resident %.1f MB (peak %.1f MB)\n", idleSeconds,
              procStatusMegabytes(nubrel.pid(), "VmRSS"),
              procStatusMegabytes(nubrel.pid(), "VmHWM"));
  nubrel.signal(SIGTERM);
  waitUntil([&] { return nubrel.ended(); }, std::chrono::seconds(10));
  const bool clean = nubrel.exitStatus() == 0;
  stopDesktop();
  return clean ? 0 : 1;
}

// The updater's real GTK windows on a virtual X display: what they offer, what their buttons do,
// and the assembled controller showing a check.
#include "updater/GtkUpdateUserDriver.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempDir.h"
#include "updater/FeedServer.h"
#include "updater/GtkTestDisplay.h"
#include "updater/InfoDictionary.h"
#include "updater/MainLoop.h"
#include "updater/SPUStandardUpdaterController.h"
#include "updater/UpdaterHarness.h"

namespace nubrel {
namespace {

TEST(GtkUpdateUserDriverTest, ButtonsDoWhatTheySayOnlyTheUserCancelsAndTheControllerShowsChecks) {
  if (!testing::startGtkOnVirtualDisplay()) {
    GTEST_SKIP() << "no virtual X display (is Xvfb installed?)";
  }
  std::vector<std::string> opened;
  bool browserWorks = true;
  GtkUpdateUserDriver driver([&](const std::string& uri) {
    opened.push_back(uri);
    return browserWorks;
  });
  const auto button = [&](const std::string& label) {
    return testing::findButton(GTK_WIDGET(driver.window()), label);
  };
  const auto click = [&](const std::string& label) { gtk_button_clicked(button(label)); };
  const UpdateOffer offer{"Nubrel", "1.2", "1.3", "https://n.app/notes", "https://n.app/page"};
  int cancels = 0, installs = 0;
  driver.showCheckingForUpdates([&] { ++cancels; });
  click("Cancel");
  driver.showDownloading([&] { ++cancels; });
  gtk_window_close(driver.window());  // as the window manager's close button does
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return driver.window() == nullptr; }));
  driver.showCheckingForUpdates([&] { ++cancels; });
  driver.showUpdateFound(offer, [&] { ++installs; });  // replaced by the program: no cancel
  EXPECT_EQ(nullptr, button("Learn More…")) << "offered with a package to install";
  click("Install Update");
  EXPECT_EQ(2, cancels);
  EXPECT_EQ(1, installs);
  driver.showUpdateFound({"Nubrel", "1.2", "1.3"}, {});
  EXPECT_TRUE(button("Remind Me Later") && !button("Release Notes") && !button("Learn More…"));
  driver.showUpdateFound(offer, {});
  click("Release Notes");
  EXPECT_EQ(nullptr, driver.window());
  browserWorks = false;
  driver.showUpdateFound(offer, {});
  click("Learn More…");
  EXPECT_NE(nullptr, driver.window()) << "stays when no browser could be started";
  EXPECT_EQ((std::vector<std::string>{"https://n.app/notes", "https://n.app/page"}), opened);
  driver.dismiss();

  // The assembled controller shows a user's check in its own windows.
  testing::FeedServer server;
  server.serve("/cast", testing::appcast(bundleInfo().version));
  auto controller = std::make_unique<SPUStandardUpdaterController>(
      false, std::make_shared<testing::FeedAt>(server.url("/cast")));
  const auto headline = [] {
    const auto windows = testing::visibleWindows();
    return windows.empty() ? "" : testing::labelTexts(GTK_WIDGET(windows.back())).front();
  };
  controller->checkForUpdates();
  EXPECT_EQ("Checking for updates…", headline());
  ASSERT_TRUE(
      testing::runMainLoopUntil([&] { return controller->updater().canCheckForUpdates(); }));
  EXPECT_EQ("You're up to date!", headline());
  controller.reset();
  EXPECT_EQ("", headline());
}

// The real opener, with a browser of the test's own as the desktop's handler of https pages: GTK
// must not finish the launch with the window that asked, which is closed by then.
TEST(GtkUpdateUserDriverTest, LearnMoreOpensThePageAndLeavesNothingThatUsesTheClosedWindow) {
  if (!testing::startGtkOnVirtualDisplay()) {
    GTEST_SKIP() << "no virtual X display (is Xvfb installed?)";
  }
  testing::TempDir dir;
  const auto opened = dir.path() / "opened";
  const auto browser =
      dir.write("browser", "#!/bin/sh\necho \"$1\" >> '" + opened.string() + "'\n");
  std::filesystem::permissions(browser, std::filesystem::perms::owner_all);
  const std::filesystem::path data = g_getenv("XDG_DATA_HOME"),
                              config = g_getenv("XDG_CONFIG_HOME");
  std::filesystem::create_directories(data / "applications");
  std::filesystem::create_directories(config);
  std::ofstream(data / "applications" / "test-browser.desktop")
      << "[Desktop Entry]\nType=Application\nName=Browser\nExec=" << browser.string()
      << " %u\nMimeType=x-scheme-handler/https;\n";
  std::ofstream(config / "mimeapps.list")
      << "[Default Applications]\nx-scheme-handler/https=test-browser.desktop\n";
  static std::string complaints;
  const GLogFunc previous = g_log_set_default_handler(
      [](const gchar*, GLogLevelFlags, const gchar* text, gpointer) { complaints += text; },
      nullptr);
  GtkUpdateUserDriver driver;
  driver.showUpdateFound({"Nubrel", "1.2", "1.3", std::nullopt, "https://n.app/1.3"}, {});
  gtk_button_clicked(testing::findButton(GTK_WIDGET(driver.window()), "Learn More…"));
  EXPECT_EQ(nullptr, driver.window());
  // The browser tells nothing back: its file is looked for between turns of the main loop, which
  // must run for GTK to finish the launch. The shell makes the file before it writes the line.
  const auto page = [&] {
    std::ifstream in(opened);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  for (int i = 0; i < 400 && !page().ends_with('\n'); ++i) {
    testing::drainMainLoop();
    g_usleep(25'000);
  }
  testing::drainMainLoop();
  g_log_set_default_handler(previous, nullptr);
  EXPECT_EQ("", complaints);
  EXPECT_EQ("https://n.app/1.3\n", page());
}

}  // namespace
}  // namespace nubrel

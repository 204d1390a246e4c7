// The updater's real GTK windows on a virtual X display: what they offer, what their buttons do,
// and the assembled controller showing a check.
#include "updater/GtkUpdateUserDriver.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace nubrel

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

const UpdateOffer kOffer{"Nubrel", "1.2", "1.3", "https://n.app/notes", "https://n.app/page"};

void collectButtons(GtkWidget* widget, gpointer labels) {
  if (GTK_IS_BUTTON(widget)) {
    *static_cast<std::string*>(labels) +=
        std::string("|") + gtk_button_get_label(GTK_BUTTON(widget));
  } else if (GTK_IS_CONTAINER(widget)) {
    gtk_container_forall(GTK_CONTAINER(widget), collectButtons, labels);
  }
}

// The texts of the windows shown, one per line, then the buttons' labels each after a "|".
std::string shown() {
  std::string texts, buttons;
  for (GtkWindow* window : testing::visibleWindows()) {
    for (const auto& text : testing::labelTexts(GTK_WIDGET(window))) {
      texts += text + "\n";
    }
    collectButtons(GTK_WIDGET(window), &buttons);
  }
  return texts + buttons;
}

struct FeedAt : SPUUpdaterDelegate {
  explicit FeedAt(std::string u) : url(std::move(u)) {}
  std::string feedURLString(const SPUUpdater&) const override { return url; }
  std::string url;
};

class GtkUpdateUserDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::startGtkOnVirtualDisplay()) {
      GTEST_SKIP() << "no virtual X display (is Xvfb installed?)";
    }
  }
  void click(const std::string& label) {
    GtkWidget* window = GTK_WIDGET(driver_.window());
    GtkButton* button = window ? testing::findButton(window, label) : nullptr;
    ASSERT_NE(nullptr, button) << label;
    gtk_button_clicked(button);
  }

  std::vector<std::string> opened_;
  bool browserWorks_ = true;
  GtkUpdateUserDriver driver_{[this](const std::string& uri) {
    opened_.push_back(uri);
    return browserWorks_;
  }};
};

TEST_F(GtkUpdateUserDriverTest, ButtonsOfferWhatTheUpdateHasAndOnlyTheUserCancels) {
  int cancels = 0, installs = 0;
  driver_.showCheckingForUpdates([&] { ++cancels; });
  click("Cancel");
  driver_.showDownloading([&] { ++cancels; });
  gtk_window_close(driver_.window());  // as the window manager's close button does
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return driver_.window() == nullptr; }));
  driver_.showCheckingForUpdates([&] { ++cancels; });
  driver_.showUpdateFound(kOffer, [&] { ++installs; });  // replaced by the program: no cancel
  EXPECT_TRUE(shown().ends_with("|Release Notes|Remind Me Later|Install Update")) << shown();
  click("Install Update");
  EXPECT_EQ(2, cancels);
  EXPECT_EQ(1, installs);
  driver_.showUpdateFound({"Nubrel", "1.2", "1.3"}, {});
  EXPECT_TRUE(shown().ends_with("\n|Remind Me Later")) << shown();
  driver_.showUpdateFound(kOffer, {});
  click("Release Notes");
  EXPECT_EQ(nullptr, driver_.window());
  browserWorks_ = false;
  driver_.showUpdateFound(kOffer, {});
  click("Learn More…");
  EXPECT_NE(nullptr, driver_.window()) << "stays when no browser could be started";
  EXPECT_EQ((std::vector<std::string>{"https://n.app/notes", "https://n.app/page"}), opened_);
}

TEST_F(GtkUpdateUserDriverTest, ControllerShowsAUserCheckAndClosesItsWindowWhenItGoes) {
  testing::FeedServer server;
  server.serve("/cast", testing::appcast(bundleInfo().version));
  auto controller = std::make_unique<SPUStandardUpdaterController>(
      false, std::make_shared<FeedAt>(server.url("/cast")));
  controller->checkForUpdates();
  EXPECT_EQ(0u, shown().find("Checking for updates…")) << shown();
  ASSERT_TRUE(
      testing::runMainLoopUntil([&] { return controller->updater().canCheckForUpdates(); }));
  EXPECT_EQ(0u, shown().find("You're up to date!")) << shown();
  server.serveStalled("/cast");
  controller->checkForUpdates();
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server.requestCount("/cast") == 2; }));
  controller.reset();
  EXPECT_EQ("", shown());
}

}  // namespace
}  // namespace nubrel

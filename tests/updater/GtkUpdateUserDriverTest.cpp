// The updater's real GTK windows on a virtual X display: what each one shows and offers, what
// its buttons do, and the assembled controller showing a check.
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

using Texts = std::vector<std::string>;

const UpdateOffer kOffer{"Nubrel", "1.2", "1.3", "https://n.app/notes", "https://n.app/page"};

void collectButtons(GtkWidget* widget, gpointer labels) {
  if (GTK_IS_BUTTON(widget)) {
    static_cast<Texts*>(labels)->push_back(gtk_button_get_label(GTK_BUTTON(widget)));
  } else if (GTK_IS_CONTAINER(widget)) {
    gtk_container_forall(GTK_CONTAINER(widget), collectButtons, labels);
  }
}

// The texts of the one window shown, its buttons' labels after a "|".
std::string shown() {
  const auto windows = testing::visibleWindows();
  std::string texts = windows.size() == 1 ? "" : std::to_string(windows.size()) + " windows";
  Texts buttons;
  for (GtkWindow* window : windows) {
    for (const auto& text : testing::labelTexts(GTK_WIDGET(window))) {
      texts += text + "\n";
    }
    collectButtons(GTK_WIDGET(window), &buttons);
  }
  for (const auto& label : buttons) {
    texts += "|" + label;
  }
  return texts;
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
    GtkButton* button =
        driver_.window() ? testing::findButton(GTK_WIDGET(driver_.window()), label) : nullptr;
    ASSERT_NE(nullptr, button) << label;
    gtk_button_clicked(button);
  }

  Texts opened_;
  bool browserWorks_ = true;
  GtkUpdateUserDriver driver_{[this](const std::string& uri) {
    opened_.push_back(uri);
    return browserWorks_;
  }};
};

TEST_F(GtkUpdateUserDriverTest, EachWindowShowsItsFactsAndOffersItsButtons) {
  const std::pair<std::function<void(UpdateUserDriver&)>, Texts> cases[] = {
      // what is shown, then texts it holds and its buttons
      {[](auto& d) { d.showCheckingForUpdates([] {}); }, {"|Cancel"}},
      {[](auto& d) {
         d.showUpToDate({"Nubrel", "1.2", "1.4b1"});
       },
       {"Nubrel 1.2", "1.4b1", "|OK"}},
      {[](auto& d) { d.showUpdateFound(kOffer, [] {}); },
       {"Nubrel 1.3", "you have 1.2", "|Release Notes|Remind Me Later|Install Update"}},
      {[](auto& d) { d.showUpdateFound(kOffer, {}); },
       {"|Release Notes|Remind Me Later|Learn More…"}},
      {[](auto& d) {
         d.showUpdateFound({"Nubrel", "1.2", "1.3"}, {});
       },
       {"\n|Remind Me Later"}},
      {[](auto& d) { d.showInstalling(); }, {}},
      {[](auto& d) { d.showUpdateInstalled(kOffer); }, {"Nubrel 1.3", "|OK"}},
      {[](auto& d) { d.showInstallCommand("sudo apt-get install '/a b'"); }, {"'/a b'", "|OK"}},
      {[](auto& d) {
         d.showUpdateError({UpdateError::Kind::httpStatus, 404});
       },
       {"404", "|OK"}},
  };
  for (const auto& [show, facts] : cases) {
    show(driver_);
    const std::string texts = shown();
    EXPECT_EQ(std::string::npos, texts.find("windows")) << texts;
    for (const auto& fact : facts) {
      EXPECT_NE(std::string::npos, texts.find(fact)) << fact << " in " << texts;
    }
  }
}

TEST_F(GtkUpdateUserDriverTest, ButtonsReachTheUpdaterAndOnlyTheUserCancels) {
  int cancels = 0, installs = 0;
  driver_.showCheckingForUpdates([&] { ++cancels; });
  click("Cancel");
  driver_.showDownloading([&] { ++cancels; });
  gtk_window_close(driver_.window());  // as the window manager's close button does
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return driver_.window() == nullptr; }));
  driver_.showCheckingForUpdates([&] { ++cancels; });
  driver_.showUpdateFound(kOffer, [&] { ++installs; });  // replaced by the program: no cancel
  click("Install Update");
  EXPECT_EQ(2, cancels);
  EXPECT_EQ(1, installs);
  driver_.showUpdateFound(kOffer, {});
  click("Release Notes");
  EXPECT_EQ(nullptr, driver_.window());
  browserWorks_ = false;
  driver_.showUpdateFound(kOffer, {});
  click("Learn More…");
  EXPECT_NE(nullptr, driver_.window()) << "stays when no browser could be started";
  EXPECT_EQ((Texts{"https://n.app/notes", "https://n.app/page"}), opened_);
}

TEST_F(GtkUpdateUserDriverTest, ControllerShowsAUserCheckAndClosesItsWindowWhenItGoes) {
  testing::FeedServer server;
  server.serve("/cast", testing::appcast(bundleInfo().version));
  driver_.dismiss();
  auto controller = std::make_unique<SPUStandardUpdaterController>(
      false, std::make_shared<FeedAt>(server.url("/cast")));
  controller->checkForUpdates();
  EXPECT_EQ(0u, shown().find("Checking for updates…"));
  ASSERT_TRUE(
      testing::runMainLoopUntil([&] { return controller->updater().canCheckForUpdates(); }));
  EXPECT_EQ(0u, shown().find("You're up to date!"));
  server.serveStalled("/cast");
  controller->checkForUpdates();
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server.requestCount("/cast") == 2; }));
  controller.reset();
  EXPECT_TRUE(testing::visibleWindows().empty());
}

}  // namespace
}  // namespace nubrel

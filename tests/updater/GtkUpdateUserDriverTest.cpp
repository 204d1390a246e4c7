// The updater's real GTK windows on a virtual X display: what each one shows and offers, what
// its buttons do, and the assembled controller showing a check.
#include "updater/GtkUpdateUserDriver.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/TempDir.h"
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

class GtkUpdateUserDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::startGtkOnVirtualDisplay()) {
      GTEST_SKIP() << "no virtual X display (is Xvfb installed?)";
    }
  }
  void TearDown() override { testing::drainMainLoop(); }

  GtkWidget* shown() const { return GTK_WIDGET(driver_->window()); }
  void click(const std::string& label) {
    GtkButton* button = shown() ? testing::findButton(shown(), label) : nullptr;
    ASSERT_NE(nullptr, button) << label;
    gtk_button_clicked(button);
  }

  Texts opened_;
  bool browserWorks_ = true;
  std::unique_ptr<GtkUpdateUserDriver> driver_ =
      std::make_unique<GtkUpdateUserDriver>([this](const std::string& uri) {
        opened_.push_back(uri);
        return browserWorks_;
      });
};

TEST_F(GtkUpdateUserDriverTest, EachWindowShowsItsFactsAndOffersItsButtons) {
  const struct {
    std::function<void(UpdateUserDriver&)> show;
    std::string facts;  // what the window's texts hold, joined by "|"
    Texts buttons;
  } cases[] = {
      {[](auto& d) { d.showCheckingForUpdates([] {}); }, "", {"Cancel"}},
      {[](auto& d) {
         d.showUpToDate({"Nubrel", "1.2", "1.4b1"});
       },
       "Nubrel 1.2|1.4b1",
       {"OK"}},
      {[](auto& d) { d.showUpdateFound(kOffer, [] {}); },
       "Nubrel 1.3|you have 1.2",
       {"Release Notes", "Remind Me Later", "Install Update"}},
      {[](auto& d) { d.showUpdateFound(kOffer, {}); },
       "Nubrel 1.3",
       {"Release Notes", "Remind Me Later", "Learn More…"}},
      {[](auto& d) {
         d.showUpdateFound({"Nubrel", "1.2", "1.3"}, {});
       },
       "",
       {"Remind Me Later"}},
      {[](auto& d) { d.showDownloading([] {}); }, "", {"Cancel"}},
      {[](auto& d) { d.showInstalling(); }, "", {}},
      {[](auto& d) { d.showUpdateInstalled(kOffer); }, "Nubrel 1.3", {"OK"}},
      {[](auto& d) { d.showInstallCommand("sudo apt-get install '/a b'"); }, "'/a b'", {"OK"}},
      {[](auto& d) {
         d.showUpdateError({UpdateError::Kind::httpStatus, 404});
       },
       "404",
       {"OK"}},
  };
  for (const auto& c : cases) {
    c.show(*driver_);
    ASSERT_NE(nullptr, shown());
    std::string texts;
    for (const auto& text : testing::labelTexts(shown())) {
      texts += text + "\n";
    }
    std::istringstream facts(c.facts);
    for (std::string fact; std::getline(facts, fact, '|');) {
      EXPECT_NE(std::string::npos, texts.find(fact)) << fact << " in " << texts;
    }
    Texts buttons;
    collectButtons(shown(), &buttons);
    EXPECT_EQ(c.buttons, buttons) << texts;
    EXPECT_EQ(1u, testing::visibleWindows().size()) << "one window at a time";
  }
}

TEST_F(GtkUpdateUserDriverTest, OnlyTheUserStopsACheckOrADownload) {
  int cancels = 0;
  driver_->showCheckingForUpdates([&] { ++cancels; });
  click("Cancel");
  driver_->showDownloading([&] { ++cancels; });
  gtk_window_close(driver_->window());  // as the window manager's close button does
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return shown() == nullptr; }));
  EXPECT_EQ(2, cancels);
  driver_->showCheckingForUpdates([&] { ++cancels; });
  driver_->showUpToDate({"Nubrel", "1.2"});
  driver_->showCheckingForUpdates([&] { ++cancels; });
  driver_.reset();
  EXPECT_EQ(2, cancels) << "replacing or closing by the program is no cancel";
  EXPECT_TRUE(testing::visibleWindows().empty());
}

TEST_F(GtkUpdateUserDriverTest, ButtonsReachTheUpdaterAndPagesOpenInTheBrowser) {
  bool installing = false;
  driver_->showUpdateFound(kOffer, [&] { installing = true; });
  click("Install Update");
  EXPECT_TRUE(installing);
  driver_->showUpdateFound(kOffer, {});
  click("Release Notes");
  EXPECT_EQ(nullptr, shown());
  browserWorks_ = false;
  driver_->showUpdateFound(kOffer, {});
  click("Learn More…");
  EXPECT_NE(nullptr, shown()) << "stays when no browser could be started";
  EXPECT_EQ((Texts{"https://n.app/notes", "https://n.app/page"}), opened_);
}

// The real opener, with a browser of the test's own as the desktop's handler of https pages.
TEST_F(GtkUpdateUserDriverTest, LearnMoreOpensThePageAndNothingUsesTheClosedWindow) {
  testing::TempDir dir;
  const auto browser = dir.write("b", "#!/bin/sh\necho \"$1\" >>'" + dir.path().string() + "/p'\n");
  std::filesystem::permissions(browser, std::filesystem::perms::owner_all);
  const std::string data = g_getenv("XDG_DATA_HOME"), config = g_getenv("XDG_CONFIG_HOME");
  dir.write(data + "/applications/b.desktop",
            "[Desktop Entry]\nType=Application\nName=B\nExec=" + browser.string() +
                " %u\nMimeType=x-scheme-handler/https;\n");
  dir.write(config + "/mimeapps.list",
            "[Default Applications]\nx-scheme-handler/https=b.desktop\n");
  // GLib's and GTK's warnings would go to standard error; the test collects them instead.
  static Texts complaints;
  const GLogFunc previous = g_log_set_default_handler(
      [](const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
        if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
          complaints.push_back(std::string(domain ? domain : "") + ": " + message);
        }
      },
      nullptr);
  GtkUpdateUserDriver driver;
  driver.showUpdateFound(kOffer, {});
  gtk_button_clicked(testing::findButton(GTK_WIDGET(driver.window()), "Learn More…"));
  EXPECT_EQ(nullptr, driver.window());
  // The browser tells nothing back: its file is looked for between turns of the main loop, which
  // must run for GTK to finish the launch. The shell makes the file before it writes the line.
  std::string page;
  for (int i = 0; i < 400 && !page.ends_with('\n'); ++i) {
    testing::drainMainLoop();
    g_usleep(25'000);
    std::ifstream in(dir.path() / "p");
    page.assign(std::istreambuf_iterator<char>(in), {});
  }
  testing::drainMainLoop();
  g_log_set_default_handler(previous, nullptr);
  EXPECT_EQ(Texts{}, complaints);
  EXPECT_EQ("https://n.app/page\n", page);
}

struct FeedAt : SPUUpdaterDelegate {
  explicit FeedAt(std::string u) : url(std::move(u)) {}
  std::string feedURLString(const SPUUpdater&) const override { return url; }
  std::string url;
};

TEST_F(GtkUpdateUserDriverTest, ControllerShowsAUserCheckAndCanGoDuringOne) {
  testing::FeedServer server;
  server.serve("/cast", testing::appcast(bundleInfo().version));
  server.serveStalled("/stalled");
  SPUStandardUpdaterController controller(true, std::make_shared<FeedAt>(server.url("/cast")));
  const auto headline = [] {
    const auto windows = testing::visibleWindows();
    return windows.size() == 1 ? testing::labelTexts(GTK_WIDGET(windows.front())).front() : "";
  };
  controller.checkForUpdates();
  EXPECT_EQ("Checking for updates…", headline());
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return controller.updater().canCheckForUpdates(); }));
  EXPECT_EQ("You're up to date!", headline());
  auto stalled = std::make_unique<SPUStandardUpdaterController>(
      false, std::make_shared<FeedAt>(server.url("/stalled")));
  stalled->checkForUpdates();
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server.requestCount("/stalled") == 1; }));
  stalled.reset();
  testing::drainMainLoop();
  EXPECT_EQ(1u, testing::visibleWindows().size()) << "the window of the controller gone is gone";
}

}  // namespace
}  // namespace nubrel

// The updater's real GTK windows on a virtual X display: what each one says, what its buttons
// do, and the assembled controller showing a check from start to end.
#include "updater/GtkUpdateUserDriver.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempDir.h"
#include "updater/FeedServer.h"
#include "updater/GtkTestDisplay.h"
#include "updater/InfoDictionary.h"
#include "updater/MainLoop.h"
#include "updater/SPUStandardUpdaterController.h"
#include "updater/UpdaterTestText.h"

namespace nubrel {
namespace {

using Texts = std::vector<std::string>;

const UpdateOffer kOffer{.appName = "Nubrel",
                         .currentVersion = "1.2",
                         .newVersion = "1.3",
                         .releaseNotesURL = "https://nubrel.app/notes/1.3",
                         .pageURL = "https://nubrel.app/releases/1.3"};

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
    GtkButton* button = testing::findButton(shown(), label);
    ASSERT_NE(nullptr, button) << label;
    gtk_button_clicked(button);
  }

  std::vector<std::string> opened_;
  bool browserWorks_ = true;
  std::unique_ptr<GtkUpdateUserDriver> driver_ =
      std::make_unique<GtkUpdateUserDriver>([this](const std::string& uri) {
        opened_.push_back(uri);
        return browserWorks_;
      });
};

TEST_F(GtkUpdateUserDriverTest, EachWindowSaysWhatHappened) {
  const struct {
    const char* label;
    std::function<void(UpdateUserDriver&)> show;
    Texts texts;
  } cases[] = {
      {"checking",
       [](UpdateUserDriver& d) { d.showCheckingForUpdates([] {}); },
       {"Checking for updates…", "Cancel"}},
      {"up to date",
       [](UpdateUserDriver& d) {
         d.showUpToDate({"Nubrel", "1.2"});
       },
       {"You're up to date!", "Nubrel 1.2 is currently the newest version available.", "OK"}},
      {"running a newer one",
       [](UpdateUserDriver& d) {
         d.showUpToDate({"Nubrel", "1.2", "1.4b1"});
       },
       {"You're up to date!",
        "Nubrel 1.2 is currently the newest version available.\n"
        "(You are currently running version 1.4b1.)",
        "OK"}},
      {"update found",
       [](UpdateUserDriver& d) { d.showUpdateFound(kOffer, [] {}); },
       {"A new version of Nubrel is available!",
        "Nubrel 1.3 is now available—you have 1.2. Would you like to download and install it "
        "now?",
        "Release Notes", "Remind Me Later", "Install Update"}},
      {"update without a package",
       [](UpdateUserDriver& d) { d.showUpdateFound(kOffer, {}); },
       {"A new version of Nubrel is available!",
        "Nubrel 1.3 is now available—you have 1.2. Would you like to learn more about this "
        "update on the web?",
        "Release Notes", "Remind Me Later", "Learn More…"}},
      {"update without package or pages",
       [](UpdateUserDriver& d) {
         d.showUpdateFound({"Nubrel", "1.2", "1.3"}, {});
       },
       {"A new version of Nubrel is available!",
        "Nubrel 1.3 is now available—you have 1.2. Would you like to learn more about this "
        "update on the web?",
        "Remind Me Later"}},
      {"downloading",
       [](UpdateUserDriver& d) { d.showDownloading([] {}); },
       {"Downloading update…", "Cancel"}},
      {"installing",
       [](UpdateUserDriver& d) { d.showInstalling(); },
       {"Installing update…", "The system may ask for your password to install the new version."}},
      {"installed",
       [](UpdateUserDriver& d) { d.showUpdateInstalled(kOffer); },
       {"Update installed",
        "Nubrel 1.3 has been installed. Quit Nubrel and start it again to use the new version.",
        "OK"}},
      {"install by hand",
       [](UpdateUserDriver& d) { d.showInstallCommand("sudo apt-get install -y '/tmp/a b.deb'"); },
       {"Install the update",
        "The update was downloaded and checked. To install it, run this command in a terminal:",
        "sudo apt-get install -y '/tmp/a b.deb'", "OK"}},
      {"bad signature",
       [](UpdateUserDriver& d) { d.showUpdateError({UpdateError::Kind::badSignature}); },
       {"Update Error!",
        "The update's signature is not valid, so it was not installed. It may have been damaged "
        "or tampered with.",
        "OK"}},
      {"HTTP error",
       [](UpdateUserDriver& d) {
         d.showUpdateError({UpdateError::Kind::httpStatus, 404});
       },
       {"Update Error!",
        "The update server answered with HTTP status 404 (Not Found). Please try again later.",
        "OK"}},
  };
  for (const auto& c : cases) {
    c.show(*driver_);
    ASSERT_NE(nullptr, shown()) << c.label;
    EXPECT_EQ(c.texts, testing::labelTexts(shown())) << c.label;
    EXPECT_EQ(1u, testing::visibleWindows().size()) << c.label << ": one window at a time";
    EXPECT_STREQ("Software Update", gtk_window_get_title(driver_->window())) << c.label;
  }
}

TEST_F(GtkUpdateUserDriverTest, OnlyTheUserStopsACheck) {
  int cancels = 0;
  driver_->showCheckingForUpdates([&] { ++cancels; });
  click("Cancel");
  EXPECT_EQ(1, cancels);
  EXPECT_EQ(nullptr, shown());

  driver_->showCheckingForUpdates([&] { ++cancels; });
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

TEST_F(GtkUpdateUserDriverTest, InstallUpdateAndCancelReachTheUpdater) {
  std::vector<std::string> calls;
  driver_->showUpdateFound(kOffer, [&] {
    calls.push_back("install");
    driver_->showDownloading([&] { calls.push_back("cancel"); });
  });
  click("Install Update");
  click("Cancel");
  EXPECT_EQ((Texts{"install", "cancel"}), calls);
  EXPECT_EQ(nullptr, shown());
  EXPECT_TRUE(opened_.empty());
}

TEST_F(GtkUpdateUserDriverTest, PagesOpenInTheBrowser) {
  driver_->showUpdateFound(kOffer, {});
  gtk_button_clicked(testing::findButton(shown(), "Release Notes"));
  EXPECT_EQ(Texts{"https://nubrel.app/notes/1.3"}, opened_);
  EXPECT_EQ(nullptr, shown());

  browserWorks_ = false;
  driver_->showUpdateFound(kOffer, {});
  click("Learn More…");
  EXPECT_NE(nullptr, shown()) << "stays when no browser could be started";
  browserWorks_ = true;
  click("Learn More…");
  EXPECT_EQ(nullptr, shown());
  EXPECT_EQ((Texts{"https://nubrel.app/notes/1.3", "https://nubrel.app/releases/1.3",
                   "https://nubrel.app/releases/1.3"}),
            opened_);
}

// GLib's and GTK's warnings and criticals while it lives; they would go to standard error.
class GlibComplaints {
 public:
  GlibComplaints() {
    previous_ = g_log_set_default_handler(
        [](const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer self) {
          if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
            static_cast<GlibComplaints*>(self)->texts.push_back(std::string(domain ? domain : "") +
                                                                ": " + message);
          }
        },
        this);
  }
  ~GlibComplaints() { g_log_set_default_handler(previous_, nullptr); }

  Texts texts;

 private:
  GLogFunc previous_;
};

// The real opener, with a browser of the test's own as the desktop's handler of https pages.
TEST_F(GtkUpdateUserDriverTest, LearnMoreLeavesNothingBehindThatUsesTheClosedWindow) {
  testing::TempDir dir;
  const auto browser =
      dir.write("browser", "#!/bin/sh\necho \"$1\" >> '" + dir.path().string() + "/opened'\n");
  std::filesystem::permissions(browser, std::filesystem::perms::owner_all);
  const std::filesystem::path data = g_getenv("XDG_DATA_HOME");
  const std::filesystem::path config = g_getenv("XDG_CONFIG_HOME");
  std::filesystem::create_directories(data / "applications");
  std::filesystem::create_directories(config);
  std::ofstream(data / "applications" / "test-browser.desktop")
      << "[Desktop Entry]\nType=Application\nName=Browser\nExec=" << browser.string()
      << " %u\nMimeType=x-scheme-handler/https;\n";
  std::ofstream(config / "mimeapps.list")
      << "[Default Applications]\nx-scheme-handler/https=test-browser.desktop\n";

  GlibComplaints complaints;
  GtkUpdateUserDriver driver;
  driver.showUpdateFound(kOffer, {});
  gtk_button_clicked(testing::findButton(GTK_WIDGET(driver.window()), "Learn More…"));
  EXPECT_EQ(nullptr, driver.window());
  // The browser is a separate process that tells nothing back: its file is looked for between
  // turns of the main loop, which must run for GTK to finish the launch.
  // The shell makes the file before it writes the line: wait for the line's end.
  const auto opened = dir.path() / "opened";
  const auto lineWritten = [&] {
    std::ifstream in(opened);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    return text.ends_with('\n');
  };
  for (int i = 0; i < 400 && !lineWritten(); ++i) {
    testing::drainMainLoop();
    g_usleep(25'000);
  }
  testing::drainMainLoop();
  EXPECT_EQ(Texts{}, complaints.texts);
  std::ifstream pages(opened);
  std::string page;
  std::getline(pages, page);
  EXPECT_EQ("https://nubrel.app/releases/1.3", page);
}

class FeedAt : public SPUUpdaterDelegate {
 public:
  explicit FeedAt(std::string url) : url_(std::move(url)) {}
  std::string feedURLString(const SPUUpdater&) const override { return url_; }

 private:
  std::string url_;
};

TEST_F(GtkUpdateUserDriverTest, ControllerShowsAUserCheckInItsWindows) {
  testing::FeedServer server;
  server.serve("/appcast.xml", testing::appcast(bundleInfo().version));
  SPUStandardUpdaterController controller(true,
                                          std::make_shared<FeedAt>(server.url("/appcast.xml")));
  controller.checkForUpdates();
  EXPECT_FALSE(controller.updater().canCheckForUpdates());
  ASSERT_EQ(1u, testing::visibleWindows().size());
  EXPECT_EQ("Checking for updates…",
            testing::labelTexts(GTK_WIDGET(testing::visibleWindows().front())).front());

  ASSERT_TRUE(testing::runMainLoopUntil([&] { return controller.updater().canCheckForUpdates(); }));
  ASSERT_EQ(1u, testing::visibleWindows().size());
  EXPECT_EQ("You're up to date!",
            testing::labelTexts(GTK_WIDGET(testing::visibleWindows().front())).front());
}

TEST_F(GtkUpdateUserDriverTest, ControllerCanBeDestroyedDuringACheck) {
  testing::FeedServer server;
  server.serveStalled("/appcast.xml");
  auto controller = std::make_unique<SPUStandardUpdaterController>(
      false, std::make_shared<FeedAt>(server.url("/appcast.xml")));
  controller->checkForUpdates();
  ASSERT_TRUE(testing::runMainLoopUntil([&] { return server.requestCount("/appcast.xml") == 1; }));
  controller.reset();
  testing::drainMainLoop();
  EXPECT_TRUE(testing::visibleWindows().empty());
}

}  // namespace
}  // namespace nubrel

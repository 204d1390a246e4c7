// CheckForUpdatesView driving the real updater, whose feed the delegate reads from Info.json.
#include "app/CheckForUpdatesView.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/UpdaterStore.h"
#include "support/TempDir.h"
#include "updater/GtkTestDisplay.h"

namespace nubrel::testing {
namespace {

// The feed's port takes the connection and never answers, so a check runs as long as the test.
TEST(CheckForUpdatesViewTest, ClicksStartOneCheckAndNoneWhileItRuns) {
  if (!startGtkOnVirtualDisplay()) {
    GTEST_SKIP() << "no Xvfb";
  }
  const int feed = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(0, bind(feed, reinterpret_cast<sockaddr*>(&address), size));
  ASSERT_EQ(0, listen(feed, 8));
  ASSERT_EQ(0, getsockname(feed, reinterpret_cast<sockaddr*>(&address), &size));
  TempDir dir;
  const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/a.xml";
  const auto delegate = std::make_shared<UpdaterDelegate>(
      dir.write("Info.json", R"({"SUFeedURL": ")" + url + R"("})"));
  int activations = 0;
  {
    CheckForUpdatesView view(std::make_shared<SPUStandardUpdaterController>(false, delegate),
                             [&] { ++activations; });
    view.checkForUpdates();
    view.checkForUpdates();  // before the loop turns: the same check
    while (view.canCheckForUpdates()) {
      g_main_context_iteration(nullptr, TRUE);
    }
    // A host may deliver a click on the entry it shows disabled.
    view.checkForUpdates();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_FALSE(view.canCheckForUpdates());
  }
  EXPECT_EQ(1, activations);
  close(feed);
}

}  // namespace
}  // namespace nubrel::testing

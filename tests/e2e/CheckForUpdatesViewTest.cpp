// CheckForUpdatesView driving the real updater, whose feed the delegate reads from Info.json: the
// desktop's, which takes the connection and never answers, so a check runs as long as the test.
#include "app/CheckForUpdatesView.h"

#include "app/UpdaterStore.h"
#include "e2e/Desktop.h"

namespace nubrel::testing {
namespace {

TEST(CheckForUpdatesViewTest, ClicksStartOneCheckAndNoneWhileItRuns) {
  TempDir dir;
  const auto delegate = std::make_shared<UpdaterDelegate>(
      dir.write("Info.json", R"({"SUFeedURL": ")" + desktop().feedURL + R"("})"));
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
}

}  // namespace
}  // namespace nubrel::testing

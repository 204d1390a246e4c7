#include "platform/SessionsDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace nubrel {
namespace {

// Sets an environment variable for the scope, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SessionsDirectoryTest, FollowsTheAgentsHomeSetting) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv codex("CODEX_HOME", "/srv/agent");
    EXPECT_EQ("/srv/agent/sessions", sessionsDirectory());
  }
  {
    ScopedEnv codex("CODEX_HOME", "");
    EXPECT_EQ("/home/someone/.codex/sessions", sessionsDirectory());
  }
  ScopedEnv codex("CODEX_HOME", nullptr);
  EXPECT_EQ("/home/someone/.codex/sessions", sessionsDirectory());
}

}  // namespace
}  // namespace nubrel

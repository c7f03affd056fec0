#include "support/test_app.h"

#include <gtest/gtest.h>

#include <memory>

namespace testing_support {

namespace {

std::unique_ptr<shell::Application>& Held() {
  static std::unique_ptr<shell::Application> app;
  return app;
}

// Tears the object down after the last test, while the test program still runs, rather than
// among the static objects at exit.
class AppEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { Held().reset(); }
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace

shell::Application& App() {
  std::unique_ptr<shell::Application>& app = Held();
  if (!app) app = std::make_unique<shell::Application>();
  return *app;
}

}  // namespace testing_support

// The program's application object for the tests that load its windows in-process: made at the
// first App() of a test program and torn down after its last test, in the program's own order.
#pragma once

#include "shell/start_up.h"

namespace testing_support {

shell::Application& App();

}  // namespace testing_support

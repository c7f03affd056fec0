// Steps of a presenter that the overlay tests share.
#pragma once

#include "overlay/ss.h"
#include "support/test_support.h"

namespace testing_support {

inline void EnterPresentationMode() {
  ss::Instance().cmdScreen_Click();
  ss::Instance().ShowOverlay();
  Pump(300);
}

inline void PressEsc() {
  short key = 27;
  ss::Instance().Picture1_KeyPress(key);
  Pump(100);
}

}  // namespace testing_support

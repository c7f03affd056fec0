// The overlay's view of the magnifier, over magWin.
#pragma once

#include "overlay/links.h"

namespace shell {

class MagWinLink : public overlay::MagnifierLink {
 public:
  void ShowMagnifier() override;
  void SetMagnifierVisible(bool visible) override;
};

}  // namespace shell

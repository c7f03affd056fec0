#include "shell/magnifier_link.h"

#include "magnifier/mag_win.h"

namespace shell {

void MagWinLink::ShowMagnifier() { magWin::Instance().ShowWindowModeless(); }

void MagWinLink::SetMagnifierVisible(bool visible) {
  magWin& mag = magWin::Instance();
  if (mag.IsLoaded()) mag.SetVisible(visible);
}

}  // namespace shell

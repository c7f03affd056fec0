#include "settings/start_at_sign_in.h"

#include <windows.h>

#include "base/text.h"
#include "settings/registry.h"

namespace settings {

namespace {
cRegistry RunValue() {
  cRegistry reg;
  reg.ClassKey(kCurrentUser);
  reg.SectionKey(kSignInRunKey);
  reg.ValueKey(kSignInRunValue);
  reg.ValueType(REG_SZ);
  return reg;
}
}  // namespace

bool StartsAtSignIn() { return RunValue().Value().GetKind() != Variant::Kind::Empty; }

void SetStartAtSignIn(bool on, const std::wstring& programPath) {
  cRegistry reg = RunValue();
  if (on) {
    // In quotes, as the installer writes it: a path with a space is one program, not two words.
    reg.Value(Variant("\"" + base::Narrow(programPath) + "\""));
    return;
  }
  if (reg.Value().GetKind() == Variant::Kind::Empty) return;
  reg.DeleteValue();
}

}  // namespace settings

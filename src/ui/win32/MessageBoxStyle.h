#pragma once
// A message box request as the flags of MessageBoxW, and its answer back as
// the button the model knows.

#include "startup/Host.h"

namespace mirvok {

unsigned MessageBoxStyleOf(const MsgBoxRequest& request);

// The button MessageBoxW returned. A box closed without one (Esc, the close
// box) counts as the answer that leaves things as they are.
MsgResult MessageBoxResultOf(int id, MsgButtons buttons);

}  // namespace mirvok

#pragma once
// The folder that holds the running program, where its settings file lives.
// The platform's way of finding it sits behind this one function.

#include <string>

namespace mirvok {

// The folder of the running executable without a trailing separator; the
// current folder when the executable cannot be located.
std::string ExecutableFolder();

}  // namespace mirvok

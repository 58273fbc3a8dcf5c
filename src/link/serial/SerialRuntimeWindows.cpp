#include "SerialRuntime.h"

namespace mirvok::serial {

// The Win32 comm calls need no machinery of their own.
struct SerialRuntime::Machinery {};

SerialRuntime::SerialRuntime(int&, char**) {}

SerialRuntime::~SerialRuntime() = default;

}  // namespace mirvok::serial

#pragma once
// The shortcut to the system's Device Manager, started through the command
// interpreter that the ComSpec environment variable names (Windows only).

#include <optional>
#include <string>

namespace mirvok {

class Host;

inline constexpr const char* kDeviceManagerFailedText = "デバイスマネージャーを起動できませんでした。";

// The value of ComSpec; nothing when it is not set or empty.
std::optional<std::string> CommandInterpreter();

// Starts "<comSpec> /c start devmgmt.msc" minimized without waiting for it.
// Without an interpreter, or when it cannot be started, says so in a message
// box and returns false.
bool StartDeviceManager(Host& host, const std::optional<std::string>& comSpec);

}  // namespace mirvok

#pragma once
// The F-ROM recovery: the shared F-ROM steps with the parameter "|"; the
// device then restores its ROM from the backup copy on its own, and the
// operator is told to watch its LED and switch it off. No report is read.

#include <string>

namespace mirvok {

struct Window;

inline constexpr const char* kRecoveryParameter = "|";

void CmdROMRecovery_Click(Window& w);

std::string RecoveryConfirmationText(const std::string& version);

// The instruction shown once the recovery command has been sent.
std::string RecoveryLedText();

}  // namespace mirvok

#pragma once
// The F-ROM backup, and the steps it shares with the F-ROM recovery: lock the
// window, open the port afresh, check the link, read the ROM version, let the
// operator confirm and open the device's cover, wait for the device to report
// the cover open, send "!!" with the operation's parameter, run the
// operation's own ending, close the port and give the window back.

#include <cstdint>
#include <string>

namespace mirvok {

struct Window;
enum class Operation;

// The three texts crwReceiveResponse fills with a report the device sends on
// its own. They keep their values from one report to the next.
struct DeviceReport {
    std::string strCOMSTS;   // command part, e.g. "!!"; its second character "6" = cover open
    std::string strERRSEN;   // result code, "90" = good
    std::string strResDATA;  // data part, not examined
};

// What tells one F-ROM operation from the other.
struct FromOperation {
    // Which operation the window's result names.
    Operation kind;
    // The text of the confirmation box, given the ROM version text.
    std::string (*confirmationText)(const std::string& version);
    // The parameter of the "!!" command.
    const char* commandParameter;
    // Runs once the command has been sent; the port is still open. It ends
    // with the status line reset and the ending recorded; the common end follows.
    void (*afterCommand)(Window& w, DeviceReport& report);
};

inline constexpr const char* kFromConfirmTitle = "F-ROM Backup Mode";
inline constexpr const char* kFromResultTitle = "F-ROM Backup";
inline constexpr const char* kFromCommand = "!!";
inline constexpr const char* kBackupParameter = "#";
inline constexpr std::int32_t kCoverReportTimeoutMs = 3000;
inline constexpr std::int32_t kFromCommandTimeoutMs = 3000;
inline constexpr std::int32_t kBackupVerdictTimeoutMs = 10000;
// The backup takes the device about this long; the verdict is read after it.
inline constexpr float kBackupWaitSeconds = 9.5f;

// The shared steps with the operation's own parts.
void RunFromOperation(Window& w, const FromOperation& operation);

void CmdROMBackup_Click(Window& w);

std::string BackupConfirmationText(const std::string& version);

// True when the device reported the cover open: the second character of the
// report's command part is "6".
bool CoverReportedOpen(const DeviceReport& report);

// The backup succeeded when the report's command part and code read "!!90".
bool BackupSucceeded(const DeviceReport& report);

}  // namespace mirvok

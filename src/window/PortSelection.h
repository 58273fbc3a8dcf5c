#pragma once
// The port list, the send interval and the download mode as the operator
// picks them in the main window; the port refresh that asks the link library
// which ports exist; and the port opening every device operation starts with.

#include <cstdint>
#include <string>
#include <vector>

namespace mirvok {

struct Window;
enum class Step;

// One entry of the port list as a port refresh builds it.
struct PortListEntry {
    std::string name;
    std::int32_t portNumber = 0;
};

// Takes the names text of crwGetPortNames apart: at most `count` entries,
// each up to the next ","; the last entry is the rest of the text. The port
// number is the number the name holds from its fourth character on
// ("COM12" gives 12; none gives 0).
std::vector<PortListEntry> ParsePortNames(const std::string& names, int count);

// Port refresh: toggles the list's background, asks the library for the ports
// and, when it names any, fills the list with them and selects the first. Its
// result: Completed, or NoPortsListed when the library names none.
void CmndPortRefresh_Click(Window& w);

// Port list selection: Port = the selected item's port number (0 when none).
void CmbComPort_Click(Window& w);

// Send interval selection: StTimer = the selected item's milliseconds.
void CmbSms_Click(Window& w);

// Download mode selection: Downloadno = index.
void Option1_Click(Window& w, int index);

// Port, OpenBaud, OpenDataBits and OpenParity from the selected items of the
// port list and the terminal lists. A list with nothing selected gives 0 or
// the empty text, which the port opening then refuses as a parameter error.
void DeriveLineParameters(Window& w);

// The derivation and the opening of the port at the terminal line settings.
// 0: the port is open and PortOpen true. Otherwise the failure is reported
// (see OpenPortFailed) and crwOpenPort's code returned; resetting the status
// line and giving the controls back is the caller's.
std::int16_t OpenTerminalPort(Window& w);

// Opens the port with the current Port, OpenBaud, OpenDataBits and OpenParity
// (crwComDSRCTSsw, then crwOpenPort) and returns crwOpenPort's code; sets
// PortOpen on success. Reports nothing.
std::int16_t OpenPortWith(Window& w);

// Closes the port of the settings, whatever its state, and clears PortOpen:
// every way out of an operation ends here.
void ClosePort(Window& w);

inline constexpr const char* kOpenFailedText = "ﾀｰﾐﾅﾙ通信設定ｴﾗｰ";

// The report of a failed opening at `step` (the terminal or the download
// opening): the port closed, PortOpen false, the status line red with
// kOpenFailedText, the return-code text in a message box, and the ending
// OpenFailed with crwOpenPort's code and the link's cause of the failure in
// the operation's result.
void OpenPortFailed(Window& w, std::int16_t result, Step step);

}  // namespace mirvok

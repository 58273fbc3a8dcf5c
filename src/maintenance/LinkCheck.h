#pragma once
// What the maintenance operations (DSW read, ROM version, F-ROM backup and
// recovery) share: the status line looks, the port opening with its settings
// write, the "PA" link check, the failure boxes and the lists of controls an
// operation holds while it runs.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mirvok {

class Control;
class Host;
class Protocol;
struct FormState;
struct Window;
enum class Step;

// Line break inside message box texts.
inline constexpr const char* kLineBreak = "\r\n";

inline constexpr const char* kCheckingReaderText = "ｶｰﾄﾞﾘｰﾀﾞｰ状態確認中.....";
inline constexpr const char* kNoLinkText = "通信状態が確立できませんでした。";
inline constexpr const char* kCheckConnectionText = "ｶｰﾄﾞﾘｰﾀﾞとの接続及び通信設定を確認してください。";

// Yellow status line with an in-progress text.
void ShowWorking(Window& w, const std::string& text);

// Opens the port at the terminal line settings unless it is open already (an
// open port is used as found). After a successful opening the settings file
// is written at once, so that it holds the port just used. On a failed
// opening the port is closed, the error has been shown, the status line is
// reset and CmdStart is enabled. Returns the crwOpenPort code, 0 when the
// port is usable.
std::int16_t OpenPortIfClosed(Window& w);

// Closes a port left open by an earlier operation first, so the port is
// always opened with the current settings; then as OpenPortIfClosed.
std::int16_t OpenPortAfresh(Window& w);

// The link check: "PA" with an empty parameter, or nothing in the special
// mode, where the link counts as confirmed with the answer code "90".
// True when the answer is "A" with code "90" or "13".
bool CheckLink(Window& w);

// True when the last exchange ended in an "A" answer with code "90".
bool AnswerAccepted(const Protocol& protocol);

// On an open port: the yellow "checking" status, the link check, then
// `command` with an empty parameter, accepted as AnswerAccepted says. A
// failure shows its box (kNoLinkText for the link, `refusedText` for the
// command), resets the status line and records LinkCheckFailed or
// AnswerNotAccepted at `commandStep`; success leaves the status text empty
// and the answer in the protocol variables.
bool AskAfterLinkCheck(Window& w, const char* command, const char* refusedText, Step commandStep);

// A failure text: the first line indented by four blanks, a line break, the
// second line.
std::string FailureText(const std::string& firstLine, const std::string& secondLine);

// A failure box: error icon, OK, the application title.
void ShowFailure(Host& host, const std::string& firstLine, const std::string& secondLine);

// Controls an operation disables at its start and enables at its end, both
// in the listed order.
class ControlLock {
public:
    explicit ControlLock(std::vector<Control*> controls) : controls_(std::move(controls)) {}
    void Lock();
    void Release();

private:
    std::vector<Control*> controls_;
};

}  // namespace mirvok

#include <windows.h>

#include "Interrupt.h"
#include "OperatorChannel.h"
#include "startup/WideText.h"

namespace mirvok::cli {
namespace {

constexpr DWORD kIdleEveryMs = 10;
constexpr std::size_t kMaxAnswerUnits = 4096;
constexpr wchar_t kEndOfInput = 0x1A;  // Ctrl-Z, the console's end of input

void Echo(HANDLE output, const std::wstring& text) {
    DWORD written = 0;
    WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

// The console's own handles, also when standard input and output are
// redirected. Keys are read one by one rather than as a cooked line, so that
// timers keep ticking while the operator thinks.
struct TerminalOperator::Terminal {
    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE output = INVALID_HANDLE_VALUE;
};

TerminalOperator::TerminalOperator() : terminal_(std::make_unique<Terminal>()) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    terminal_->input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
    terminal_->output =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

TerminalOperator::~TerminalOperator() {
    if (terminal_->input != INVALID_HANDLE_VALUE) CloseHandle(terminal_->input);
    if (terminal_->output != INVALID_HANDLE_VALUE) CloseHandle(terminal_->output);
}

bool TerminalOperator::Available() {
    DWORD mode = 0;
    return terminal_->input != INVALID_HANDLE_VALUE && terminal_->output != INVALID_HANDLE_VALUE &&
           GetConsoleMode(terminal_->input, &mode) != 0;
}

std::optional<std::string> TerminalOperator::AskLine(const std::string& prompt,
                                                     const std::function<void()>& idle) {
    if (!Available()) return std::nullopt;
    const HANDLE input = terminal_->input;
    const HANDLE output = terminal_->output;
    Echo(output, Wide(prompt));
    std::wstring line;
    for (;;) {
        if (InterruptPending()) {
            TakeInterrupt();
            return std::nullopt;
        }
        const DWORD ready = WaitForSingleObject(input, kIdleEveryMs);
        if (ready == WAIT_TIMEOUT) {
            if (idle) idle();
            continue;
        }
        if (ready != WAIT_OBJECT_0) return std::nullopt;
        INPUT_RECORD record{};
        DWORD count = 0;
        if (!ReadConsoleInputW(input, &record, 1, &count)) return std::nullopt;
        if (count == 0 || record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
        const wchar_t c = record.Event.KeyEvent.uChar.UnicodeChar;
        if (c == L'\r') {
            Echo(output, L"\r\n");
            return Utf8(line);
        }
        if (c == kEndOfInput) return std::nullopt;
        if (c == L'\b') {
            if (!line.empty()) {
                line.pop_back();
                Echo(output, L"\b \b");
            }
            continue;
        }
        if (c >= L' ' && line.size() < kMaxAnswerUnits) {
            line += c;
            Echo(output, std::wstring(1, c));
        }
    }
}

}  // namespace mirvok::cli

#pragma once
// Where questions go when no flag answers them: the operator at the terminal.
// Tests put a scripted operator in its place.

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace mirvok::cli {

class OperatorChannel {
public:
    virtual ~OperatorChannel() = default;
    // Whether someone can be asked at all.
    virtual bool Available() = 0;
    // Shows the prompt and reads one line. Nothing on end of input or Ctrl-C.
    // `idle` runs every few milliseconds while the operator thinks, so timers
    // keep ticking as they do while a message box is open.
    virtual std::optional<std::string> AskLine(const std::string& prompt,
                                               const std::function<void()>& idle) = 0;
};

// The operator's terminal, also when standard input and output are
// redirected: the controlling terminal (/dev/tty) on POSIX, the console
// (CONIN$, CONOUT$) on Windows; unavailable without one. The platform's part
// is TerminalOperatorPosix.cpp or TerminalOperatorWindows.cpp.
class TerminalOperator final : public OperatorChannel {
public:
    TerminalOperator();
    ~TerminalOperator() override;
    TerminalOperator(const TerminalOperator&) = delete;
    TerminalOperator& operator=(const TerminalOperator&) = delete;

    bool Available() override;
    std::optional<std::string> AskLine(const std::string& prompt, const std::function<void()>& idle) override;

private:
    struct Terminal;
    std::unique_ptr<Terminal> terminal_;
};

// Nobody to ask (--yes scripts, tests of the unattended answers).
class NoOperator final : public OperatorChannel {
public:
    bool Available() override { return false; }
    std::optional<std::string> AskLine(const std::string&, const std::function<void()>&) override {
        return std::nullopt;
    }
};

}  // namespace mirvok::cli

#pragma once
// The program's text console: on Windows it is switched to UTF-8 output and
// to the escape sequences the progress bar redraws itself with
// (ConsoleWindows.cpp); a POSIX terminal takes both as it is (ConsolePosix.cpp).

namespace mirvok::cli {

// Once, before anything is printed. The console's earlier state comes back
// when the program ends.
void PrepareConsole();

// Whether standard error is a terminal or console, where the progress bar is
// redrawn in place and questions may be asked.
bool StandardErrorIsTerminal();

}  // namespace mirvok::cli

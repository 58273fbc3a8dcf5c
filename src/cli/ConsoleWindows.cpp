#include "Console.h"

#include <windows.h>

#include <cstdlib>

namespace mirvok::cli {
namespace {

UINT g_earlierOutputCodePage = 0;

void RestoreCodePage() {
    if (g_earlierOutputCodePage != 0) SetConsoleOutputCP(g_earlierOutputCodePage);
}

void EnableEscapeSequences(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode))
        SetConsoleMode(handle, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace

// The program writes its texts as UTF-8 bytes; the console shows them so
// once its output code page is UTF-8, the Japanese texts included.
void PrepareConsole() {
    const UINT earlier = GetConsoleOutputCP();
    if (earlier != 0 && earlier != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        g_earlierOutputCodePage = earlier;
        std::atexit(RestoreCodePage);
    }
    EnableEscapeSequences(STD_OUTPUT_HANDLE);
    EnableEscapeSequences(STD_ERROR_HANDLE);
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace mirvok::cli

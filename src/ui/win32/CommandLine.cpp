#include "CommandLine.h"

namespace mirvok {

namespace {

// Backslashes are literal unless they precede a quote: then each one doubles,
// and the quote is escaped.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            quoted.append(backslashes * 2 + 1, L'\\');
        else
            quoted.append(backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

}  // namespace

std::wstring CommandLineOf(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    std::wstring line = Quoted(program);
    for (const std::wstring& a : arguments) line += L' ' + Quoted(a);
    return line;
}

}  // namespace mirvok

namespace mirvok {

std::wstring ArgumentsOf(const std::wstring& commandLine) {
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        const std::size_t closing = commandLine.find(L'"', 1);
        i = closing == std::wstring::npos ? commandLine.size() : closing + 1;
    }
    while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    return commandLine.substr(i);
}

}  // namespace mirvok

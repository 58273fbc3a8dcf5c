#include "ProgramArguments.h"

#include <windows.h>
#include <shellapi.h>

#include "WideText.h"

namespace mirvok {

std::vector<std::string> ProgramArguments(int, char**) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) return {};
    std::vector<std::string> utf8;
    for (int i = 1; i < count; ++i) utf8.push_back(Utf8(arguments[i]));
    LocalFree(arguments);
    return utf8;
}

}  // namespace mirvok

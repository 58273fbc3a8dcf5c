#include "HostName.h"

#include <windows.h>

#include "startup/WideText.h"

namespace mirvok::station {

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) return "";
    return Utf8(std::wstring(name, size));
}

}  // namespace mirvok::station

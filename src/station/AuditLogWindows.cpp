#include "AuditLog.h"

#include <windows.h>

#include "startup/WideText.h"

namespace mirvok::station {

bool AppendLogLine(const std::string& path, const std::string& line) {
    // FILE_APPEND_DATA alone: every write goes to the end of the file as one
    // piece, whoever else appends at the same moment.
    const HANDLE file = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // A pipe or a device named as the log does not take the record.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return false;
    }
    const std::string text = line + "\n";
    DWORD written = 0;
    const bool wrote = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                       written == text.size();
    const bool flushed = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    return wrote && flushed;
}

}  // namespace mirvok::station

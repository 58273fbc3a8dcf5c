#include "AuditLog.h"

#include <windows.h>

#include "startup/WideText.h"

namespace mirvok::station {
namespace {

// Whether the file's last byte is not a line end (an earlier writer's
// fragment). A file that can't be read is taken as ending well.
bool EndsInFragment(HANDLE file, LONGLONG size) {
    if (size <= 0) return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((size - 1) & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
    char last = '\n';
    DWORD got = 0;
    return ReadFile(file, &last, 1, &got, &at) && got == 1 && last != '\n';
}

LONGLONG SizeOf(HANDLE file) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

// Truncates the file back to `before` while the write of `written` bytes that
// has just ended is still the file's end, so no later writer's record is cut.
// A handle of its own: the appending one has no right to set the end.
bool TakeBack(const std::wstring& path, LONGLONG before, DWORD written) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = before;
    const bool done = SizeOf(file) == before + written &&
                      SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) &&
                      FlushFileBuffers(file);
    CloseHandle(file);
    return done;
}

}  // namespace

bool AppendWholeRecord(const std::string& path, const std::string& record) {
    const std::wstring name = Wide(path);
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end
    // of the file as one piece, whoever else appends at the same moment. Read
    // access only serves to look at the last byte; a file that grants
    // appending alone is still appended to.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE file = CreateFileW(name.c_str(), FILE_APPEND_DATA | FILE_READ_DATA, share, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        file = CreateFileW(name.c_str(), FILE_APPEND_DATA, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // A pipe or a device named as the log does not take the record.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return false;
    }
    const LONGLONG before = SizeOf(file);
    const std::string text = (EndsInFragment(file, before) ? "\n" : "") + record + "\n";
    DWORD written = 0;
    const bool wrote = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                       written == text.size();
    if (wrote) {
        const bool flushed = FlushFileBuffers(file) != 0;
        CloseHandle(file);
        return flushed;
    }
    CloseHandle(file);
    // Cut short: the fragment is taken back; where that fails it stays
    // without a line end, and the next writer starts on a new line.
    if (written > 0 && before >= 0) TakeBack(name, before, written);
    return false;
}

}  // namespace mirvok::station

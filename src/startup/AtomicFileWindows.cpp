#include "AtomicFile.h"

#include <windows.h>

#include <algorithm>

#include "AtomicFileTemporary.h"
#include "WideText.h"

namespace mirvok {
namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    bool Close() {
        if (!Valid()) return true;
        const bool closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        constexpr std::size_t kChunk = 1 << 20;
        const DWORD chunk = static_cast<DWORD>(std::min(bytes.size() - done, kChunk));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

// Creates a temporary file beside the target, not shared with anyone.
HANDLE CreateTemporary(const std::wstring& target, std::wstring& temporaryPath) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporaryPath = Wide(TemporaryName(Utf8(target), static_cast<long>(GetCurrentProcessId()), attempt));
        const HANDLE file = CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return INVALID_HANDLE_VALUE;
}

// One rename that replaces the target, written through to the disk: at every
// instant the file is the old or the new one. (ReplaceFileW is not atomic: it
// moves the old file away, and a kill before the new one is moved in leaves
// no file at all.)
bool MoveOver(const std::wstring& temporary, const std::wstring& target) {
    return MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The full path: the temporary file must land in the same folder, and the
// replacing calls are given full paths.
std::wstring FullPath(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return path;
    full.resize(written);
    return full;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
    if (path.empty()) return false;
    // A link stays a link: its target is what is replaced, as on POSIX.
    const std::wstring target = FullPath(Wide(ReplacedFile(path)));
    if (target.empty()) return false;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    // A write-protected settings file stays protected, as the profile functions leave it.
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) return false;
    if (exists && HoldsBytes(Utf8(target), bytes)) return true;

    std::wstring temporary;
    FileHandle file(CreateTemporary(target, temporary));
    if (!file.Valid()) return false;
    bool ok = WriteAll(file.Get(), bytes);
    ok = ok && FlushFileBuffers(file.Get()) != 0;
    ok = file.Close() && ok;
    ok = ok && MoveOver(temporary, target);
    if (!ok) DeleteFileW(temporary.c_str());
    return ok;
}

}  // namespace mirvok

#include "SettingsLock.h"

#include <windows.h>

#include "AtomicFileTemporary.h"
#include "WideText.h"

namespace mirvok {
namespace {

HANDLE AsHandle(long long handle) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}

}  // namespace

SettingsLock::SettingsLock(const std::string& iniPath) {
    const std::wstring target = Wide(ReplacedFile(iniPath));
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return;
    const HANDLE file = CreateFileW((target + Wide(kLockSuffix)).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(file));
    OVERLAPPED whole{};
    held_ = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
}

SettingsLock::~SettingsLock() {
    Release();
}

void SettingsLock::Release() {
    if (handle_ < 0) return;
    CloseHandle(AsHandle(handle_));  // lets the lock go
    handle_ = -1;
    held_ = false;
}

}  // namespace mirvok

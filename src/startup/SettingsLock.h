#pragma once
// The lock that every change of the settings file holds, from reading the
// file to replacing it: a lock on "<file>.lock" beside it (flock on POSIX,
// LockFileEx on Windows), which the system lets go when its holder ends, a
// kill included. Two programs that share the file so never save over each
// other's changes, and a temporary file beside it is stale exactly when
// nobody holds the lock.

#include <string>

namespace mirvok {

inline constexpr const char* kLockSuffix = ".lock";

class SettingsLock {
public:
    // Waits for the lock of the settings file at `iniPath`. A path that names
    // something other than a regular file, or a folder where the lock file
    // cannot be made, gets no lock: nothing can be saved there either.
    explicit SettingsLock(const std::string& iniPath);
    ~SettingsLock();
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

    bool Held() const { return held_; }

private:
    void Release();

    bool held_ = false;
    // The platform's handle: a file descriptor, or a HANDLE.
    long long handle_ = -1;
};

}  // namespace mirvok

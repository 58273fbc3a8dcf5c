#pragma once
// What one pass over a firmware file read: its lines and the SHA-256 of its
// bytes. The transfer engine reads the file twice, once to check and count it
// and once to send it; the two fingerprints must be equal before the
// end-of-file byte lets the device take what was sent, so that a file changed
// in between, or while it was being sent, is never completed on the device.

#include <cstdint>
#include <string>

#include "startup/Sha256.h"

namespace mirvok {

struct FileFingerprint {
    std::uint64_t lines = 0;
    Sha256::Digest sha256{};

    bool operator==(const FileFingerprint&) const = default;
    // Lower-case hexadecimal, as sha256sum prints it.
    std::string Sha256Hex() const { return HexDigest(sha256); }
};

}  // namespace mirvok

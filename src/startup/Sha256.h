#pragma once
// SHA-256 (FIPS 180-4), fed piece by piece, so that a file of any size is
// digested in one pass through a fixed buffer. The platform computes it:
// OpenSSL's libcrypto on POSIX (Sha256Posix.cpp), the system's CNG on
// Windows (Sha256Windows.cpp); both use the processor's SHA instructions
// where there are some.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace mirvok {

class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;

    // A platform call that fails (memory exhausted, the system's provider
    // missing) ends the program with a message: a digest is never made up.
    Sha256();
    ~Sha256();
    Sha256(const Sha256& other);
    Sha256& operator=(const Sha256& other);
    Sha256(Sha256&& other) noexcept;
    Sha256& operator=(Sha256&& other) noexcept;

    void Update(const void* data, std::size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // The digest of everything fed so far; the object may be fed on.
    Digest Final() const;

private:
    struct Context;  // the platform's hashing state
    std::unique_ptr<Context> context_;
};

// Lower-case hexadecimal, as sha256sum prints it.
std::string HexDigest(const Sha256::Digest& digest);

}  // namespace mirvok

#pragma once
// SHA-256 (FIPS 180-4), fed piece by piece, so that a file of any size is
// digested in one pass through a fixed buffer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mirvok {

class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    void Update(const void* data, std::size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // The digest of everything fed so far; the object may be fed on.
    Digest Final() const;

private:
    void Compress(const std::uint8_t* blocks, std::size_t count);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> block_{};
    std::size_t blockUsed_ = 0;
    std::uint64_t totalBytes_ = 0;
};

// Lower-case hexadecimal, as sha256sum prints it.
std::string HexDigest(const Sha256::Digest& digest);

}  // namespace mirvok

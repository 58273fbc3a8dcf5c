#include "Sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace mirvok {

struct Sha256::Context {
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~Context() {
        if (hash) BCryptDestroyHash(hash);
    }
};

namespace {

[[noreturn]] void Fail(const char* call, NTSTATUS status) {
    std::fprintf(stderr, "mirvok: SHA-256: CNG's %s failed (0x%08lX)\n", call,
                 static_cast<unsigned long>(status));
    std::abort();
}

// The system's SHA-256 provider, opened once for the process.
BCRYPT_ALG_HANDLE Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        const NTSTATUS status = BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        if (!BCRYPT_SUCCESS(status)) Fail("BCryptOpenAlgorithmProvider", status);
        return opened;
    }();
    return provider;
}

BCRYPT_HASH_HANDLE Duplicate(BCRYPT_HASH_HANDLE hash) {
    BCRYPT_HASH_HANDLE copy = nullptr;
    const NTSTATUS status = BCryptDuplicateHash(hash, &copy, nullptr, 0, 0);
    if (!BCRYPT_SUCCESS(status)) Fail("BCryptDuplicateHash", status);
    return copy;
}

}  // namespace

Sha256::Sha256() : context_(std::make_unique<Context>()) {
    const NTSTATUS status = BCryptCreateHash(Provider(), &context_->hash, nullptr, 0, nullptr, 0, 0);
    if (!BCRYPT_SUCCESS(status)) Fail("BCryptCreateHash", status);
}

Sha256::~Sha256() = default;

Sha256::Sha256(const Sha256& other) : context_(std::make_unique<Context>()) {
    context_->hash = Duplicate(other.context_->hash);
}

Sha256& Sha256::operator=(const Sha256& other) {
    if (this != &other) {
        const BCRYPT_HASH_HANDLE copy = Duplicate(other.context_->hash);
        BCryptDestroyHash(context_->hash);
        context_->hash = copy;
    }
    return *this;
}

Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(const void* data, std::size_t size) {
    // CNG takes at most 4 GiB - 1 a call.
    constexpr std::size_t kLargestPiece = 1u << 30;
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
        const std::size_t piece = std::min(size, kLargestPiece);
        const NTSTATUS status = BCryptHashData(context_->hash, bytes, static_cast<ULONG>(piece), 0);
        if (!BCRYPT_SUCCESS(status)) Fail("BCryptHashData", status);
        bytes += piece;
        size -= piece;
    }
}

Sha256::Digest Sha256::Final() const {
    const Sha256 last = *this;
    Digest digest{};
    const NTSTATUS status =
        BCryptFinishHash(last.context_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    if (!BCRYPT_SUCCESS(status)) Fail("BCryptFinishHash", status);
    return digest;
}

}  // namespace mirvok

#include "Sha256.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>

namespace mirvok {

struct Sha256::Context {
    EVP_MD_CTX* md = nullptr;
    ~Context() { EVP_MD_CTX_free(md); }
};

namespace {

[[noreturn]] void Fail(const char* call) {
    std::fprintf(stderr, "mirvok: SHA-256: libcrypto's %s failed\n", call);
    std::abort();
}

EVP_MD_CTX* NewContext() {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    if (!md) Fail("EVP_MD_CTX_new");
    return md;
}

}  // namespace

Sha256::Sha256() : context_(std::make_unique<Context>()) {
    context_->md = NewContext();
    if (EVP_DigestInit_ex(context_->md, EVP_sha256(), nullptr) != 1) Fail("EVP_DigestInit_ex");
}

Sha256::~Sha256() = default;

Sha256::Sha256(const Sha256& other) : context_(std::make_unique<Context>()) {
    context_->md = NewContext();
    if (EVP_MD_CTX_copy_ex(context_->md, other.context_->md) != 1) Fail("EVP_MD_CTX_copy_ex");
}

Sha256& Sha256::operator=(const Sha256& other) {
    if (this != &other && EVP_MD_CTX_copy_ex(context_->md, other.context_->md) != 1)
        Fail("EVP_MD_CTX_copy_ex");
    return *this;
}

Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(const void* data, std::size_t size) {
    if (EVP_DigestUpdate(context_->md, data, size) != 1) Fail("EVP_DigestUpdate");
}

Sha256::Digest Sha256::Final() const {
    const Sha256 last = *this;
    Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(last.context_->md, digest.data(), &length) != 1 || length != digest.size())
        Fail("EVP_DigestFinal_ex");
    return digest;
}

}  // namespace mirvok

#include "Sha256.h"

#include <cstring>

#include "Sha256Blocks.h"

namespace mirvok {
namespace {

constexpr std::array<std::uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::uint32_t RotateRight(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void CompressBlock(sha256::State& state, const std::uint8_t* block) {
    std::array<std::uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i) w[i] = BigEndian32(block + 4 * i);
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t s1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
        const std::uint32_t choice = (e & f) ^ (~e & g);
        const std::uint32_t t1 = h + s1 + choice + sha256::kRoundConstants[i] + w[i];
        const std::uint32_t s0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
        const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
        const std::uint32_t t2 = s0 + majority;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

}  // namespace

Sha256::Sha256() : state_(kInitialState) {}

namespace sha256 {

void CompressPortable(State& state, const std::uint8_t* blocks, std::size_t count) {
    for (; count > 0; --count, blocks += 64) CompressBlock(state, blocks);
}

}  // namespace sha256

void Sha256::Compress(const std::uint8_t* blocks, std::size_t count) {
    if (!sha256::CompressWithShaInstructions(state_, blocks, count))
        sha256::CompressPortable(state_, blocks, count);
}

void Sha256::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    totalBytes_ += size;
    const auto fill = [&](std::size_t take) {
        std::memcpy(block_.data() + blockUsed_, bytes, take);
        blockUsed_ += take;
        bytes += take;
        size -= take;
    };
    if (blockUsed_ > 0) {
        fill(std::min(size, block_.size() - blockUsed_));
        if (blockUsed_ < block_.size()) return;
        Compress(block_.data(), 1);
        blockUsed_ = 0;
    }
    // Whole blocks are digested where they lie; only the rest is copied.
    const std::size_t blocks = size / block_.size();
    if (blocks > 0) {
        Compress(bytes, blocks);
        bytes += blocks * block_.size();
        size -= blocks * block_.size();
    }
    fill(size);
}

Sha256::Digest Sha256::Final() const {
    Sha256 last = *this;
    const std::uint64_t bitLength = totalBytes_ * 8;
    const std::uint8_t one = 0x80;
    last.Update(&one, 1);
    const std::uint8_t zero = 0;
    while (last.blockUsed_ != 56) last.Update(&zero, 1);
    std::uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<std::uint8_t>(bitLength >> (56 - 8 * i));
    last.Update(length, sizeof length);
    Digest digest{};
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<std::uint8_t>(last.state_[i] >> (24 - 8 * j));
    return digest;
}

std::string HexDigest(const Sha256::Digest& digest) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * digest.size());
    for (std::uint8_t byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0f];
    }
    return text;
}

}  // namespace mirvok

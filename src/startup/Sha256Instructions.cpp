#include "Sha256Blocks.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>

namespace mirvok::sha256 {
namespace {

bool HasShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = (c & bit_SSSE3) != 0;
    const bool sse41 = (c & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3 && sse41 && (b & bit_SHA) != 0;
}

// The state as the instructions keep it: words A B E F in one register and
// C D G H in the other; the message words of 4 rounds at a time.
__attribute__((target("sha,sse4.1"))) void Compress(State& state, const std::uint8_t* blocks,
                                                    std::size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i w[4];
        for (int group = 0; group < 16; ++group) {
            __m128i words;
            if (group < 4) {
                words = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)), byteSwap);
            } else {
                // w[t] = s1(w[t-2]) + w[t-7] + s0(w[t-15]) + w[t-16], four at a time.
                const __m128i& older = w[group % 4];  // the group 4 back
                const __m128i& back3 = w[(group + 1) % 4];
                const __m128i& back2 = w[(group + 2) % 4];
                const __m128i& back1 = w[(group + 3) % 4];
                words = _mm_add_epi32(_mm_sha256msg1_epu32(older, back3), _mm_alignr_epi8(back1, back2, 4));
                words = _mm_sha256msg2_epu32(words, back1);
            }
            w[group % 4] = words;
            __m128i message = _mm_add_epi32(
                words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

}  // namespace

bool CompressWithShaInstructions(State& state, const std::uint8_t* blocks, std::size_t count) {
    static const bool available = HasShaInstructions();
    if (!available) return false;
    Compress(state, blocks, count);
    return true;
}

}  // namespace mirvok::sha256

#else

namespace mirvok::sha256 {

bool CompressWithShaInstructions(State&, const std::uint8_t*, std::size_t) {
    return false;
}

}  // namespace mirvok::sha256

#endif

#include <gtest/gtest.h>

#include <vector>

#include "startup/Sha256.h"
#include "startup/Sha256Blocks.h"

namespace mirvok {
namespace {

std::string DigestOf(const std::string& bytes, std::size_t piece) {
    Sha256 sha;
    for (std::size_t at = 0; at < bytes.size(); at += piece) sha.Update(bytes.substr(at, piece));
    return HexDigest(sha.Final());
}

// The test vectors of FIPS 180-4 (and its examples), fed whole and piece by
// piece so that every block boundary is crossed.
TEST(Sha256, FipsVectorsWholeAndInPieces) {
    const std::pair<std::string, const char*> vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
         "mnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [bytes, expected] : vectors) {
        SCOPED_TRACE(bytes.size());
        for (std::size_t piece :
             {bytes.size() + 1, std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{65}})
            EXPECT_EQ(DigestOf(bytes, piece), expected) << piece;
    }
}

TEST(Sha256, PaddingAroundTheLengthField) {
    // 55, 56 and 64 bytes: the padding fits, just does not fit, and takes a block.
    EXPECT_EQ(DigestOf(std::string(55, 'a'), 100),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(DigestOf(std::string(56, 'a'), 100),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(DigestOf(std::string(64, 'a'), 100),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

// The vectors above run through whichever compression this processor takes;
// the other one must agree with it block for block.
TEST(Sha256, InstructionsAndPortableCodeAgree) {
    std::vector<std::uint8_t> blocks(64 * 200);
    std::uint32_t x = 12345;
    for (std::uint8_t& byte : blocks) byte = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 16);
    for (std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{200}}) {
        sha256::State portable = {1, 2, 3, 4, 5, 6, 7, 8};
        sha256::State instructions = portable;
        sha256::CompressPortable(portable, blocks.data(), count);
        if (!sha256::CompressWithShaInstructions(instructions, blocks.data(), count)) GTEST_SKIP();
        EXPECT_EQ(instructions, portable) << count;
    }
}

}  // namespace
}  // namespace mirvok

#include <gtest/gtest.h>

#include "startup/Sha256.h"

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

// A digest taken midway leaves the object to be fed on, and a copy goes on
// from where its original was.
TEST(Sha256, FinalMidwayAndCopiesFeedOn) {
    Sha256 sha;
    sha.Update("ab");
    EXPECT_EQ(HexDigest(sha.Final()), "fb8e20fc2e4c3f248c60c39bd652f3c1347298bb977b8b4d5903b85055620603");
    Sha256 copy = sha;
    sha.Update("c");
    EXPECT_EQ(HexDigest(sha.Final()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HexDigest(copy.Final()), "fb8e20fc2e4c3f248c60c39bd652f3c1347298bb977b8b4d5903b85055620603");
    copy = sha;
    EXPECT_EQ(HexDigest(copy.Final()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
}  // namespace mirvok

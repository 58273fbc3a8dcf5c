// The sending pass sends only the file the counting pass checked: a file
// changed, truncated or grown while it is being sent never gets the
// end-of-file byte that makes the device take it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "EngineRig.h"
#include "download/TransferEngine.h"
#include "startup/Sha256.h"
#include "support/SRecordMaker.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

using test::JoinLines;
using test::S1;
using test::S9;

std::string Firmware() {
    std::vector<std::string> lines;
    for (std::uint32_t a = 0; a < 12; ++a) lines.push_back(S1(a * 16));
    lines.push_back(S9());
    return JoinLines(lines);
}

void Overwrite(const std::string& path, std::size_t offset, const std::string& bytes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Sent {
    std::int16_t result = 0;
    std::size_t lines = 0;   // writes before the end-of-file byte
    bool endOfFile = false;  // the byte 0x1A went out, alone or inside a line
    std::string checkedSha256;
};

Sent SendChanging(const std::string& path, const std::function<void()>& change) {
    test::EngineRig rig;
    // Fires at the sending pass's first yield: after its opening, before its first read.
    if (change) rig.host.Soon(change);
    FileFingerprint checked;
    Sent sent;
    sent.result = SendRomFile(rig.window, path, "111111111", nullptr, &checked);
    for (const auto& w : rig.Writes()) {
        if (w.bytes.find('\x1A') != std::string::npos)
            sent.endOfFile = true;
        else
            ++sent.lines;
    }
    sent.checkedSha256 = checked.Sha256Hex();
    return sent;
}

TEST(FileChangedWhileSent, EndsWithoutTheEndOfFileByte) {
    const std::string original = Firmware();
    const std::size_t thirdLine = original.find("S1", original.find("S1", 1) + 1);
    struct Row {
        const char* name;
        std::function<void(const std::string&)> change;
        std::size_t linesSent;
    };
    const Row rows[] = {
        {"a byte changed in place", [&](const std::string& p) { Overwrite(p, original.size() / 2, "F"); },
         13},
        {"truncated to a third",
         [&](const std::string& p) { std::filesystem::resize_file(p, original.size() / 3); }, 5},
        {"a line appended",
         [](const std::string& p) { std::ofstream(p, std::ios::app) << S1(0x200) << "\r\n"; }, 13},
        {"0x1A written into a line", [&](const std::string& p) { Overwrite(p, thirdLine + 6, "\x1A"); }, 2},
        {"emptied", [](const std::string& p) { std::filesystem::resize_file(p, 0); }, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const std::string path = dir.Write("rom.mot", original);
        const Sent sent = SendChanging(path, [&] { row.change(path); });
        EXPECT_EQ(sent.result, kFileChanged);
        EXPECT_FALSE(sent.endOfFile);
        EXPECT_EQ(sent.lines, row.linesSent);
    }
}

TEST(FileChangedWhileSent, AnUnchangedFileIsCompletedWithTheDigestOfAllItsBytes) {
    // A DOS end-of-file mark ends the content; the digest covers it as well.
    const std::string bytes = Firmware() + "\x1A\x1A";
    test::TempDir dir;
    const Sent sent = SendChanging(dir.Write("rom.mot", bytes), nullptr);
    EXPECT_EQ(sent.result, kTransferDone);
    EXPECT_TRUE(sent.endOfFile);
    EXPECT_EQ(sent.lines, 13u);
    Sha256 digest;
    digest.Update(bytes);
    EXPECT_EQ(sent.checkedSha256, HexDigest(digest.Final()));
}

}  // namespace
}  // namespace mirvok

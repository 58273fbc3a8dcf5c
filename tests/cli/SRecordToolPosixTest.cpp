// check against an established S-record tool: srec_cat (Debian's srecord)
// reads generated files, sound ones in the three address widths and ones with
// the kinds of damage that both are meant to find, and its verdict and data
// image must be check's.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "cli/RecordCheck.h"
#include "startup/SRecord.h"
#include "station/ExitCode.h"
#include "support/SRecordMaker.h"
#include "support/TempDir.h"

namespace mirvok::cli::test {
namespace {

using mirvok::test::JoinLines;
using mirvok::test::MakeRecord;
using mirvok::test::TempDir;
using Image = std::map<std::uint64_t, std::uint8_t>;

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / program;
        if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return "";
}

struct ToolRun {
    int exitCode = -1;
    std::string out, err;
};

ToolRun RunTool(const std::vector<std::string>& args, const TempDir& dir) {
    const std::string outPath = dir.File("tool.out"), errPath = dir.File("tool.err");
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempDir::Read(outPath), TempDir::Read(errPath)};
}

// The data records of srec_cat's output.
Image ImageOf(const std::string& records) {
    Image image;
    std::stringstream lines(records);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        SRecord record;
        if (ParseSRecord(line, record) != SRecordFault::None || !IsDataRecord(record.type)) continue;
        for (std::size_t i = 0; i < record.data.size(); ++i)
            image[std::uint64_t{record.address} + i] = static_cast<std::uint8_t>(record.data[i]);
    }
    return image;
}

// What a file is made to be, and what both tools must then say.
enum class Kind { Sound, BadChecksum, BadByteCount, NotHex, LineLost, LineRepeated, WrongCount, TwoValues };

struct Expectation {
    int exitCode;
    const char* toolSays;  // in srec_cat's error output; "" for a file it takes
};

Expectation ExpectedOf(Kind kind) {
    switch (kind) {
        case Kind::Sound:
            return {kExitOk, ""};
        case Kind::BadChecksum:
            return {kExitBadRecord, "checksum mismatch"};
        case Kind::BadByteCount:
        case Kind::NotHex:
            return {kExitBadRecord, ""};  // its words depend on where it stops reading
        case Kind::LineLost:
        case Kind::LineRepeated:
        case Kind::WrongCount:
            return {kExitCountMismatch, "data record count mismatch"};
        case Kind::TwoValues:
            return {kExitConflictingData, "multiple"};
    }
    return {};
}

struct Generated {
    std::vector<std::string> lines;
    Kind kind;
};

// Records of 1 to 32 bytes with gaps between them, in one address width,
// some files out of address order and some with the same record twice.
class FileMaker {
public:
    explicit FileMaker(unsigned seed) : random_(seed) {}

    Generated Make(Kind kind, int width) {
        const char dataType = static_cast<char>('0' + width - 1);
        const int addressBytes = width;
        const std::uint32_t base = width == 2 ? 0x0100 : width == 3 ? 0x01FF00 : 0x2000FF00;
        std::vector<std::string> data;
        std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> written;
        std::uint32_t address = base;
        const int records = Between(2, 12);
        for (int i = 0; i < records; ++i) {
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Between(1, 32)));
            for (auto& b : bytes) b = static_cast<std::uint8_t>(Between(0, 255));
            data.push_back(MakeRecord(dataType, address, addressBytes, bytes));
            written.emplace_back(address, bytes);
            address += static_cast<std::uint32_t>(bytes.size() + static_cast<std::size_t>(Between(0, 3) * 8));
        }
        if (kind == Kind::Sound && Between(0, 2) == 0) std::shuffle(data.begin(), data.end(), random_);
        if (kind == Kind::Sound && Between(0, 2) == 0) data.push_back(data[Index(data)]);
        if (kind == Kind::TwoValues) {
            auto [at, bytes] = written[Index(written)];
            bytes[Index(bytes)] ^= 0x5A;
            data.push_back(MakeRecord(dataType, at, addressBytes, bytes));
        }
        const std::size_t victim = Index(data);
        if (kind == Kind::BadChecksum) data[victim].back() = data[victim].back() == '0' ? '1' : '0';
        if (kind == Kind::BadByteCount) data[victim][3] = data[victim][3] == '0' ? '1' : '0';
        if (kind == Kind::NotHex) data[victim][4 + 2 * static_cast<std::size_t>(addressBytes)] = 'G';

        int counted = static_cast<int>(data.size());
        const bool withCount = kind == Kind::LineLost || kind == Kind::LineRepeated ||
                               kind == Kind::WrongCount || Between(0, 1) == 1;
        if (kind == Kind::WrongCount) counted += Between(1, 3);
        if (kind == Kind::LineLost) data.erase(data.begin() + static_cast<std::ptrdiff_t>(victim));
        if (kind == Kind::LineRepeated)
            data.insert(data.begin() + static_cast<std::ptrdiff_t>(victim), data[victim]);

        std::vector<std::string> lines = {MakeRecord('0', 0, 2, {'t', 'e', 's', 't'})};
        lines.insert(lines.end(), data.begin(), data.end());
        if (withCount) {
            const bool wide = Between(0, 1) == 1;  // S6 where a 24-bit count is wanted
            lines.push_back(wide ? MakeRecord('6', static_cast<std::uint32_t>(counted), 3, {})
                                 : MakeRecord('5', static_cast<std::uint32_t>(counted), 2, {}));
        }
        const char closing = static_cast<char>('0' + 11 - width);  // S9, S8, S7
        lines.push_back(MakeRecord(closing, 0, addressBytes, {}));
        return {lines, kind};
    }

private:
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    template <typename List>
    std::size_t Index(const List& list) {
        return static_cast<std::size_t>(Between(0, static_cast<int>(list.size()) - 1));
    }
    std::mt19937 random_;
};

TEST(SRecordTool, CheckAndSrecCatAgreeOnVerdictAndImage) {
    const std::string srecCat = FindOnPath("srec_cat");
    if (srecCat.empty()) GTEST_SKIP() << "srec_cat (Debian package srecord) is not installed";
    TempDir dir;
    FileMaker maker(27);
    int compared = 0;
    for (const Kind kind : {Kind::Sound, Kind::BadChecksum, Kind::BadByteCount, Kind::NotHex, Kind::LineLost,
                            Kind::LineRepeated, Kind::WrongCount, Kind::TwoValues}) {
        for (int width = 2; width <= 4; ++width) {
            for (int n = 0; n < (kind == Kind::Sound ? 12 : 4); ++n) {
                const Generated file = maker.Make(kind, width);
                const std::string path = dir.Write("f.srec", JoinLines(file.lines));
                SCOPED_TRACE(JoinLines(file.lines));
                const FileCheck check = CheckFile(path, "111111111");
                const ToolRun tool = RunTool({srecCat, path, "-o", "-", "-address-length=4"}, dir);
                const Expectation expected = ExpectedOf(kind);
                EXPECT_EQ(CheckExitCode(check), expected.exitCode);
                EXPECT_EQ(tool.exitCode == 0, expected.exitCode == kExitOk) << tool.err;
                EXPECT_NE(tool.err.find(expected.toolSays), std::string::npos) << tool.err;
                if (tool.exitCode == 0 && CheckExitCode(check) == kExitOk) {
                    Image ours;
                    for (const auto& [at, bytes] : check.image.Segments())
                        for (std::size_t i = 0; i < bytes.size(); ++i)
                            ours[at + i] = static_cast<std::uint8_t>(bytes[i]);
                    EXPECT_EQ(ours, ImageOf(tool.out));
                    EXPECT_FALSE(ours.empty());
                }
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 12 * 3 + 7 * 4 * 3);
}

}  // namespace
}  // namespace mirvok::cli::test

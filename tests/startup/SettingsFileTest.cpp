#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "SettingsFileFiles.h"
#include "startup/ExecutablePath.h"
#include "startup/PathSeparator.h"
#include "startup/ProfileFile.h"
#include "startup/SettingsFile.h"
#include "startup/StartupMain.h"

namespace mirvok {
namespace {

TEST(SettingsFile, FirstStartWritesTheWholeFileWithTheDefaults) {
    test::TempDir dir;
    RunState run = RunIn(dir);
    run.settings.Port = 9;  // whatever was in memory: the defaults win
    LoadOrCreateSettings(run);
    EXPECT_EQ(test::TempDir::Read(run.IniPath), FirstStartFile());
    EXPECT_EQ(run.settings.Port, 1);
    EXPECT_EQ(run.settings.Downloadno, 3);
    EXPECT_EQ(run.settings.StTimer, 1000);

    // The second start loads what the first one wrote.
    RunState second = RunIn(dir);
    second.settings.Top = 99;
    LoadOrCreateSettings(second);
    EXPECT_EQ(second.settings.Top, 0);
    EXPECT_EQ(second.settings.Setting, "9600,E,8,1");
    EXPECT_EQ(second.settings.Directory, std::string(1, PathSeparator()));
    EXPECT_EQ(test::TempDir::Read(run.IniPath), FirstStartFile());
}

TEST(SettingsFile, AnotherMarkerResetsEverySettingButKeepsForeignKeys) {
    test::TempDir dir;
    const auto path = dir.Write("Mirvok.ini",
                                "[application]\r\napp=MIRVOK\r\n[Comm]\r\nPort= 7\r\n"
                                "[File]\r\nFile1=/rom/a.mot\r\n[Ports]\r\nCOM7=/dev/ttyUSB0\r\n");
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    EXPECT_EQ(run.settings.Port, 1);
    const ProfileFile file = ProfileFile::Load(path);
    EXPECT_EQ(file.Get("Application", "App"), "Mirvok");
    EXPECT_EQ(file.Get("Comm", "Port"), "1");
    EXPECT_EQ(file.Get("File", "File1"), "/rom/a.mot");
    EXPECT_EQ(file.Get("Ports", "COM7"), "/dev/ttyUSB0");
    // The file as it was survives beside it.
    EXPECT_EQ(test::TempDir::Read(path + ".bak"),
              "[application]\r\napp=MIRVOK\r\n[Comm]\r\nPort= 7\r\n"
              "[File]\r\nFile1=/rom/a.mot\r\n[Ports]\r\nCOM7=/dev/ttyUSB0\r\n");
}

// An editor's byte-order mark or CR-only line ends are no first start: the
// operator's port and modes stay.
TEST(SettingsFile, MarkOrCrLineEndsKeepTheSettings) {
    for (const std::string& bytes :
         {std::string("\xEF\xBB\xBF[Application]\r\nApp=Mirvok\r\n[Comm]\r\nPort= 7\r\n"
                      "[Mode]\r\nCRmode= 0\r\n"),
          std::string("[Application]\rApp=Mirvok\r[Comm]\rPort= 7\r[Mode]\rCRmode= 0\r")}) {
        test::TempDir dir;
        dir.Write("Mirvok.ini", bytes);
        RunState run = RunIn(dir);
        LoadOrCreateSettings(run);
        EXPECT_EQ(run.settings.Port, 7);
        EXPECT_EQ(run.settings.CRmode, 0);
        EXPECT_FALSE(std::filesystem::exists(run.IniPath + ".bak"));
    }
}

// A file that cannot be read (here: far too large) is kept as the backup and
// a fresh file is written; one whose copy cannot be made is not overwritten.
TEST(SettingsFile, UnreadableFileIsBackedUpBeforeTheFirstStartReplacesIt) {
    test::TempDir dir;
    const std::string huge = "[Comm]\r\nPort= 4\r\n" + std::string(ProfileFile::kMaxFileBytes + 1, '\n');
    dir.Write("Mirvok.ini", huge);
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    EXPECT_EQ(run.settings.Port, 1);
    EXPECT_EQ(test::TempDir::Read(run.IniPath), FirstStartFile());
    EXPECT_EQ(test::TempDir::Read(run.IniPath + ".bak"), huge);

    // The backup's place is taken by a folder: no copy, so no overwrite.
    test::TempDir other;
    other.Write("Mirvok.ini", "[Comm]\r\nPort= 4\r\n");
    std::filesystem::create_directory(other.File("Mirvok.ini.bak"));
    RunState second = RunIn(other);
    LoadOrCreateSettings(second);
    EXPECT_EQ(second.settings.Port, 1);
    EXPECT_EQ(test::TempDir::Read(second.IniPath), "[Comm]\r\nPort= 4\r\n");
}

// One stored value, the field it loads into and what that field must hold.
struct LoadCase {
    const char* section;
    const char* key;
    std::string stored;
    std::function<std::int64_t(const Settings&)> field;
    std::int64_t expected;
};

TEST(SettingsFile, LoadChecksEveryField) {
    const auto top = [](const Settings& s) { return s.Top; };
    const auto left = [](const Settings& s) { return s.Left; };
    const auto port = [](const Settings& s) { return s.Port; };
    const auto linechk = [](const Settings& s) { return s.Linechk; };
    const auto crmode = [](const Settings& s) { return s.CRmode; };
    const auto mode = [](const Settings& s) { return s.Downloadno; };
    const auto spno = [](const Settings& s) { return s.Spno; };
    const auto interval = [](const Settings& s) { return s.StTimer; };
    const std::vector<LoadCase> cases = {
        {"Comm", "Port", "0", port, 1},
        {"Comm", "Port", "257", port, 1},
        {"Comm", "Port", "abc", port, 1},
        {"Comm", "Port", "256", port, 256},
        {"Comm", "Port", "0.9", port, 1},
        {"Comm", "Port", "2.5", port, 2},
        {"Comm", "Port", "256.4", port, 1},
        {"Comm", "Port", "12abc", port, 12},
        {"Comm", "Port", "\"3\"", port, 3},      // hand-edited in quotes
        {"Comm", "Port", "'3'", port, 1},        // single quotes are no pair that goes
        {"Special", "Spno", " 1\x1A", spno, 1},  // a DOS end-of-file mark after the last value
        {"Option", "Linechk", "2", linechk, 1},
        {"Option", "Linechk", " 0", linechk, 0},  // written with a blank, read without
        {"Option", "Linechk", "0.0", linechk, 1},
        {"Mode", "CRmode", "0", crmode, 0},
        {"Mode", "CRmode", "", crmode, 1},
        {"Special", "Spno", "3", spno, 0},
        {"Special", "Spno", "2", spno, 2},
        {"Special", "Spno", "-1", spno, 0},
        {"Mode", "Downloadno", "9", mode, 3},
        {"Mode", "Downloadno", "", mode, 3},
        {"Mode", "Downloadno", "80", mode, 3},
        {"Mode", "Downloadno", "10", mode, 3},
        {"Mode", "Downloadno", "-1", mode, 3},
        {"Mode", "Downloadno", "5", mode, 5},
        {"Mode", "Downloadno", "7.9", mode, 8},
        {"Mode", "Downloadno", "5abc", mode, 5},
        {"Mode", "Downloadno", "0", mode, 0},
        {"Mode", "Downloadno", "8", mode, 8},
        {"Display", "Top", "-15", top, -15},
        {"Display", "Top", "2.5", top, 2},
        {"Display", "Top", "3.5", top, 4},
        {"Display", "Top", "40000", top, 32767},
        {"Display", "Top", "-1e9", top, -32768},
        {"Display", "Top", "x", top, 0},
        {"Display", "LEFT", "120", left, 120},
        {"Comm", "StTimer", "2000", interval, 2000},
        {"Comm", "StTimer", "99999999999999999999", interval, 32767},
        {"Comm", "StTimer", "", interval, 0},
    };
    for (const LoadCase& c : cases) {
        test::TempDir dir;
        dir.Write("Mirvok.ini", std::string("[Application]\r\nApp=Mirvok\r\n[") + c.section + "]\r\n" +
                                    c.key + "=" + c.stored + "\r\n");
        RunState run = RunIn(dir);
        LoadOrCreateSettings(run);
        EXPECT_EQ(c.field(run.settings), c.expected) << c.section << "/" << c.key << "=" << c.stored;
    }
}

TEST(SettingsFile, LineSettingShorterThanTenCharactersFallsBack) {
    for (const auto& [stored, expected] : std::vector<std::pair<std::string, std::string>>{
             {"9600,N,8", "9600,E,8,1"},
             {"9600,N,8,1", "9600,N,8,1"},
             {"19200;N;7;2", "19200;N;7;2"},  // long enough: its form is not checked here
             {"\"9600,N,8,1\"", "9600,N,8,1"},
             {"", "9600,E,8,1"},
         }) {
        test::TempDir dir;
        dir.Write("Mirvok.ini", "[Application]\r\nApp=Mirvok\r\n[Comm]\r\nSetting=" + stored + "\r\n");
        RunState run = RunIn(dir);
        LoadOrCreateSettings(run);
        EXPECT_EQ(run.settings.Setting, expected) << stored;
    }
}

TEST(SettingsFile, SavedSettingsComeBackOnTheNextStart) {
    test::TempDir dir;
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    // Blanks at the ends of a text and quotes of its own come back too.
    run.settings = Settings{-15, 300, 0, 12, "115200,N,7,1", 500, 0, 8, " ﾛﾑ.mot ", "\"/データ/\"", 2};
    SaveSettings(run, {});
    EXPECT_EQ(ReadIni(run.IniPath, "Display", "Top"), "-15");
    RunState next = RunIn(dir);
    LoadOrCreateSettings(next);
    const Settings& s = next.settings;
    EXPECT_EQ(s.Top, -15);
    EXPECT_EQ(s.Left, 300);
    EXPECT_EQ(s.Linechk, 0);
    EXPECT_EQ(s.Port, 12);
    EXPECT_EQ(s.Setting, "115200,N,7,1");
    EXPECT_EQ(s.StTimer, 500);
    EXPECT_EQ(s.CRmode, 0);
    EXPECT_EQ(s.Downloadno, 8);
    EXPECT_EQ(s.Filename, " ﾛﾑ.mot ");
    EXPECT_EQ(s.Directory, "\"/データ/\"");
    EXPECT_EQ(s.Spno, 2);
}

std::u16string Widened(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

template <typename Text>
Text Replaced(Text text, const Text& from, const Text& to) {
    return text.replace(text.find(from), from.size(), to);
}

// A settings file saved as "Unicode" or as UTF-8 with its mark keeps the
// operator's settings, and a save changes the one key whose value changed.
TEST(SettingsFile, UnicodeFilesAreLoadedAndSavedInTheirOwnEncoding) {
    const std::u16string wide =
        Replaced(u"; 設定\r\n" + Widened(FirstStartFile()), std::u16string(u"Filename=\r\n"),
                 std::u16string(u"Filename=/ﾛﾑ/日本.mot\r\n"));
    const std::string utf8 = Replaced("\xEF\xBB\xBF; 設定\r\n" + FirstStartFile(),
                                      std::string("Filename=\r\n"), std::string("Filename=/ﾛﾑ/日本.mot\r\n"));
    const auto utf16le = [](const std::u16string& text) {
        std::string bytes = "\xFF\xFE";
        for (char16_t unit : text)
            bytes += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        return bytes;
    };
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"UTF-16LE", utf16le(wide),
         utf16le(Replaced(wide, std::u16string(u"Port= 1"), std::u16string(u"Port= 7")))},
        {"UTF-8 with its mark", utf8, Replaced(utf8, std::string("Port= 1"), std::string("Port= 7"))},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        dir.Write("Mirvok.ini", c.before);
        RunState run = RunIn(dir);
        LoadOrCreateSettings(run);
        EXPECT_EQ(run.settings.Filename, "/ﾛﾑ/日本.mot") << c.name;
        run.settings.Port = 7;
        SaveSettings(run, {});
        EXPECT_EQ(test::TempDir::Read(run.IniPath), c.after) << c.name;
        EXPECT_FALSE(std::filesystem::exists(run.IniPath + ".bak")) << c.name << ": no first start";
    }
}

// The files sent since the last save go first, then the file's own entries
// as they are now, each once, without blanks or gaps; no older key is left.
TEST(SettingsFile, HistoryIsMergedIntoTheFileAsItIsNow) {
    using Entries = std::vector<std::pair<std::string, std::string>>;
    struct Row {
        const char* name;
        std::string fileKeys;
        std::vector<std::string> newEntries;
        std::vector<std::string> expected;
    };
    std::vector<std::string> twenty;
    for (int n = 1; n <= 20; ++n) twenty.push_back("/old/" + std::to_string(n));
    std::string twentyKeys;
    for (int n = 1; n <= 20; ++n)
        twentyKeys += "File" + std::to_string(n) + "=/old/" + std::to_string(n) + "\r\n";
    std::vector<std::string> newOnTop{"/new"};
    newOnTop.insert(newOnTop.end(), twenty.begin(), twenty.end() - 1);
    const Row rows[] = {
        {"a blank File1 leaves no doubled entry", "File1=\r\nFile2=/a\r\nFile3=/b\r\n", {}, {"/a", "/b"}},
        {"gaps close up",
         "File1=/old/1\r\nFile6=/old/6\r\n",
         {"/a/1", "/a/2"},
         {"/a/1", "/a/2", "/old/1", "/old/6"}},
        {"a sent file moves to the top", "File1=/x\r\nFile2=/y\r\nFile3=/x\r\n", {"/y"}, {"/y", "/x"}},
        {"blanks around a path are dropped", "File1= /x \r\n", {" /x"}, {"/x"}},
        {"twenty at most", twentyKeys, {"/new"}, newOnTop},
        {"a path outside the code page is not written",
         "File1=/x\r\n",
         {"/M\u00fcller \u00bd/fw.s28"},
         {"/x"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        RunState run = RunIn(dir);
        dir.Write("Mirvok.ini", "[Ports]\r\nCOM3=/dev/serial/by-id/usb-x\r\n[File]\r\n" + row.fileKeys +
                                    "File25=/beyond\r\n");
        SaveSettings(run, row.newEntries);
        const ProfileFile file = ProfileFile::Load(run.IniPath);
        Entries expected;
        for (std::size_t i = 0; i < row.expected.size(); ++i)
            expected.emplace_back("File" + std::to_string(i + 1), row.expected[i]);
        Entries history;
        for (const auto& entry : file.Entries("File"))
            if (entry.first != "Filename" && entry.first != "Directory") history.push_back(entry);
        std::sort(history.begin(), history.end(), [](const auto& a, const auto& b) {
            return std::stoi(a.first.substr(4)) < std::stoi(b.first.substr(4));
        });
        EXPECT_EQ(history, expected);
        EXPECT_EQ(file.Entries("Ports"), (Entries{{"COM3", "/dev/serial/by-id/usb-x"}}));
    }
}

// A save changes only the settings this run changed: another program's
// changes to the others stay.
TEST(SettingsFile, ASaveChangesOnlyTheSettingsThisRunChanged) {
    test::TempDir dir;
    RunState first = RunIn(dir);
    LoadOrCreateSettings(first);
    RunState second = RunIn(dir);
    LoadOrCreateSettings(second);
    second.settings.Port = 9;
    ASSERT_TRUE(SaveSettings(second, {}));
    first.settings.Top = 120;
    first.settings.Directory = "/M\u00fcller \u00bd/";  // not written: it would name another folder
    ASSERT_TRUE(SaveSettings(first, {}));
    EXPECT_EQ(ReadIni(first.IniPath, "Comm", "Port"), "9");
    EXPECT_EQ(ReadIni(first.IniPath, "Display", "Top"), "120");
    EXPECT_EQ(ReadIni(first.IniPath, "File", "Directory"), std::string(1, PathSeparator()));
}

TEST(SettingsFile, ReplacementThatCannotTakeThePlaceLeavesNoTemporaryFile) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.File("Mirvok.ini"));  // nothing can be renamed over it
    RunState run = RunIn(dir);
    LoadOrCreateSettings(run);
    EXPECT_EQ(run.settings.Port, 1);  // the run goes on with the defaults
    EXPECT_TRUE(std::filesystem::is_directory(run.IniPath));
    EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(SettingsFile, TheFileLivesBesideTheExecutable) {
    const std::string folder = ExecutableFolder();
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / MIRVOK_TEST_PROGRAM)) << folder;
    EXPECT_EQ(IniPathFor(folder), folder + PathSeparator() + "Mirvok.ini");
}

TEST(SettingsFile, NumbersCarryABlankOrAMinusSign) {
    EXPECT_EQ(FormatNumber(0), " 0");
    EXPECT_EQ(FormatNumber(1000), " 1000");
    EXPECT_EQ(FormatNumber(-15), "-15");
    EXPECT_EQ(FormatNumber(-32768), "-32768");
}

}  // namespace
}  // namespace mirvok

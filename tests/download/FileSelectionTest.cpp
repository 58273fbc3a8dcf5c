#include <gtest/gtest.h>

#include <filesystem>

#include "EngineRig.h"
#include "download/FileHistory.h"
#include "download/FileSelection.h"
#include "startup/PathSeparator.h"
#include "support/TempDir.h"

namespace mirvok {
namespace {

class FileSelectionTest : public ::testing::Test {
protected:
    TextBox& Box() { return rig.form.TxXferFileName; }
    Settings& Stored() { return rig.run.settings; }
    std::string Folder() const { return dir.Path().string() + PathSeparator(); }
    void Type(const std::string& text) { SetFileBoxText(rig.window, text); }

    test::TempDir dir;
    test::EngineRig rig;
};

TEST_F(FileSelectionTest, BrowseStartsAtTheLastChoiceAndSplitsTheChosenPath) {
    Stored().Filename = "old.rom";
    Stored().Directory = "/roms/";
    for (std::int16_t spno : {0, 1, 2}) {
        Stored().Spno = spno;
        rig.host.ExpectFileDialog(std::nullopt);
        CmdFile_Click(rig.window);
        const FileDialogRequest& request = rig.host.FileDialogs().back();
        EXPECT_EQ(request.title, "ファイル選択");
        EXPECT_EQ(request.filter, spno == 2 ? kContactlessFileFilter : kFileFilter);
        EXPECT_EQ(request.initialName, "old.rom");
        EXPECT_EQ(request.initialDir, "/roms/");
    }
    EXPECT_TRUE(Box().Text.empty()) << "cancelling changes nothing";
    EXPECT_EQ(Stored().Filename, "old.rom");

    const std::string chosen = "/rom/main.rom/main.rom";
    rig.host.ExpectFileDialog(chosen);
    CmdFile_Click(rig.window);
    EXPECT_EQ(Box().Text, chosen);
    EXPECT_EQ(Box().ToolTip, chosen);
    EXPECT_EQ(Box().SelStart, static_cast<int>(chosen.size()));
    EXPECT_EQ(Stored().Directory, "/rom/") << "split at the first occurrence of the name";
    EXPECT_EQ(Stored().Filename, "main.rom/main.rom");
    EXPECT_EQ(rig.form.WorkFileList.ListCount(), 0) << "browsing adds nothing to the history";
}

TEST_F(FileSelectionTest, ClickingTheFileBoxAnalysesItsText) {
    std::filesystem::create_directories(dir.Path() / "ROM.MOTd");
    const std::string nested = dir.Write("ROM.MOTd/rom.mot", "S9\r\n");
    const std::string plain = dir.Write("main.rom", "S9\r\n");
    struct Case {
        const char* name;
        std::string text;
        std::string box;  // afterwards
        std::string directory, filename;
    };
    const Case cases[] = {
        {"an existing file", plain, plain, Folder(), "main.rom"},
        {"split where the name first occurs, letter case aside", nested, nested, Folder(),
         "ROM.MOTd/rom.mot"},
        {"a pattern that matches is emptied", Folder() + "*.ROM", "", "/d/", "f"},
        {"a pattern without a match stays", Folder() + "*.apl", Folder() + "*.apl", "/d/", "f"},
        {"a missing file stays", Folder() + "none.rom", Folder() + "none.rom", "/d/", "f"},
    };
    for (const Case& c : cases) {
        Stored().Directory = "/d/";
        Stored().Filename = "f";
        Type(c.text);
        TxXferFileName_Click(rig.window);
        EXPECT_EQ(Box().Text, c.box) << c.name;
        EXPECT_EQ(Box().ToolTip, c.box) << c.name;
        EXPECT_EQ(Stored().Directory, c.directory) << c.name;
        EXPECT_EQ(Stored().Filename, c.filename) << c.name;
    }
}

TEST_F(FileSelectionTest, AnEmptyFileBoxGetsTheCommandLineFileBack) {
    TxXferFileName_Click(rig.window);
    EXPECT_EQ(Box().Text, "") << "started without a command line";
    rig.run.CommandLine = "/rom/ﾌｧｰﾑ.rom";
    TxXferFileName_Click(rig.window);
    EXPECT_EQ(Box().Text, "/rom/ﾌｧｰﾑ.rom");
    EXPECT_EQ(Box().ToolTip, "/rom/ﾌｧｰﾑ.rom");
    EXPECT_EQ(Box().SelStart, 13) << "the caret counts characters";
}

TEST_F(FileSelectionTest, ChoosingAHistoryEntryPutsItsFullPathInTheBox) {
    const std::string longPath = dir.Write("a-rather-long-firmware-file-name-for-the-reader.rom", "S9\r\n");
    AddToFileHistory(rig.form, longPath);
    AddToFileHistory(rig.form, "/rom/other.rom");
    ListControl& list = rig.form.FileNameList;

    list.ListIndex = 1;
    FileNameList_Click(rig.window);
    EXPECT_EQ(Box().Text, longPath);
    EXPECT_EQ(rig.form.HistoryIndex, 1);
    EXPECT_EQ(list.Text, list.Items[1].text) << "the list shows the shortened name";
    EXPECT_EQ(Stored().Filename, "a-rather-long-firmware-file-name-for-the-reader.rom");
    EXPECT_EQ(Box().SelStart, static_cast<int>(longPath.size()));

    list.ListIndex = -1;
    FileNameList_Click(rig.window);
    EXPECT_EQ(Box().Text, "");
}

}  // namespace
}  // namespace mirvok

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/WindowBench.h"

namespace mirvok {
namespace {

// Width of the client area inside the window's borders, in twips.
constexpr int kClientWidthNormal = 5160 - 2 * 60;
constexpr int kClientWidthWide = 7140 - 2 * 60;

bool InRightColumn(const Control* c) {
    for (; c; c = c->Container)
        if (c->Name == "Label3" || c->Name == "FrameExpanded" || c->Name == "Picture1") return true;
    return false;
}

// The window's controls as the layout names them, written out here rather
// than taken from AllControls(): a control left out of that list would be
// neither shown by the views nor walked by the test below.
std::set<std::string> DescribedControls() {
    std::set<std::string> names = {
        "Line1",       "Line2",         "LblComPort",   "CmbComPort",     "CmndPortRefresh", "LbSendWaitTime",
        "CmbSms",      "Frame3",        "CmdROMVer",    "Frame4",         "CmbBaudRate",     "CmbParity",
        "CmbDataBits", "CmbStopBits",   "LblBaudRate",  "LblParity",      "LblDataBits",     "LblStopBits",
        "FraTime",     "LbTime",        "Frame2",       "Frame1",         "TxXferFileName",  "FileNameList",
        "CmdFile",     "BLKCheck1",     "Frame5",       "CmdStart",       "ImgSTART",        "Label2",
        "LblADR",      "CmdStop",       "ImgSTOP",      "LaStatus",       "ProgressBar1",    "WorkFileList",
        "Label3",      "FrameExpanded", "CmdROMBackup", "CmdROMRecovery", "Command1",        "Picture1",
        "CmdGetDSW"};
    const auto elements = [&](const std::string& name, int first, int last) {
        for (int i = first; i <= last; ++i) names.insert(name + "(" + std::to_string(i) + ")");
    };
    elements("TxtIndex", 0, 4);
    elements("Option2", 0, 1);
    elements("Option1", 0, 8);
    elements("BLK_Address", 0, 8);
    elements("lbDSW1", 0, 8);
    elements("lbDSW2", 0, 8);
    for (const char* shapes : {"SpDSW1On", "SpDSW1Off", "SpDSW2On", "SpDSW2Off"}) elements(shapes, 1, 8);
    elements("SpDSW", 1, 2);
    elements("LineDSW", 1, 2);
    return names;
}

TEST(FormDesign, AllControlsListsEveryDescribedControlAndTheirPanels) {
    FormState f;
    const std::vector<Control*> all = f.AllControls();
    std::set<std::string> listed;
    for (const Control* c : all) listed.insert(c->Name);
    EXPECT_EQ(listed, DescribedControls());
    EXPECT_EQ(all.size(), 122u);
    // A panel that holds a control is one of the listed ones, so no part of
    // the window hangs from a control the views never see.
    for (const Control* c : all) {
        if (c->Container) {
            EXPECT_NE(std::find(all.begin(), all.end(), c->Container), all.end()) << c->Name;
        }
    }
}

TEST(FormDesign, EveryControlHasAUniqueNameAndFitsItsContainer) {
    FormState f;
    std::set<std::string> names;
    for (Control* c : f.AllControls()) {
        SCOPED_TRACE(c->Name);
        EXPECT_TRUE(names.insert(c->Name).second);
        EXPECT_EQ(f.FindControl(c->Name), c);
        if (c->Kind == ControlKind::Line || !c->Visible) continue;
        EXPECT_GT(c->Width, 0);
        EXPECT_GT(c->Height, 0);
        if (c->Container) {
            EXPECT_GE(c->Left, 0);
            EXPECT_GE(c->Top, 0);
            EXPECT_LE(c->Left + c->Width, c->Container->Width);
            EXPECT_LE(c->Top + c->Height, c->Container->Height);
        } else if (InRightColumn(c)) {
            EXPECT_GE(c->Left, 5130);
            EXPECT_LE(c->Left + c->Width, kClientWidthWide);
        } else {
            EXPECT_LE(c->Left + c->Width, kClientWidthNormal);
        }
    }
}

// Each caption box lies across the top edge of the panel it names.
TEST(FormDesign, CaptionBoxesSitOnTheirPanelsTopEdge) {
    FormState f;
    const Control* panels[] = {&f.Frame3, &f.Frame2, &f.FraTime, &f.Frame4, &f.Frame1};
    for (int i = 0; i <= 4; ++i) {
        SCOPED_TRACE(i);
        const Control& caption = f.TxtIndex[i];
        const Control& panel = *panels[i];
        EXPECT_EQ(caption.Container, panel.Container);
        EXPECT_LT(caption.Top, panel.Top);
        EXPECT_GT(caption.Top + caption.Height, panel.Top);
        EXPECT_GT(caption.Left, panel.Left);
        EXPECT_LT(caption.Left + caption.Width, panel.Left + panel.Width);
    }
}

TEST(FormDesign, ListsCarryTheirItemData) {
    FormState f;
    ASSERT_EQ(f.CmbComPort.ListCount(), 256);
    EXPECT_EQ(f.CmbComPort.Items[0].text, "COM1");
    EXPECT_EQ(f.CmbComPort.Items[255].text, "COM256");
    EXPECT_EQ(f.CmbComPort.Items[255].data, 256);

    const std::vector<std::pair<std::string, int>> sms = {
        {"なし", 0},     {"  1秒", 1000}, {"  2秒", 2000}, {"  3秒", 3000}, {"  4秒", 4000}, {"  5秒", 5000},
        {"  6秒", 6000}, {"  7秒", 7000}, {"  8秒", 8000}, {"  9秒", 9000}, {" 10秒", 10000}};
    std::vector<std::pair<std::string, int>> got;
    for (const auto& item : f.CmbSms.Items) got.emplace_back(item.text, item.data);
    EXPECT_EQ(got, sms);

    EXPECT_EQ(f.CmbBaudRate.Items[9].text, "115200");
    EXPECT_EQ(f.CmbBaudRate.Items[9].data, 115200);
    EXPECT_EQ(f.CmbParity.Items[4].text, "S:ｽﾍﾟｰｽ");
    EXPECT_EQ(f.CmbParity.Items[4].data, 4);
    EXPECT_EQ(f.CmbDataBits.Items[0].data, 7);
    EXPECT_EQ(f.CmbStopBits.Items[1].text, "1.5");
    EXPECT_EQ(f.CmbStopBits.Items[1].data, 1);
    EXPECT_EQ(f.Option1[8].Caption, "8:115200,N,7,1");
    EXPECT_EQ(f.BLK_Address[8].Caption, "80000～");
}

}  // namespace
}  // namespace mirvok

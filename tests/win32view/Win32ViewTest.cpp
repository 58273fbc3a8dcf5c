// The binding of the Win32 view to the window model: every control has its
// window, an operator event on a window reaches its handler, and a change of
// the model shows in its window.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include "startup/WideText.h"
#include "support/WindowBench.h"
#include "ui/Focus.h"
#include "ui/win32/ViewScale.h"
#include "ui/win32/Win32View.h"

namespace mirvok {
namespace {

std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

std::string TextOf(HWND w) {
    wchar_t text[512] = {};
    GetWindowTextW(w, text, 512);
    return Utf8(text);
}

// What a window draws near its right end, where left-aligned text does not
// reach, read back from a memory bitmap it was printed into.
COLORREF BackgroundOf(HWND w) {
    RECT r;
    GetClientRect(w, &r);
    const int x = r.right - 4, y = r.bottom / 2;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    const COLORREF pixel = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixel;
}

class Win32ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        bench.ports.SetPresent({3, 12});
        bench.Load();
        // The window stays hidden: what is checked needs no screen, and
        // under Wine without a window manager hiding a shown one takes seconds.
        view = std::make_unique<Win32View>(*bench.frm, nullptr);
    }
    void TearDown() override {
        view.reset();
        MSG message;  // a closed window leaves the end of the message loop behind
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }

    HWND Handle(const std::string& name) {
        HWND w = view->HandleOf(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void Click(const std::string& name) { SendMessageW(Handle(name), BM_CLICK, 0, 0); }
    // The operator picks an entry of a drop-down list.
    void Pick(const std::string& name, int index) {
        HWND box = Handle(name);
        SendMessageW(box, CB_SETCURSEL, index, 0);
        SendMessageW(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
    }
    void Menu(const std::string& name) {
        const UINT command = view->MenuCommandOf(name);
        ASSERT_NE(command, 0u) << name;
        SendMessageW(view->Window(), WM_COMMAND, command, 0);
    }
    bool Checked(const std::string& name) {
        return SendMessageW(Handle(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    int ClientWidth() {
        RECT r;
        GetClientRect(view->Window(), &r);
        return r.right;
    }

    test::WindowBench bench;
    std::unique_ptr<Win32View> view;
};

TEST_F(Win32ViewTest, EveryControlHasItsNativeWindowInItsContainer) {
    const std::map<ControlKind, std::wstring> classes = {
        {ControlKind::Label, WC_STATICW},        {ControlKind::CaptionBox, WC_STATICW},
        {ControlKind::Button, WC_BUTTONW},       {ControlKind::TextBox, WC_EDITW},
        {ControlKind::ComboList, WC_COMBOBOXW},  {ControlKind::ComboEdit, WC_COMBOBOXW},
        {ControlKind::ListBox, WC_LISTBOXW},     {ControlKind::CheckBox, WC_BUTTONW},
        {ControlKind::OptionButton, WC_BUTTONW}, {ControlKind::ProgressBar, PROGRESS_CLASSW},
        {ControlKind::Panel, L"MirvokPainted"},  {ControlKind::Picture, L"MirvokPainted"},
        {ControlKind::Shape, L"MirvokPainted"},  {ControlKind::Line, L"MirvokPainted"}};
    const ViewScale scale(view->Dpi());
    for (Control* c : bench.Form().AllControls()) {
        HWND w = Handle(c->Name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(ClassOf(w), classes.at(c->Kind)) << c->Name;
        HWND parent = c->Container ? view->HandleOf(c->Container->Name) : view->Window();
        EXPECT_EQ(GetParent(w), parent) << c->Name;
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, scale.Px(c->Left)) << c->Name;
        EXPECT_EQ(r.right - r.left, scale.Px(c->Width)) << c->Name;
        if (c->Kind != ControlKind::CheckBox && c->Kind != ControlKind::OptionButton) {
            EXPECT_EQ(r.top, scale.Px(c->Top)) << c->Name;
        }

        // What lies out of view is hidden: the right-hand column at normal width.
        EXPECT_EQ((GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE) != 0, c->Visible && InView(bench.Form(), *c))
            << c->Name;
    }
    EXPECT_EQ(TextOf(Handle("CmdStart")), "ﾀﾞｳﾝﾛｰﾄﾞ開始");
    EXPECT_EQ(TextOf(Handle("TxtIndex(0)")), "CRﾓｰﾄﾞ");
}

TEST_F(Win32ViewTest, ClicksReachTheirHandlers) {
    Click("Option1(6)");
    EXPECT_EQ(bench.S().Downloadno, 6);
    EXPECT_TRUE(Checked("Option1(6)"));
    EXPECT_FALSE(Checked("Option1(3)"));

    Click("Option2(0)");
    EXPECT_EQ(bench.S().CRmode, 0);
    EXPECT_TRUE(IsWindowEnabled(Handle("CmbBaudRate")));

    Click("CmndPortRefresh");
    EXPECT_EQ(bench.Form().CmbComPort.BackColor, kLightGreen);
    EXPECT_EQ(TextOf(Handle("LaStatus")), "ポート抽出完了 (COM3,COM12)");

    Pick("CmbSms", 10);
    EXPECT_EQ(bench.S().StTimer, 10000);
    Pick("CmbComPort", 1);
    EXPECT_EQ(bench.S().Port, 12);
    EXPECT_EQ(SendMessageW(Handle("CmbComPort"), CB_GETCURSEL, 0, 0), 1);
}

TEST_F(Win32ViewTest, ACheckBoxClickTogglesTheModelValue) {
    Click("BLKCheck1");
    EXPECT_EQ(bench.Form().BLKCheck1.Value, 1);
    EXPECT_TRUE(Checked("BLKCheck1"));
    EXPECT_TRUE(IsWindowEnabled(Handle("BLK_Address(4)")));
    Click("BLKCheck1");
    EXPECT_EQ(bench.Form().BLKCheck1.Value, 0);
    EXPECT_FALSE(IsWindowEnabled(Handle("BLK_Address(4)")));
}

TEST_F(Win32ViewTest, TypingInTheFileBoxReachesTheModel) {
    HWND edit = Handle("TxXferFileName");
    SetFocus(edit);
    for (wchar_t c : std::wstring(L"C:\\rom\\x.rom")) SendMessageW(edit, WM_CHAR, c, 0);
    EXPECT_EQ(bench.Form().TxXferFileName.Text, "C:\\rom\\x.rom");
    EXPECT_EQ(bench.Form().TxXferFileName.ToolTip, "C:\\rom\\x.rom");
    EXPECT_EQ(bench.Form().TxXferFileName.SelStart, 12);
}

TEST_F(Win32ViewTest, DisabledControlsIgnoreClicks) {
    EXPECT_FALSE(IsWindowEnabled(Handle("CmdStop")));
    bench.Form().Frame2.Enabled = false;
    view->Sync();
    EXPECT_FALSE(IsWindowEnabled(Handle("Option1(0)")));  // inside the disabled panel
    Click("Option1(0)");
    EXPECT_EQ(bench.S().Downloadno, 3);
    EXPECT_FALSE(Checked("Option1(0)"));
}

TEST_F(Win32ViewTest, ModelChangesShowInTheirWindows) {
    FormState& f = bench.Form();
    f.SetStatus(kRed, "ﾀｰﾐﾅﾙ通信設定ｴﾗｰ");
    f.CmdStart.Enabled = false;
    f.Frame3.Enabled = false;
    f.CmdGetDSW.Caption = "Read\r\nDSW";
    f.ProgressBar1.Value = 40;
    f.Caption = "ROM Down Load Program - Font ROM";
    view->Sync();

    HWND status = Handle("LaStatus");
    EXPECT_EQ(TextOf(status), "ﾀｰﾐﾅﾙ通信設定ｴﾗｰ");
    EXPECT_EQ(BackgroundOf(status), RGB(255, 0, 0));
    EXPECT_FALSE(IsWindowEnabled(Handle("CmdStart")));
    EXPECT_FALSE(IsWindowEnabled(Handle("CmbParity")));
    EXPECT_EQ(TextOf(Handle("CmdGetDSW")), "Read\r\nDSW");
    EXPECT_EQ(SendMessageW(Handle("ProgressBar1"), PBM_GETPOS, 0, 0), 40);
    EXPECT_EQ(TextOf(view->Window()), "ROM Down Load Program - Font ROM");

    f.ResetStatus();
    view->Sync();
    EXPECT_EQ(TextOf(status), "");
    EXPECT_EQ(BackgroundOf(status), RGB(0, 255, 255));
}

TEST_F(Win32ViewTest, TheWindowWidensWithTheFromBackupMode) {
    const ViewScale scale(view->Dpi());
    EXPECT_EQ(ClientWidth(), scale.Px(5160 - 120));
    bench.host.ExpectInput("31750");
    Menu("MnuROMBkRec");
    EXPECT_EQ(ClientWidth(), scale.Px(7140 - 120));
    EXPECT_TRUE(view->MenuItemChecked("MnuROMBkRec"));
    // The right-hand column now lies inside the window.
    RECT dsw;
    GetWindowRect(Handle("CmdGetDSW"), &dsw);
    MapWindowPoints(nullptr, view->Window(), reinterpret_cast<POINT*>(&dsw), 2);
    EXPECT_LE(dsw.right, ClientWidth());
    EXPECT_TRUE(GetWindowLongPtrW(Handle("SpDSW1On(8)"), GWL_STYLE) & WS_VISIBLE);
    Menu("MnuROMBkRec");
    EXPECT_EQ(ClientWidth(), scale.Px(5160 - 120));
    EXPECT_FALSE(view->MenuItemChecked("MnuROMBkRec"));
}

TEST_F(Win32ViewTest, MenusFollowTheModel) {
    EXPECT_TRUE(view->MenuItemChecked("MnuLineon"));
    Menu("MnuLineon");
    EXPECT_EQ(bench.S().Linechk, 0);
    EXPECT_FALSE(view->MenuItemChecked("MnuLineon"));
    EXPECT_TRUE(view->MenuItemEnabled("MnuOpt"));
    bench.Form().MnuOpt.Enabled = false;
    view->Sync();
    EXPECT_FALSE(view->MenuItemEnabled("MnuOpt"));
    EXPECT_EQ(view->MenuCommandOf("MnuOpt"), 0u);  // a menu with items gives no command
}

// Only the history's drop-down button shows beside the file box.
TEST_F(Win32ViewTest, TheFileBoxCoversTheHistoryExceptItsButton) {
    HWND frame = Handle("Frame1");
    HWND edit = Handle("TxXferFileName");
    HWND combo = Handle("FileNameList");
    auto placeOf = [&](HWND w) {
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    const RECT e = placeOf(edit);
    EXPECT_EQ(ChildWindowFromPointEx(frame, POINT{(e.left + e.right) / 2, (e.top + e.bottom) / 2},
                                     CWP_SKIPINVISIBLE),
              edit);
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    const RECT c = placeOf(combo);
    // Nothing of the combo's field shows beside or below the box.
    EXPECT_LE(e.left, c.left);
    EXPECT_LE(c.top, e.top);
    EXPECT_GE(e.bottom, c.bottom);
    EXPECT_GE(e.right, c.left + info.rcButton.left - 1);
    const POINT button{c.left + (info.rcButton.left + info.rcButton.right) / 2,
                       c.top + (info.rcButton.top + info.rcButton.bottom) / 2};
    EXPECT_EQ(ChildWindowFromPointEx(frame, button, CWP_SKIPINVISIBLE), combo);
}

// Among siblings the later control lies on top, as on Linux: the switches
// over their bank's body, the panels' captions over their borders.
TEST_F(Win32ViewTest, LaterControlsLieOverEarlierOnes) {
    auto topmostAt = [&](const std::string& name) {
        HWND w = Handle(name);
        HWND parent = GetParent(w);
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        return ChildWindowFromPointEx(parent, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2},
                                      CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    };
    bench.host.ExpectInput("31750");
    Menu("MnuROMBkRec");
    EXPECT_EQ(topmostAt("SpDSW1On(1)"), Handle("SpDSW1On(1)"));
    EXPECT_EQ(topmostAt("SpDSW2Off(8)"), Handle("SpDSW2Off(8)"));
    EXPECT_EQ(topmostAt("TxtIndex(0)"), Handle("TxtIndex(0)"));
    EXPECT_EQ(topmostAt("TxtIndex(2)"), Handle("TxtIndex(2)"));
}

// The control a window shows ("" when none): a combo box's edit field counts
// as its box.
std::string NameOf(const Win32View& view, FormState& f, HWND w) {
    for (const Control* c : f.AllControls()) {
        HWND h = view.HandleOf(c->Name);
        if (h == w || (w && GetParent(w) == h && TakesFocus(*c))) return c->Name;
    }
    return "";
}

// The dialog manager's Tab walk (what IsDialogMessage does with the Tab key)
// from ﾀﾞｳﾝﾛｰﾄﾞ開始 round to it again; each stop must lie in the client area.
std::vector<std::string> TabRound(const Win32View& view, FormState& f, bool backwards = false) {
    std::vector<std::string> names;
    RECT client;
    GetClientRect(view.Window(), &client);
    HWND w = view.HandleOf("CmdStart");
    for (int presses = 0; presses < 70; ++presses) {
        w = GetNextDlgTabItem(view.Window(), w, backwards);
        const std::string name = NameOf(view, f, w);
        if (name.empty()) {
            ADD_FAILURE() << "Tab reached no control after " << presses << " presses";
            break;
        }
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, view.Window(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << name << " lies out of view";
        names.push_back(name);
        if (name == "CmdStart") break;
    }
    return names;
}

TEST_F(Win32ViewTest, TabVisitsTheStopsInReadingOrderAndNothingOutOfView) {
    FormState& f = bench.Form();
    const std::vector<std::string> normal = {"CmbComPort", "CmndPortRefresh", "CmbSms",
                                             "Option2(1)", "Option1(3)",      "TxXferFileName",
                                             "CmdFile",    "BLKCheck1",       "CmdStart"};
    EXPECT_EQ(TabRound(*view, f), normal);

    Click("Option2(0)");
    Click("BLKCheck1");
    Click("Option1(5)");
    const std::vector<std::string> terminal = {
        "CmbComPort",     "CmndPortRefresh", "CmbSms",         "Option2(0)",     "CmdROMVer",
        "CmbBaudRate",    "CmbParity",       "CmbDataBits",    "CmbStopBits",    "Option1(5)",
        "TxXferFileName", "CmdFile",         "BLKCheck1",      "BLK_Address(0)", "BLK_Address(3)",
        "BLK_Address(6)", "BLK_Address(1)",  "BLK_Address(4)", "BLK_Address(7)", "BLK_Address(2)",
        "BLK_Address(5)", "BLK_Address(8)",  "CmdStart"};
    EXPECT_EQ(TabRound(*view, f), terminal);
    std::vector<std::string> back = TabRound(*view, f, true);
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(back.front(), "BLK_Address(8)");  // Shift+Tab

    bench.host.ExpectInput("31750");
    Menu("MnuROMBkRec");
    std::vector<std::string> wide = terminal;
    wide.insert(wide.begin(), {"CmdROMBackup", "CmdROMRecovery", "Command1", "CmdGetDSW"});
    EXPECT_EQ(TabRound(*view, f), wide);
    Menu("MnuROMBkRec");  // narrow again: the column is out of reach
    EXPECT_EQ(TabRound(*view, f), terminal);
    EXPECT_FALSE(IsWindowEnabled(Handle("CmdROMRecovery")));
}

TEST_F(Win32ViewTest, ArrowKeysMoveInsideAnOptionGroupAndSelect) {
    HWND option = Handle("Option1(3)");
    EXPECT_TRUE(SendMessageW(option, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS);
    SendMessageW(option, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(bench.S().Downloadno, 4);
    EXPECT_TRUE(Checked("Option1(4)"));
    EXPECT_EQ(bench.Form().Focused, &bench.Form().Option1[4]);
    // The selected option is the group's one Tab stop.
    EXPECT_TRUE(GetWindowLongPtrW(Handle("Option1(4)"), GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(GetWindowLongPtrW(option, GWL_STYLE) & WS_TABSTOP);
    SendMessageW(Handle("Option1(4)"), WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(bench.S().Downloadno, 3);
}

TEST_F(Win32ViewTest, TheFocusMovesOnWhenItsControlIsDisabled) {
    FormState& f = bench.Form();
    EXPECT_EQ(f.Focused, &f.CmdStart);
    f.Focused = &f.CmdFile;
    f.Frame1.Enabled = false;
    view->Sync();
    EXPECT_EQ(f.Focused, &f.BLKCheck1);
}

// F4 and Alt+Down in the file box open the history list, as they would in
// the combo box the two make up on screen.
TEST_F(Win32ViewTest, F4AndAltDownOpenTheHistoryFromTheFileBox) {
    bench.Form().FileNameList.AddItem("a.mot");
    view->Sync();
    HWND history = Handle("FileNameList");
    const std::pair<UINT, WPARAM> keys[] = {{WM_KEYDOWN, VK_F4}, {WM_SYSKEYDOWN, VK_DOWN}};
    for (const auto& [message, key] : keys) {
        SendMessageW(Handle("TxXferFileName"), message, key, 0);
        EXPECT_TRUE(SendMessageW(history, CB_GETDROPPEDSTATE, 0, 0)) << key;
        SendMessageW(history, CB_SHOWDROPDOWN, FALSE, 0);
    }
}

// The address label takes the mouse, so that its tooltip shows.
TEST_F(Win32ViewTest, LabelsTakeTheMouseForTheirTooltips) {
    EXPECT_EQ(SendMessageW(Handle("LblADR"), WM_NCHITTEST, 0, 0), HTCLIENT);
}

TEST_F(Win32ViewTest, ClosingTheIdleWindowEndsIt) {
    SendMessageW(view->Window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(bench.frm->Unloaded());
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Win32ViewTest, MovingTheWindowKeepsItsPositionInTwips) {
    const ViewScale scale(view->Dpi());
    SetWindowPos(view->Window(), nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT r;
    GetWindowRect(view->Window(), &r);
    EXPECT_EQ(bench.Form().Left, scale.Twips(r.left));
    EXPECT_EQ(bench.Form().Top, scale.Twips(r.top));
    bench.Form().Left = 1500;
    bench.Form().Top = 3000;
    view->Sync();
    GetWindowRect(view->Window(), &r);
    EXPECT_EQ(r.left, scale.Px(1500));
    EXPECT_EQ(r.top, scale.Px(3000));

    // A place on no monitor is not kept.
    SetWindowPos(view->Window(), nullptr, -20000, -20000, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(bench.Form().Left, 1500);
    EXPECT_EQ(bench.Form().Top, 3000);
}

}  // namespace
}  // namespace mirvok

#pragma once
// The main window as a plain object: its controls and menus (FormState), its
// command protocol and its two timers, and every event handler the window
// has. The views and the tests deliver the operator's events by control
// name through Click, Choose, EditText, Focus, RightButtonUp, ChooseMenu and
// Unload; an event on a control the operator cannot reach (disabled, hidden,
// or out of the window's view, Focus.h) does nothing.
// Every operation and every choice a front end makes is also a typed call
// (Operations.cpp, Choices.cpp); the buttons, lists and menus call the same
// ones, so the window and a front end without one cannot differ. A front end
// follows the operations through one observer (`events`).
// Handlers whose work belongs to the download and maintenance subsystems
// forward to them with the Window they all share.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "protocol/Protocol.h"
#include "startup/Timer.h"
#include "window/FormState.h"
#include "window/OperationObserver.h"
#include "window/OperationResult.h"
#include "window/StatusLine.h"
#include "window/TransferDisplay.h"
#include "window/Window.h"

namespace mirvok {

class Host;
class Link;
struct RunState;

// A download as a typed call: the file, the blocks and the download mode.
struct DownloadRequest {
    std::string file;                  // the file name box's text
    std::string blockMask;             // nine "0"/"1", block 0 first
    int mode = kDownloadModeAsChosen;  // download mode 0-8

    static constexpr int kDownloadModeAsChosen = -1;
};

// The three ROM version queries: the ROM's, the detailed one, the backup copy's.
enum class RomVersionKind { Rom, Detailed, Backup };

// The window's modes that its options menu switches.
enum class WindowMode { Special, ContactlessIc, FontRom, FromBackup };

// The four fields of the terminal line settings.
enum class LineField { BaudRate, Parity, DataBits, StopBits };

// How a typed choice went: chosen, the value is not in the list, or the list
// cannot be changed in the window's present mode.
enum class Choice { Chosen, NotOffered, NotAvailable };

class Frmdown {
public:
    static constexpr int kTimer1DesignIntervalMs = 2000;
    static constexpr int kTimer3DesignIntervalMs = 1000;

    Frmdown(Host& host, Link& link, RunState& run);
    Frmdown(const Frmdown&) = delete;
    Frmdown& operator=(const Frmdown&) = delete;

    FormState form;
    TransferDisplay transferDisplay{form};  // the download's bar and labels, kept from the reports
    OperationEvents events;                 // the window's display and the front end's observer
    StatusLine statusLine{form, events};    // LaStatus; the protocol's status reports go here too
    Timer Timer1;                           // reception time-out: stopped at creation
    Timer Timer3;                           // send wait: runs once at creation and stops itself
    Protocol protocol;
    // How the last operation ended; front ends read this, not the boxes.
    OperationResult result;
    Window window;  // what the handlers of every subsystem work on

    // ---- Operations. Each runs to its end, with its boxes and texts, then
    // reports its ending to the observer. False: it is not available now (its
    // button disabled), and nothing happened.
    // Sets the file, blocks and mode where they differ from the window's, as
    // the operator would, then runs the download.
    bool StartDownload(const DownloadRequest& request);
    // What ﾀﾞｳﾝﾛｰﾄﾞ開始 starts: the window's file, blocks and mode.
    DownloadRequest CurrentDownload() const;
    // Asks the stop question, as the Stop button does.
    bool StopDownload();
    bool ReadDsw();
    bool AskRomVersion(RomVersionKind kind);
    bool BackUpFrom();
    bool RecoverFrom();
    bool RefreshPorts();

    // ---- Choices, as the operator makes them in the window.
    // A guarded mode takes its access code, compared with the whole text as
    // the menu compares what the operator types; a wrong code changes nothing.
    // The contactless IC mode needs none (""). False: refused, or the menu item
    // cannot be used now.
    bool EnterMode(WindowMode mode, const std::string& accessCode);
    bool LeaveMode(WindowMode mode);
    bool InMode(WindowMode mode) const;
    // Chooses the port numbered `port` from the port list.
    Choice ChoosePort(int port);
    std::vector<std::string> ListedPortNames() const;
    bool ChooseTerminalMode(bool terminal);
    bool TerminalModeChosen() const;
    bool ChooseDownloadMode(int mode);
    // "9600", "E" (the list's first letter), "8", "1".
    Choice ChooseLineField(LineField field, const std::string& value);
    Choice ChooseSendWait(int milliseconds);
    bool SetLineCheck(bool on);
    // The block switch on and each block box set to its mask character;
    // false with the block it could not set (-1: the switch).
    bool ChooseBlocks(const std::string& mask, int& refusedBlock);

    // ---- Events, by control name ("Option1(3)"). False: nothing happened
    // (unknown name, or the control cannot be reached).

    // A left click: buttons, pictures, option buttons (selects it), check
    // boxes (toggles them), the file name box.
    bool Click(const std::string& control);
    // An arrow key on an option button: the next reachable option of its
    // group (backwards: the previous one) is selected and takes the focus.
    bool MoveInGroup(const std::string& control, bool backwards);
    // An entry chosen in a list.
    bool Choose(const std::string& control, int index);
    // The operator changed the text of a text box or of the history combo;
    // caret is the caret position afterwards (-1: at the end).
    bool EditText(const std::string& control, const std::string& text, int caret = -1);
    // The focus came to a control, or left it (the window keeps it as its
    // focus control, to give back when it is active again).
    bool Focus(const std::string& control, bool gained);
    // The right mouse button released over a control.
    bool RightButtonUp(const std::string& control);
    bool ChooseMenu(const std::string& item);
    // A request to close the window (close box, Mnuend). Runs the close
    // guard; true when the window closed, and then OnUnloaded runs.
    bool Unload();
    std::function<void()> OnUnloaded;
    bool Unloaded() const { return unloaded_; }

    // ---- Programmatic changes that run the same handler as the operator's
    // action, so they end in the same state.
    void SelectOption(OptionButton& option);
    void SelectItem(ListControl& list, int index);
    void SetValue(CheckBox& box, int value);
    void SetText(TextBox& box, const std::string& text);

    // ---- Handlers of this window.
    void Form_Load();
    void Form_DragOver();
    void CmndPortRefresh_Click();
    void CmbComPort_Click();
    void CmbSms_Click();
    void Option1_Click(int index);
    void Option2_Click(int index);  // the mode option handling
    void MnuZAV_Click();
    void MenuIC_Click();
    void MnuFontROM_Click();
    void MnuROMBkRec_Click();
    void MnuLineon_Click();
    void DeviceManager_Click();
    void MnuVer_Click();
    void Mnuend_Click();
    void Timer1_Timer();
    void Timer3_Timer();

    // ---- Handlers whose work is done by the download and maintenance
    // subsystems (OperationHandlers.cpp).
    void CmdStart_Click();
    void ImgSTART_Click();
    void CmdStop_Click();
    void ImgSTOP_Click();
    void Form_QueryUnload(std::int16_t& cancel);
    void CmdFile_Click();
    void TxXferFileName_Click();
    void TxXferFileName_Change();
    void TxXferFileName_GotFocus();
    void TxXferFileName_LostFocus();
    void FileNameList_Click();
    void FileNameList_Change();
    void FileNameList_GotFocus();
    void FileNameList_LostFocus();
    void BLKCheck1_Click();
    void CmdROMVer_Click();
    void CmdROMVer_MouseUp(int button);
    void Command1_Click();
    void CmdROMBackup_Click();
    void CmdROMRecovery_Click();
    void CmdGetDSW_Click();

private:
    using Handler = std::function<void()>;
    struct Handlers {
        Handler click, change, gotFocus, lostFocus, rightButtonUp;
    };
    // The phases of Form_Load, in order (FormLoad.cpp).
    void LoadPlacement();
    void LoadSpecialMode();
    void LoadModes();
    void LoadBlocks();
    void LoadFileHistory();
    void LoadFileName();
    void LoadPorts();
    void LoadLineSettings();
    void LoadSendInterval();
    void FinishLoad();

    void WireHandlers();
    void WireMenus();
    Handlers* HandlersOf(const Control& control);
    void RunClick(Control& control);
    void ClickControl(Control& control);
    // The typed calls' own checks: the control or menu item can be used.
    static bool Usable(const Control& control);
    static bool Usable(const MenuItem& item);
    // The entry at `index` of a list (-1: none offers the value), chosen when
    // the operator could choose it now.
    Choice ChooseListed(ListControl& list, int index);
    void EndOperation();
    MenuItem& MenuOf(WindowMode mode);
    void SwitchFromMenu(WindowMode mode);
    void SwitchOn(WindowMode mode);
    void SwitchOff(WindowMode mode);
    void HoldInTerminalMode();
    void ReturnToNormalMode();

    std::map<const Control*, Handlers> handlers_;
    std::map<const MenuItem*, Handler> menuHandlers_;
    bool unloaded_ = false;
};

}  // namespace mirvok

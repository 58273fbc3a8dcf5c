#pragma once
// Every control, menu item and window-level value of the main window Frmdown,
// as plain data. The handlers of every subsystem change this state; the Qt
// view mirrors it. The design state (captions, positions, items) is applied
// by the constructor.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"

namespace mirvok {

// A control array such as Option1(0..8) or SpDSW1On(1..8).
template <class T>
class ControlArray {
public:
    ControlArray(const std::string& name, ControlKind kind, Control* container, int first, int last)
        : first_(first) {
        for (int i = first; i <= last; ++i)
            items_.push_back(std::make_unique<T>(name + "(" + std::to_string(i) + ")", kind, container));
    }
    T& operator[](int index) { return *items_.at(static_cast<std::size_t>(index - first_)); }
    const T& operator[](int index) const { return *items_.at(static_cast<std::size_t>(index - first_)); }
    int First() const { return first_; }
    int Last() const { return first_ + static_cast<int>(items_.size()) - 1; }

private:
    int first_;
    std::vector<std::unique_ptr<T>> items_;
};

enum class WindowState { Normal, Minimized, Maximized };

struct FormState {
    FormState();
    FormState(const FormState&) = delete;
    FormState& operator=(const FormState&) = delete;

    // The window itself (outer size and position in twips); a change of its
    // size may change what every control shows. The focus has a mark of its own.
    std::uint64_t Mark = ChangeClock::Tick();
    Tracked<std::string> Caption{Mark, "ROM Down Load Program"};
    Tracked<int> Left{Mark, 0}, Top{Mark, 0}, Width{Mark, 5160}, Height{Mark, 6795};
    Tracked<WindowState> State{Mark, WindowState::Normal};
    std::uint64_t FocusMark = ChangeClock::Tick();
    Tracked<Control*> Focused{FocusMark, nullptr};

    // Menus.
    MenuItem MnuFile{"MnuFile", "ﾌｧｲﾙ(&F)"};
    MenuItem Mnuend{"Mnuend", "終了(&E)", &MnuFile};
    MenuItem MnuOpt{"MnuOpt", "ｵﾌﾟｼｮﾝ(&O)"};
    MenuItem MenuIC{"MenuIC", "非接触ＩＣ", &MnuOpt};
    MenuItem MnuZAV{"MnuZAV", "特殊", &MnuOpt};
    MenuItem LN{"LN", "-", &MnuOpt, true};
    MenuItem MnuFontROM{"MnuFontROM", "Font ROM 転送指定", &MnuOpt};
    MenuItem LN1{"LN1", "-", &MnuOpt, true};
    MenuItem MnuROMBkRec{"MnuROMBkRec", "FROM Backup/Recovery", &MnuOpt};
    MenuItem LN2{"LN2", "-", &MnuOpt, true};
    MenuItem MnuLineon{"MnuLineon", "制御線ﾁｪｯｸ", &MnuOpt};
    MenuItem Dummy0{"Dummy0", "-", &MnuOpt, true};
    MenuItem DeviceManager{"DeviceManager", "DeviceManager", &MnuOpt};
    MenuItem MnuVer{"MnuVer", "ﾊﾞｰｼﾞｮﾝ情報"};

    // Top row.
    Control Line1{"Line1", ControlKind::Line};
    Control Line2{"Line2", ControlKind::Line};
    Control LblComPort{"LblComPort", ControlKind::Label};
    ListControl CmbComPort{"CmbComPort", ControlKind::ComboList};
    Control CmndPortRefresh{"CmndPortRefresh", ControlKind::Button};
    Control LbSendWaitTime{"LbSendWaitTime", ControlKind::Label};
    ListControl CmbSms{"CmbSms", ControlKind::ComboList};

    // Mode and terminal settings.
    Control Frame3{"Frame3", ControlKind::Panel};
    ControlArray<TextBox> TxtIndex{"TxtIndex", ControlKind::CaptionBox, nullptr, 0, 4};
    ControlArray<OptionButton> Option2{"Option2", ControlKind::OptionButton, &Frame3, 0, 1};
    Control CmdROMVer{"CmdROMVer", ControlKind::Button, &Frame3};
    Control Frame4{"Frame4", ControlKind::Panel, &Frame3};
    ListControl CmbBaudRate{"CmbBaudRate", ControlKind::ComboList, &Frame4};
    ListControl CmbParity{"CmbParity", ControlKind::ComboList, &Frame4};
    ListControl CmbDataBits{"CmbDataBits", ControlKind::ComboList, &Frame4};
    ListControl CmbStopBits{"CmbStopBits", ControlKind::ComboList, &Frame4};
    Control LblBaudRate{"LblBaudRate", ControlKind::Label, &Frame4};
    Control LblParity{"LblParity", ControlKind::Label, &Frame4};
    Control LblDataBits{"LblDataBits", ControlKind::Label, &Frame4};
    Control LblStopBits{"LblStopBits", ControlKind::Label, &Frame4};
    Control FraTime{"FraTime", ControlKind::Panel, &Frame3};
    Control LbTime{"LbTime", ControlKind::Label, &FraTime};

    // Download modes.
    Control Frame2{"Frame2", ControlKind::Panel};
    ControlArray<OptionButton> Option1{"Option1", ControlKind::OptionButton, &Frame2, 0, 8};

    // File choice.
    Control Frame1{"Frame1", ControlKind::Panel};
    TextBox TxXferFileName{"TxXferFileName", ControlKind::TextBox, &Frame1};
    ListControl FileNameList{"FileNameList", ControlKind::ComboEdit, &Frame1};
    Control CmdFile{"CmdFile", ControlKind::Button, &Frame1};

    // Blocks.
    CheckBox BLKCheck1{"BLKCheck1", ControlKind::CheckBox};
    Control Frame5{"Frame5", ControlKind::Panel};
    ControlArray<CheckBox> BLK_Address{"BLK_Address", ControlKind::CheckBox, &Frame5, 0, 8};

    // Start, stop, address, status, progress.
    Control CmdStart{"CmdStart", ControlKind::Button};
    Control ImgSTART{"ImgSTART", ControlKind::Picture};
    Control Label2{"Label2", ControlKind::Label};
    Control LblADR{"LblADR", ControlKind::Label};
    Control CmdStop{"CmdStop", ControlKind::Button};
    Control ImgSTOP{"ImgSTOP", ControlKind::Picture};
    Control LaStatus{"LaStatus", ControlKind::Label};
    ProgressBar ProgressBar1{"ProgressBar1", ControlKind::ProgressBar};
    ListControl WorkFileList{"WorkFileList", ControlKind::ListBox};

    // Right-hand column of the widened window.
    Control Label3{"Label3", ControlKind::Label};
    Control FrameExpanded{"FrameExpanded", ControlKind::Panel};
    Control CmdROMBackup{"CmdROMBackup", ControlKind::Button, &FrameExpanded};
    Control CmdROMRecovery{"CmdROMRecovery", ControlKind::Button, &FrameExpanded};
    Control Command1{"Command1", ControlKind::Button, &FrameExpanded};
    Control Picture1{"Picture1", ControlKind::Panel};
    Control CmdGetDSW{"CmdGetDSW", ControlKind::Button, &Picture1};
    ControlArray<Control> lbDSW1{"lbDSW1", ControlKind::Label, &Picture1, 0, 8};
    ControlArray<Control> lbDSW2{"lbDSW2", ControlKind::Label, &Picture1, 0, 8};
    ControlArray<Control> SpDSW1On{"SpDSW1On", ControlKind::Shape, &Picture1, 1, 8};
    ControlArray<Control> SpDSW1Off{"SpDSW1Off", ControlKind::Shape, &Picture1, 1, 8};
    ControlArray<Control> SpDSW2On{"SpDSW2On", ControlKind::Shape, &Picture1, 1, 8};
    ControlArray<Control> SpDSW2Off{"SpDSW2Off", ControlKind::Shape, &Picture1, 1, 8};
    // The switch bodies of the two banks and the line between On and Off in each.
    ControlArray<Control> SpDSW{"SpDSW", ControlKind::Shape, &Picture1, 1, 2};
    ControlArray<Control> LineDSW{"LineDSW", ControlKind::Line, &Picture1, 1, 2};

    // Window variables.
    std::int16_t HistoryIndex = 0;

    // The status line: reset = background cyan, then text empty. The window
    // model changes it through StatusLine, which tells its observer.
    void ResetStatus() {
        LaStatus.BackColor = kCyan;
        LaStatus.Caption.clear();
    }
    void SetStatus(Color back, const std::string& text) {
        LaStatus.BackColor = back;
        LaStatus.Caption = text;
    }

    // How the views draw some controls. The status line, the address and the
    // time sit in sunken frames; the address and the picture captions are
    // centred; a picture acts, and is greyed, with the button it stands for.
    // Option2(0) selected: terminal mode; Option2(1): download mode.
    bool TerminalModeChosen() const { return Option2[0].Value; }
    bool FramedLabel(const Control& c) const { return &c == &LaStatus || &c == &LblADR || &c == &LbTime; }
    bool CentredLabel(const Control& c) const { return &c == &LblADR || c.Container == &Picture1; }
    // The tick of the last change that can alter how `c` shows: its own, its
    // containers', and those of the controls its look follows (a picture's
    // button, the history combo under the file box).
    std::uint64_t ShownMark(const Control& c) const;
    const Control& ButtonOfPicture(const Control& picture) const {
        return &picture == &ImgSTOP ? static_cast<const Control&>(CmdStop) : CmdStart;
    }
    // The file box lies over the history combo's field: a view whose combo
    // box cannot be as low as laid out shows the box as tall as the combo.
    const Control* FieldCovered(const Control& c) const {
        return &c == &TxXferFileName ? &FileNameList : nullptr;
    }

    // Every control, for the view and for tests that walk the window.
    std::vector<Control*> AllControls();
    std::vector<MenuItem*> AllMenuItems();

    // A control or menu item by its name, e.g. "Option1(3)"; nullptr when none has it.
    Control* FindControl(const std::string& name);
    MenuItem* FindMenuItem(const std::string& name);
};

}  // namespace mirvok

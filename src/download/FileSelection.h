#pragma once
// Choosing the file to send: the file name box TxXferFileName, the history
// drop-down FileNameList and the browse button CmdFile. Filename and
// Directory of the settings remember the last choice as the dialog's start;
// they never decide which file is sent.

#include <string>

namespace mirvok {

struct Window;

inline constexpr const char* kFileDialogTitle = "ファイル選択";
inline constexpr const char* kFileFilter =
    "対象ﾌｧｲﾙ(*.rom;*.fim;*.fnt;*.apl;*.ap1;*.ap2)|*.ROM;*.FIM;*.FNT;*.APL;*.AP1;*.AP2|ROMﾌｧｲﾙ(*.rom)|*.ROM|"
    "FIMﾌｧｲﾙ(*.fim)|*.FIM|FNTﾌｧｲﾙ(*.fnt)|*.FNT|APLﾌｧｲﾙ(*.apl)|*.APL|AP1ﾌｧｲﾙ(*.ap1)|*.AP1|AP2ﾌｧｲﾙ(*.ap2)|*."
    "AP2|"
    "全てのﾌｧｲﾙ(*.*)|*.*";
// The contactless IC mode also offers the S-record extension .mot.
inline constexpr const char* kContactlessFileFilter =
    "対象ﾌｧｲﾙ(*.rom;*.fim;*.fnt;*.apl;*.ap1;*.ap2;*.mot)|*.ROM;*.FIM;*.FNT;*.APL;*.AP1;*.AP2;*.MOT|"
    "ROMﾌｧｲﾙ(*.rom)|*.ROM|FIMﾌｧｲﾙ(*.fim)|*.FIM|FNTﾌｧｲﾙ(*.fnt)|*.FNT|APLﾌｧｲﾙ(*.apl)|*.APL|AP1ﾌｧｲﾙ(*.ap1)|*."
    "AP1|"
    "AP2ﾌｧｲﾙ(*.ap2)|*.AP2|MOTﾌｧｲﾙ(*.mot)|*.MOT|全てのﾌｧｲﾙ(*.*)|*.*";

// Browse: the file dialog starts at Filename in Directory; the chosen path
// goes into the box and is split into Directory and Filename. Cancelling
// changes nothing. The history is not touched.
void CmdFile_Click(Window& w);

// Click in the file box: an empty box gets the command-line file back;
// otherwise a file found under the text sets Directory and Filename. A text
// that cannot be split at the found name (a wildcard pattern) or a failed
// look-up empties the box.
void TxXferFileName_Click(Window& w);

// Text changed: caret to the end, tooltip = text, so a long path can be read.
void TxXferFileName_Change(Window& w);

// Focus gained or lost by the file box or the history list.
void TxXferFileName_GotFocus(Window& w);
void TxXferFileName_LostFocus(Window& w);
void FileNameList_GotFocus(Window& w);
void FileNameList_LostFocus(Window& w);

// History entry chosen: its full path goes into the file box, then the box is
// analysed as on a click.
void FileNameList_Click(Window& w);

// Text of the history list changed.
void FileNameList_Change(Window& w);

// Puts a text into the file box the way typing would: the change handling runs.
void SetFileBoxText(Window& w, const std::string& text);

}  // namespace mirvok

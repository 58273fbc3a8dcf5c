#pragma once
// Stopping a transfer and closing the window: a firmware transfer cut off can
// leave the device with a broken ROM, so both ask first.

#include <cstdint>
#include <string>

namespace mirvok {

struct Window;

inline const std::string kStopQuestion =
    "中止すると、ＲＯＭが壊れる場合があります。\r\n            中止しますか？";
inline const std::string kStopTitle = "ＢｙｅＢｙｅ";
inline const std::string kExitQuestion =
    "ＲＯＭダウンロード中です！\r\nこの状態で終了するとＲＯＭが壊れる場合があります。\r\n終了しますか？";

// Stop: asks (Yes/No, No preselected); Yes sets StopRequested, which the
// transfer engine reads before its next line.
void CmdStop_Click(Window& w);

// Every attempt to close the window. While an operation runs (CmdStart
// disabled) the operator is asked first; No sets cancel and the operation
// goes on. Otherwise the port is closed, the position stored (normal window
// state only), the settings saved, and Ending set: the program ends at once.
void Form_QueryUnload(Window& w, std::int16_t& cancel);

}  // namespace mirvok

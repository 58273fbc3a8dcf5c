#pragma once
// The ROM version query: "VS" with a one-character variant, the answer shown
// in a message box. Three triggers share it: a left click on CmdROMVer (no
// variant), a right-button release over CmdROMVer ("?") and Command1 ("b",
// the version of the F-ROM backup copy).

#include <string>

namespace mirvok {

struct Window;

inline constexpr const char* kVersionCommand = "VS";
inline constexpr const char* kVersionTitle = "ＲＯＭバージョン";
inline constexpr const char* kGettingVersionText = "ROMﾊﾞｰｼﾞｮﾝ取得中.....";
inline constexpr const char* kVersionLabel = "ROMﾊﾞｰｼﾞｮﾝ   ";
inline constexpr const char* kNoVersionText = "ROMﾊﾞｰｼﾞｮﾝは取得できませんでした。";

// Mouse buttons as the window reports them in MouseUp.
inline constexpr int kLeftMouseButton = 1;
inline constexpr int kRightMouseButton = 2;
inline constexpr int kMiddleMouseButton = 4;

void CmdROMVer_Click(Window& w);
// Only the right button starts a query ("?"); other buttons do nothing.
void CmdROMVer_MouseUp(Window& w, int button);
void Command1_Click(Window& w);

// The whole query with the given variant. With the F-ROM backup/recovery mode
// on, a good answer also refreshes the DSW picture before the version shows.
void QueryRomVersion(Window& w, const std::string& variant);

// "ＲＯＭバージョン", followed by "[ VS? ]" or "[ VSb ]" for those variants.
std::string RomVersionTitle(const std::string& variant);

// The version text of a "VS" answer frame: from its sixth character to the end,
// as it arrived.
std::string VersionText(const std::string& answerFrame);

}  // namespace mirvok

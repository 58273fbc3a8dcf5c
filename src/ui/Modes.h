#pragma once
// The operating modes of the main window: the window titles each mode shows,
// the access codes that switch the guarded modes on, and the window widths.

namespace mirvok {

inline constexpr const char* kTitleNormal = "ROM Down Load Program";
inline constexpr const char* kTitleSpecial = "ROM Down Load Program - ZAV";
// The title a run that starts in the special mode shows; switching the mode
// on from the menu shows kTitleSpecial instead.
inline constexpr const char* kTitleSpecialAtStart = "ROM Down Load Program (ZUD)";
inline constexpr const char* kTitleContactlessIc = "ROM Down Load Program (非接触ＩＣ)";
inline constexpr const char* kTitleFontRom = "ROM Down Load Program - Font ROM";
inline constexpr const char* kTitleFromBackup = "ROM Down Load Program - FROM Backup";

// Compared with the whole typed text: letter case and blanks count.
inline constexpr const char* kAccessCodeSpecial = "QMV";
inline constexpr const char* kAccessCodeFontRom = "5286";
inline constexpr const char* kAccessCodeFromBackup = "31750";
inline constexpr const char* kAccessCodePrompt = "パスワードを入力して下さい。";

// Spno: the special mode number kept in the settings.
inline constexpr int kSpnoNormal = 0;
inline constexpr int kSpnoSpecial = 1;
inline constexpr int kSpnoContactlessIc = 2;

// CRmode: which Option2 button is selected.
inline constexpr int kTerminalMode = 0;
inline constexpr int kDownloadMode = 1;

// Outer window sizes in twips; the wide window shows the right-hand column.
inline constexpr int kNormalWidthTwips = 5160;
inline constexpr int kWideWidthTwips = 7140;
inline constexpr int kHeightTwips = 6795;

}  // namespace mirvok

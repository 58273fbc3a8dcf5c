#pragma once
// The DSW read: asks the card reader for its two banks of eight DIP switches
// with "!!i" and draws them on the switch picture of the widened window.

#include <cstdint>
#include <string>

namespace mirvok {

struct FormState;
struct Window;

inline constexpr const char* kDswReadCommand = "!!i";
inline constexpr const char* kDswReadDoneText = "DSW状態取得完了！";
inline constexpr const char* kNoDswText = "DSWの状態が取得できませんでした。";

// The click on CmdGetDSW. Uses the port as found when it is open already (the
// ROM version query calls it so) and always closes the port at its end. The
// result holds the two banks as read.
void CmdGetDSW_Click(Window& w);

// The bit string of one bank (1 or 2) of a "!!i" answer frame: its two
// hexadecimal digits (characters 6-7 for bank 1, 8-9 for bank 2) turned into
// "0"/"1" characters, most significant bit first. Characters that are not
// hexadecimal digits contribute nothing, so the string may be shorter.
std::string DswBankBits(const std::string& answerFrame, int bank);

// Switch i (1 to 8) is character 9 - i of its bank's bit string, so switch 1
// is the least significant bit. A character beyond the end reads Off.
bool DswSwitchOn(const std::string& bankBits, int switchNumber);

// A bank's switches as a byte, as DswSwitchOn reads them: bit i-1 is switch i.
std::uint8_t DswBankValue(const std::string& bankBits);

// Every switch of both banks in the cleared look (Off shapes light grey, On
// shapes window background).
void ClearSwitchPicture(FormState& form);

// Draws the switches whose bit reads "1" as On (orange On shape, Off shape
// window background); the others keep their look.
void ShowSwitches(FormState& form, const std::string& bank1Bits, const std::string& bank2Bits);

}  // namespace mirvok

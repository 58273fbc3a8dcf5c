#pragma once
// The Telnet COM-PORT-OPTION (RFC 2217): its command codes and value
// encodings, for both ends. A client sends a code; the server answers with the
// code plus kServerOffset and the value it has actually set.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirvok::remote::comport {

inline constexpr unsigned char kSetBaudRate = 1;
inline constexpr unsigned char kSetDataSize = 2;
inline constexpr unsigned char kSetParity = 3;
inline constexpr unsigned char kSetStopSize = 4;
inline constexpr unsigned char kSetControl = 5;
inline constexpr unsigned char kNotifyLineState = 6;
inline constexpr unsigned char kNotifyModemState = 7;
// Server notifications: stop sending data / send again.
inline constexpr unsigned char kFlowControlSuspend = 8;
inline constexpr unsigned char kFlowControlResume = 9;
inline constexpr unsigned char kSetLineStateMask = 10;
inline constexpr unsigned char kSetModemStateMask = 11;
inline constexpr unsigned char kPurgeData = 12;
inline constexpr unsigned char kServerOffset = 100;

inline constexpr unsigned char kControlNoFlowControl = 1;
inline constexpr unsigned char kPurgeBoth = 3;

// Line state bits: the transmit shift register is empty (the last byte
// handed to the port has left it).
inline constexpr unsigned char kTransmitterEmpty = 0x40;

// Modem state bits.
inline constexpr unsigned char kDeltaCts = 0x01;
inline constexpr unsigned char kDeltaDsr = 0x02;
inline constexpr unsigned char kCts = 0x10;
inline constexpr unsigned char kDsr = 0x20;

// "N", "O", "E", "M", "S" and the option's values 1 to 5.
std::optional<unsigned char> ParityCode(char letter);
std::optional<char> ParityLetter(unsigned char code);

// 1 and 2 stop bits (the option's 1 and 2; 3 is 1.5).
inline constexpr unsigned char kOneStopBit = 1;

// IAC SB COM-PORT-OPTION code value IAC SE.
std::string Command(unsigned char code, std::string_view value);
std::string BaudValue(std::uint32_t baud);  // four bytes, most significant first
std::optional<std::uint32_t> BaudOf(std::string_view value);

}  // namespace mirvok::remote::comport

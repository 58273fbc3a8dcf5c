#pragma once
// The client end of a Telnet session with the COM-PORT-OPTION, as a pure
// codec: it says what to send, takes what the server sent apart into data,
// answers and modem lines, and keeps the state of the negotiation. The
// transport moves the bytes and decides how long to wait.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "TelnetCodec.h"
#include "link/Transport.h"

namespace mirvok::remote {

class ComPortClient {
public:
    enum class Agreement { Pending, Agreed, Refused };

    // What a client says first: it will speak the COM-PORT-OPTION, and it
    // asks for BINARY and SUPPRESS-GO-AHEAD both ways, so that every byte
    // passes unchanged.
    std::string Start();

    // The requests that set the line as a local port opens it: rate,
    // framing, no flow control, DSR and CTS reported, both buffers purged.
    std::string Configure(const LineSettings& settings);

    // Takes bytes from the server: data is appended to `data`, answers the
    // negotiation needs to `reply` (to be sent at once).
    void Receive(std::string_view wire, std::string& data, std::string& reply);

    // Data for the wire (0xFF doubled).
    static std::string EncodeData(std::string_view data) { return telnet::EscapeData(data); }

    Agreement ComPort() const { return comPort_; }
    // Whether the server has answered each line setting of Configure.
    bool SettingsAnswered() const;
    // The first setting the server answered with another value than asked,
    // e.g. "baud rate 115200 (server: 9600)"; empty while none was.
    const std::string& Refusal() const { return refusal_; }
    // DSR and CTS as last notified. A server that never notifies, or one that
    // only ever reports every line off without a change (what a server that
    // cannot read the lines sends, e.g. one in front of a pseudo-terminal),
    // leaves them on.
    ModemLines Lines() const { return lines_; }

    // Data went out for the port: whether the server's transmitter has
    // become empty is unknown again until it reports it.
    void DataSent() { transmitterEmpty_ = false; }
    // Whether the server reports its line state and has not reported its
    // transmitter empty since data went out last.
    bool TransmitterBusy() const { return lineStateReported_ && !transmitterEmpty_; }

private:
    enum class Setting { Baud, DataSize, Parity, StopSize, Count };
    struct OptionState {
        bool wanted = false;
        bool pending = false;  // we asked and have no answer yet
        bool enabled = false;
    };

    void OnNegotiation(unsigned char verb, unsigned char option, std::string& reply);
    void OnComPortAnswer(std::string_view payload);
    void CheckAnswer(Setting setting, std::string_view value);
    void OnModemState(unsigned char state);
    void OnLineState(unsigned char state);

    telnet::Decoder decoder_;
    std::array<OptionState, 256> ours_{};    // options we perform (server says DO)
    std::array<OptionState, 256> theirs_{};  // options the server performs (server says WILL)
    Agreement comPort_ = Agreement::Pending;
    std::array<std::optional<std::string>, static_cast<std::size_t>(Setting::Count)> asked_;
    std::array<bool, static_cast<std::size_t>(Setting::Count)> answered_{};
    std::string refusal_;
    ModemLines lines_;
    bool linesReported_ = false;
    bool lineStateReported_ = false;
    bool transmitterEmpty_ = true;
};

}  // namespace mirvok::remote

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
    // negotiation needs to `reply` (to be sent at once). Data that comes
    // before the server's answer to the purge of Configure was in the
    // server's buffers before this session and is dropped, up to
    // AcceptData(); so is everything after a Failure().
    void Receive(std::string_view wire, std::string& data, std::string& reply);
    // Hands on all data from now on, purge answered or not: for a server that
    // does not answer it within the opening's bounds.
    void AcceptData() { discarding_ = false; }

    // Data for the wire (0xFF doubled).
    static std::string EncodeData(std::string_view data) { return telnet::EscapeData(data); }

    // Refused as soon as the server says DONT or WONT to it (a WONT that only
    // acknowledges our DONT to its own offer excepted).
    Agreement ComPort() const { return comPort_; }
    // Whether the server has refused BINARY in either direction: then bytes
    // would not pass unchanged.
    bool BinaryRefused() const { return binaryRefused_; }
    // Whether the server has answered each line setting and the purge of Configure.
    bool SettingsAnswered() const;
    // The first setting the server answered with another value than asked,
    // e.g. "baud rate 115200 (server: 9600)"; empty while none was.
    const std::string& Refusal() const { return refusal_; }
    // DSR and CTS as last notified, a first report of every line off
    // included. A server that never notifies leaves them on (unknown).
    ModemLines Lines() const { return lines_; }
    // Whether the server has said FLOWCONTROL-SUSPEND and not yet RESUME:
    // no data is to be sent meanwhile.
    bool FlowSuspended() const { return flowSuspended_; }
    // Why the session can't go on (an overlong subnegotiation: one that never
    // ends would swallow every later byte); empty while it can.
    const std::string& Failure() const { return failure_; }

    // Data went out for the port: whether the server's transmitter has
    // become empty is unknown again until it reports it.
    void DataSent() { transmitterEmpty_ = false; }
    // Whether the server reports when its transmitter is empty (it has done
    // so once) and has not reported it since data went out last.
    bool TransmitterBusy() const { return transmitterReported_ && !transmitterEmpty_; }

private:
    enum class Setting { Baud, DataSize, Parity, StopSize, Count };
    struct OptionState {
        bool wanted = false;
        bool pending = false;  // we asked and have no answer yet
        bool enabled = false;
    };

    void OnEvent(const telnet::Event& event, std::string& reply);
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
    bool transmitterReported_ = false;
    bool transmitterEmpty_ = true;
    bool purgeAsked_ = false;
    bool purgeAnswered_ = false;
    bool discarding_ = true;
    bool binaryRefused_ = false;
    bool declinedComPortOffer_ = false;  // we said DONT to the server's WILL COM-PORT-OPTION
    bool flowSuspended_ = false;
    std::string failure_;
};

}  // namespace mirvok::remote

#pragma once
// The transport to a remote serial port: Telnet with the COM-PORT-OPTION over
// TCP. The ComPortClient codec does the protocol; this class moves its bytes
// and decides how long to wait. Like the serial transports, it blocks in the
// link calls on the real clock.

#include <functional>
#include <memory>
#include <string>

#include "ComPortClient.h"
#include "RemoteAddress.h"
#include "TcpConnection.h"
#include "link/WireClock.h"

namespace mirvok::remote {

class RemoteTransport final : public Transport {
public:
    static constexpr int kConnectTimeoutMs = 5000;
    // How long the server has to agree to the COM-PORT-OPTION. A server that
    // speaks no Telnet never does, and the opening fails.
    static constexpr int kNegotiationTimeoutMs = 3000;
    // How long the answers to the line settings are waited for. A server
    // that does not answer them is taken to have set them.
    static constexpr int kSettingAnswersMs = 2000;
    // Data taken from the socket and not handed out yet, at most; beyond it
    // the rest waits in the socket, and TCP holds the server back.
    static constexpr std::size_t kMaxPendingBytes = 64 * 1024;
    // How far the bytes written may run ahead of the remote wire, reckoned
    // at the line rate and by what the server has not acknowledged (see
    // Write): enough that a late wake-up on a busy machine does not leave the
    // wire idle, little against a block pause.
    static constexpr int kMaxAheadOfWireMs = 200;
    // How long a connection that has carried data stays open after its last
    // byte should be on the wire. A server may discard what it still holds
    // for the port when the connection ends (one in front of a
    // pseudo-terminal may flush both directions at once), so the last bytes
    // of an operation (the end-of-file byte, a final answer) get this margin.
    static constexpr int kCloseGraceMs = 300;
    // How much longer than the line needs for them the bytes on their way
    // may take to be acknowledged when the connection closes.
    static constexpr int kCloseDrainMarginMs = 2000;
    // How long the server has, once our side is finished, to close its side;
    // what it sends meanwhile is read and dropped.
    static constexpr int kFinishTimeoutMs = 500;

    // Gets the message of a failure that ends the link after its opening.
    using FailureReport = std::function<void(const std::string&)>;

    // Connects, negotiates and sets the line, waiting at most negotiationMs
    // for the server to take up the negotiation. On failure: nothing, with
    // IoError (no connection, no Telnet server, BINARY refused) or BadSetting
    // (a setting refused) and a message naming the host, the port and the
    // cause.
    static std::unique_ptr<RemoteTransport> Open(const RemoteAddress& address, const LineSettings& settings,
                                                 TransportStatus& status, std::string& error,
                                                 int negotiationMs = kNegotiationTimeoutMs);
    // Tells `closed` when the connection has ended for good (the transport
    // goes), so that an opening that follows can allow for a server that
    // frees the session late.
    ~RemoteTransport() override;
    void WhenGone(std::function<void()> closed) { gone_ = std::move(closed); }
    void WhenFailed(FailureReport report) { report_ = std::move(report); }

    // Returns once the bytes are no further ahead of the remote wire than
    // kMaxAheadOfWireMs, as a local port returns once its small buffer takes
    // them: TCP and the server would take them at once and hold far more than
    // a block pause lasts, and the pause would not reach the wire. Ahead
    // counts by the line's rate and by the bytes the server has not
    // acknowledged, whichever is more, so a server that drains slower than
    // the rate it agreed holds the writes back. A write cut off part-way
    // breaks the link: the rest of a line or of a doubled 0xFF never follows.
    TransportStatus Write(const std::string& bytes, int timeoutMs) override;
    TransportStatus Read(std::string& out) override;
    TransportStatus WaitForData(int timeoutMs) override;
    std::int64_t NowMs() override;
    void Sleep(int ms) override;
    // As the server last notified them (on for an address that ignores
    // them); a connection that is gone shows as a failed write, not as lines
    // off.
    ModemLines Lines() override;
    // The bytes on their way (see Write), and one more while a server that
    // reports when its transmitter is empty has not reported it since the
    // last write.
    TransportStatus Unsent(std::size_t& bytes) override;
    // Waits (bounded) until the bytes on their way have left and then
    // kCloseGraceMs, finishes the sending side, reads to the server's end and
    // closes: the server sees the end after our last byte, and no reset
    // destroys what it still holds.
    void Close() override;

private:
    RemoteTransport(std::unique_ptr<TcpConnection> connection, std::string where,
                    const LineSettings& settings);
    // Takes in what has arrived without waiting; false once the connection
    // is gone or the server has sent what ends the session.
    bool Pump();
    // Waits, pumping the connection, while the server has suspended the
    // flow: Ok once it resumes, Timeout when it has not within timeoutMs,
    // IoError when the connection goes meanwhile.
    TransportStatus WaitWhileSuspended(int timeoutMs);
    // Waits until `done` holds, the deadline passes or the connection goes.
    template <typename Done>
    bool WaitUntil(Done done, int timeoutMs);
    bool DropStaleData();
    // The bytes written that the server has not acknowledged, or that the
    // line cannot have carried yet at its rate, whichever is more.
    std::size_t OnItsWay();
    // What the server has not acknowledged; 0 where the system cannot tell.
    std::size_t Unacknowledged();
    // Waits until no more than aheadMs of the line's time is on its way,
    // serving the connection; false when the deadline passed first or the
    // connection is gone.
    bool WaitUntilAhead(int aheadMs, std::int64_t deadlineUs);

    std::unique_ptr<TcpConnection> connection_;
    std::string where_;  // "rfc2217://host:port: "
    bool ignoreLines_ = false;
    ComPortClient client_;
    FailureReport report_;
    std::function<void()> gone_;
    std::string data_;
    bool broken_ = false;
    WireClock wire_;
};

}  // namespace mirvok::remote

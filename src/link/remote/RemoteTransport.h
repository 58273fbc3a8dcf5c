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
    // at the line rate (see Write): enough that a late wake-up on a busy
    // machine does not leave the wire idle, little against a block pause.
    static constexpr int kMaxAheadOfWireMs = 200;
    // How long a connection that has carried data stays open after its last
    // byte should be on the wire. A server may discard what it still holds
    // for the port when the connection ends (ser2net in front of a
    // pseudo-terminal flushes both directions at once), so the last bytes of
    // an operation (the end-of-file byte, a final answer) get this margin.
    static constexpr int kCloseGraceMs = 300;

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
    // a block pause lasts, and the pause would not reach the wire.
    TransportStatus Write(const std::string& bytes, int timeoutMs) override;
    TransportStatus Read(std::string& out) override;
    TransportStatus WaitForData(int timeoutMs) override;
    std::int64_t NowMs() override;
    void Sleep(int ms) override;
    // As the server last notified them (on for an address that ignores
    // them); a connection that is gone shows as a failed write, not as lines
    // off.
    ModemLines Lines() override;
    // Waits for the bytes still on their way to the wire, at most
    // kMaxAheadOfWireMs and a line, and then kCloseGraceMs, so that they
    // leave before the server sees the connection close.
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

    std::unique_ptr<TcpConnection> connection_;
    std::string where_;  // "rfc2217://host:port: "
    bool ignoreLines_ = false;
    ComPortClient client_;
    FailureReport report_;
    std::function<void()> gone_;
    std::string data_;
    bool broken_ = false;
    double characterUs_;          // one character on the remote wire
    double wireBusyUntilUs_ = 0;  // when the remote wire has carried what was written
};

}  // namespace mirvok::remote

#pragma once
// The ports of the real program with the remote ones among them: an entry
// COMn=rfc2217://HOST:PORT in section "Ports" of the settings file makes COMn
// a remote port, listed with its URL as path and description and opened as a
// RemoteTransport; every other number goes to the local ports. On Windows
// that section holds only the remote ports.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "RemoteAddress.h"
#include "link/Transport.h"

namespace mirvok::remote {

// A FailureReport for programs with a standard error stream: "mirvok: <message>".
void ReportOnStandardError(const std::string& message);

class RemotePorts final : public PortProvider {
public:
    // An opening this soon after a connection to the same address ended is
    // a reopening (after a change of the line rate, say). A server may free
    // the old session only some seconds later (when its own read of the
    // serial port times out), so a reopening waits and tries again up to
    // kReopenBoundMs in all; a first opening keeps the transport's bounds.
    static constexpr int kReopenWithinMs = 5000;
    static constexpr int kReopenBoundMs = 10000;
    static constexpr int kReopenPauseMs = 250;

    // Gets the message of a remote link that breaks after its opening (an
    // opening that fails gives its cause to the caller), for the operator.
    using FailureReport = std::function<void(const std::string&)>;

    RemotePorts(PortProvider& local, std::string iniPath, FailureReport report = {})
        : local_(local), iniPath_(std::move(iniPath)), report_(std::move(report)) {}

    std::vector<PortInfo> ListPorts() override;
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status,
                                    std::string& cause) override;

    // The number of the remote port `url`: the one the settings file gives
    // it, or else the lowest number that neither the file nor a local port
    // holds, recorded in the file (kept for this run when the file cannot
    // be written). 0 for a malformed URL or when no number is free.
    int NumberFor(const std::string& url);

private:
    const std::map<int, RemoteAddress>& Remote();
    std::unique_ptr<Transport> OpenRemote(const RemoteAddress& address, const LineSettings& settings,
                                          TransportStatus& status, std::string& error);

    PortProvider& local_;
    std::string iniPath_;
    FailureReport report_;
    std::optional<std::map<int, RemoteAddress>> remote_;  // read at first use
    std::map<int, std::string> otherEntries_;             // the map's local entries
    // URL -> steady-clock ms when its last connection ended; shared with the
    // transports, which may outlive this provider.
    std::shared_ptr<std::map<std::string, std::int64_t>> lastGoneMs_ =
        std::make_shared<std::map<std::string, std::int64_t>>();
};

}  // namespace mirvok::remote

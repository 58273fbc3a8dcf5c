#pragma once
// The ports of the real program with the remote ones among them: an entry
// COMn=rfc2217://HOST:PORT in section "Ports" of the settings file makes COMn
// a remote port, listed with its URL as path and description and opened as a
// RemoteTransport; every other number goes to the local ports. On Windows
// that section holds only the remote ports.

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "RemoteAddress.h"
#include "link/Transport.h"

namespace mirvok::remote {

// A FailureReport for programs with a standard error stream: "mirvok: <message>".
void ReportOnStandardError(const std::string& message);

class RemotePorts final : public PortProvider {
public:
    // Gets the message of every remote opening that fails, for the operator.
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

    PortProvider& local_;
    std::string iniPath_;
    FailureReport report_;
    std::optional<std::map<int, RemoteAddress>> remote_;  // read at first use
    std::map<int, std::string> otherEntries_;             // the map's local entries
};

}  // namespace mirvok::remote

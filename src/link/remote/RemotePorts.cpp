#include "RemotePorts.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <thread>

#include "RemoteTransport.h"
#include "link/ComPortName.h"
#include "link/Link.h"
#include "link/PortMap.h"
#include "startup/ProfileFile.h"

namespace mirvok::remote {

void ReportOnStandardError(const std::string& message) {
    std::cerr << "mirvok: " << message << std::endl;
}

const std::map<int, RemoteAddress>& RemotePorts::Remote() {
    if (!remote_) {
        remote_.emplace();
        const PortMap map = PortMap::Load(iniPath_);
        for (const auto& [number, value] : map.Entries()) {
            // A malformed URL is no port, and its number stays taken.
            if (!IsRemoteUrl(value))
                otherEntries_.emplace(number, value);
            else if (const std::optional<RemoteAddress> address = ParseRemoteUrl(value))
                remote_->emplace(number, *address);
            else
                otherEntries_.emplace(number, value);
        }
    }
    return *remote_;
}

std::vector<PortInfo> RemotePorts::ListPorts() {
    const std::map<int, RemoteAddress>& remote = Remote();
    std::vector<PortInfo> ports;
    for (const PortInfo& port : local_.ListPorts())
        if (!remote.contains(port.number)) ports.push_back(port);
    for (const auto& [number, address] : remote)
        ports.push_back(PortInfo{number, address.Url(), address.Url(), ""});
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return a.number < b.number; });
    return ports;
}

std::unique_ptr<Transport> RemotePorts::Open(int port, const LineSettings& settings, TransportStatus& status,
                                             std::string& cause) {
    const auto found = Remote().find(port);
    if (found == Remote().end()) return local_.Open(port, settings, status, cause);
    std::string error;
    std::unique_ptr<Transport> transport = OpenRemote(found->second, settings, status, error);
    if (!transport) cause = error;
    return transport;
}

std::unique_ptr<Transport> RemotePorts::OpenRemote(const RemoteAddress& address, const LineSettings& settings,
                                                   TransportStatus& status, std::string& error) {
    const std::string url = address.Url();
    const auto gone = lastGoneMs_->find(url);
    const bool reopening = gone != lastGoneMs_->end() && SteadyNowMs() - gone->second < kReopenWithinMs;
    const std::int64_t deadline = SteadyNowMs() + kReopenBoundMs;
    std::unique_ptr<RemoteTransport> transport;
    for (;;) {
        // A server still busy with the old session leaves the new connection
        // waiting in its queue: give it the rest of the bound to take it up.
        const int negotiationMs =
            reopening ? std::max(RemoteTransport::kNegotiationTimeoutMs, MsLeftUntil(deadline))
                      : RemoteTransport::kNegotiationTimeoutMs;
        transport = RemoteTransport::Open(address, settings, status, error, negotiationMs);
        if (transport || !reopening || status == TransportStatus::BadSetting ||
            MsLeftUntil(deadline) <= kReopenPauseMs)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kReopenPauseMs));
    }
    if (!transport) return nullptr;
    transport->WhenGone([goneMs = std::weak_ptr(lastGoneMs_), url] {
        if (const auto map = goneMs.lock()) (*map)[url] = SteadyNowMs();
    });
    transport->WhenFailed(report_);
    return transport;
}

int RemotePorts::NumberFor(const std::string& url) {
    const std::optional<RemoteAddress> address = ParseRemoteUrl(url);
    if (!address) return 0;
    for (const auto& [number, known] : Remote())
        if (known == *address) return number;
    std::vector<int> taken;
    for (const PortInfo& port : local_.ListPorts()) taken.push_back(port.number);
    for (int number = 1; number <= Link::kMaxPort; ++number) {
        if (remote_->contains(number) || otherEntries_.contains(number) ||
            std::find(taken.begin(), taken.end(), number) != taken.end())
            continue;
        remote_->emplace(number, *address);
        ProfileFile file = ProfileFile::Load(iniPath_);
        file.Set(PortMap::kSection, ComPortName(number), address->Url());
        file.Save(iniPath_);
        return number;
    }
    return 0;
}

}  // namespace mirvok::remote

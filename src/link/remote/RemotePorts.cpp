#include "RemotePorts.h"

#include <algorithm>
#include <iostream>

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
    std::unique_ptr<Transport> transport = RemoteTransport::Open(found->second, settings, status, error);
    if (!transport) {
        cause = error;
        if (report_) report_(error);
    }
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

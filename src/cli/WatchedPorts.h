#pragma once
// A port provider that passes everything through to the real one and watches
// the wire on the way: how much moved, and, when asked, a transcript of every
// byte in both directions with its time. The host reads the activity to tell
// a waiting loop from one that is moving data.

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "link/Transport.h"

namespace mirvok::cli {

struct WireWatch {
    std::uint64_t activity = 0;          // grows with every byte moved either way
    std::ostream* transcript = nullptr;  // none: no transcript
    std::function<double()> seconds;     // time stamps of the transcript
};

class WatchedPorts final : public PortProvider {
public:
    WatchedPorts(PortProvider& inner, WireWatch& watch) : inner_(inner), watch_(watch) {}

    std::vector<PortInfo> ListPorts() override { return inner_.ListPorts(); }
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status,
                                    std::string& cause) override;

private:
    PortProvider& inner_;
    WireWatch& watch_;
};

// One transcript event line that is not bytes: "    1.234567 # text\n".
std::string TranscriptNote(double seconds, const std::string& text);

}  // namespace mirvok::cli

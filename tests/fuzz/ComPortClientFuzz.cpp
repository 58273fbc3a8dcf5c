// The Telnet/COM-PORT-OPTION client codec with whatever a server may send:
// split at the points the input chooses, it must take the bytes apart as it
// does in one piece, never hold more than its bounds, and its own data must
// come back unchanged through the decoder.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/remote/ComPortClient.h"

using mirvok::LineSettings;
using mirvok::remote::ComPortClient;
namespace telnet = mirvok::remote::telnet;

namespace {

struct Outcome {
    std::string data, reply;
    ComPortClient::Agreement agreement;
    bool answered;
    std::string refusal;
    bool dsr, cts;
};

Outcome Run(const std::string& wire, const std::vector<std::size_t>& cuts) {
    ComPortClient client;
    client.Start();
    LineSettings line;
    line.baud = 115200;
    line.dataBits = 7;
    client.Configure(line);
    Outcome o;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        client.Receive(std::string_view(wire).substr(from, cut - from), o.data, o.reply);
        from = cut;
    }
    client.Receive(std::string_view(wire).substr(from), o.data, o.reply);
    o.agreement = client.ComPort();
    o.answered = client.SettingsAnswered();
    o.refusal = client.Refusal();
    o.dsr = client.Lines().dsr;
    o.cts = client.Lines().cts;
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    // The first byte chooses how many cuts; the cuts come from the bytes that follow.
    const std::size_t cutCount = bytes[0] % 8;
    if (size < 1 + cutCount) return 0;
    const std::string wire(reinterpret_cast<const char*>(bytes + 1 + cutCount), size - 1 - cutCount);
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < cutCount; ++i)
        cuts.push_back(wire.empty() ? 0 : bytes[1 + i] % (wire.size() + 1));
    std::sort(cuts.begin(), cuts.end());

    const Outcome whole = Run(wire, {});
    const Outcome split = Run(wire, cuts);
    if (whole.data != split.data || whole.reply != split.reply || whole.agreement != split.agreement ||
        whole.answered != split.answered || whole.refusal != split.refusal || whole.dsr != split.dsr ||
        whole.cts != split.cts)
        std::abort();
    // Every byte of the wire is data at most once; a reply answers one
    // three-byte negotiation with three bytes.
    if (whole.data.size() > wire.size() || whole.reply.size() > wire.size()) std::abort();

    // Data escaped for the wire decodes to itself.
    telnet::Decoder decoder;
    std::string data;
    std::vector<telnet::Event> events;
    decoder.Feed(telnet::EscapeData(wire), data, events);
    if (data != wire || !events.empty()) std::abort();
    return 0;
}

// The Telnet/COM-PORT-OPTION client codec with whatever a server may send:
// split at the points the input chooses, it must take the bytes apart as it
// does in one piece (the data kept from the purge answer on, the flow
// control, the refusals, a failure), never hold more than its bounds, and
// its own data must come back unchanged through the decoder.

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
    bool binaryRefused, suspended;
    std::string failure;
};

// `acceptAt`: where the opening's bound passes (AcceptData), if it does.
Outcome Run(const std::string& wire, const std::vector<std::size_t>& cuts, std::size_t acceptAt) {
    ComPortClient client;
    client.Start();
    LineSettings line;
    line.baud = 115200;
    line.dataBits = 7;
    client.Configure(line);
    Outcome o;
    std::vector<std::size_t> pieces = cuts;
    pieces.push_back(acceptAt);
    std::sort(pieces.begin(), pieces.end());
    std::size_t from = 0;
    for (std::size_t cut : pieces) {
        client.Receive(std::string_view(wire).substr(from, cut - from), o.data, o.reply);
        if (cut == acceptAt) client.AcceptData();
        from = cut;
    }
    client.Receive(std::string_view(wire).substr(from), o.data, o.reply);
    o.agreement = client.ComPort();
    o.answered = client.SettingsAnswered();
    o.refusal = client.Refusal();
    o.dsr = client.Lines().dsr;
    o.cts = client.Lines().cts;
    o.binaryRefused = client.BinaryRefused();
    o.suspended = client.FlowSuspended();
    o.failure = client.Failure();
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    // The first byte chooses how many cuts; the next where the opening's
    // bound passes; the cuts come from the bytes that follow.
    if (size < 2) return 0;
    const std::size_t cutCount = bytes[0] % 8;
    if (size < 2 + cutCount) return 0;
    const std::string wire(reinterpret_cast<const char*>(bytes + 2 + cutCount), size - 2 - cutCount);
    const std::size_t acceptAt = bytes[1] % (wire.size() + 1);
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < cutCount; ++i) cuts.push_back(bytes[2 + i] % (wire.size() + 1));

    const Outcome whole = Run(wire, {}, acceptAt);
    const Outcome split = Run(wire, cuts, acceptAt);
    if (whole.data != split.data || whole.reply != split.reply || whole.agreement != split.agreement ||
        whole.answered != split.answered || whole.refusal != split.refusal || whole.dsr != split.dsr ||
        whole.cts != split.cts || whole.binaryRefused != split.binaryRefused ||
        whole.suspended != split.suspended || whole.failure != split.failure)
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

// Arbitrary bytes from the device, fed to the data reception through the
// link library and a scripted line (or straight into the receive buffer), and
// to a whole command exchange. Whatever arrives, nothing may crash or hang, and
// the reception state must stay one the protocol knows.
//
// Input: a flags byte, then chunks.
//   flags bit 0: special mode (Spno 1)
//   flags bit 1: run a whole "PA" exchange; each write of the program releases
//                the next chunk, as a device answering would
//   flags bit 2: the first chunk goes straight into RxBuffer, bypassing the
//                link's code page conversion (so broken UTF-8 reaches the parser)
//   flags bit 3: do not wait again after a decision, so characters also
//                arrive while nobody waits
// A chunk is a header byte and its data: bits 0-4 the length (0-31), bits
// 5-6 the pause before it arrives (0, 1, 4.9 or 5.1 s), bit 7 a failing read
// instead of data (input overrun for an odd length, else an I/O error).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/Link.h"
#include "protocol/Protocol.h"
#include "protocol/WireText.h"
#include "startup/RunState.h"
#include "startup/Timer.h"
#include "support/IgnoredStatus.h"
#include "support/ScriptedLine.h"
#include "support/VirtualHost.h"

namespace {

using namespace mirvok;

struct Chunk {
    std::string bytes;
    double delaySeconds = 0;
    bool fails = false;
    TransportStatus failure = TransportStatus::Ok;
};

std::vector<Chunk> DecodeChunks(const std::uint8_t* data, std::size_t size) {
    static constexpr double kDelays[] = {0, 1.0, 4.9, 5.1};
    std::vector<Chunk> chunks;
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t header = data[pos++];
        Chunk chunk;
        const std::size_t length = header & 0x1F;
        chunk.delaySeconds = kDelays[(header >> 5) & 0x03];
        chunk.fails = (header & 0x80) != 0;
        if (chunk.fails) {
            chunk.failure = (length & 1) ? TransportStatus::Overrun : TransportStatus::IoError;
        } else {
            const std::size_t take = length < size - pos ? length : size - pos;
            chunk.bytes.assign(reinterpret_cast<const char*>(data + pos), take);
            pos += take;
        }
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

struct Bench {
    VirtualClock clock;
    test::VirtualHost host{clock};
    test::ScriptedLine line{clock};
    test::ScriptedPorts provider{line};
    Link link{provider};
    RunState run;
    test::IgnoredStatus status;
    Timer timer1{host, 2000, false};
    Protocol protocol{host, link, run, status, timer1};
    std::size_t bytesFed = 0;

    Bench() {
        host.SetStepUs(100'000);  // coarse steps keep each input fast
        link.crwOpenPort(1, 9600, "8", "N");
        run.PortOpen = true;
    }

    void Check() const {
        if (protocol.RxState < 0 || protocol.RxState > 3) std::abort();
        if (CountCharacters(protocol.AnsCode) > 2) std::abort();
        // Characters are consumed, never made up.
        if (protocol.RxBuffer.size() > bytesFed * 3) std::abort();
    }

    void Wait() {
        protocol.RxState = 1;
        timer1.Restart(Protocol::kReceptionTimeoutMs);
    }

    void Receive(const std::vector<Chunk>& chunks, bool rearm) {
        Wait();
        for (const Chunk& chunk : chunks) {
            if (chunk.fails) {
                line.readStatus = chunk.failure;
                protocol.ReceiveStep();
                line.readStatus = TransportStatus::Ok;
                Check();
                continue;
            }
            line.Arrive(chunk.bytes, chunk.delaySeconds);
            const std::int64_t due =
                clock.NowUs() + static_cast<std::int64_t>(chunk.delaySeconds * 1e6) + 100'000;
            while (clock.NowUs() <= due) {
                host.DoEvents();
                protocol.ReceiveStep();
                Check();
                if (protocol.RxState == 0 && rearm) Wait();
            }
        }
        // Whatever is still buffered is taken apart in as many calls at most.
        for (std::size_t n = protocol.RxBuffer.size() + 2; n > 0; --n) {
            protocol.ReceiveStep();
            Check();
            if (protocol.RxState == 0 && rearm) Wait();
        }
    }

    void Exchange(const std::vector<Chunk>& chunks) {
        std::size_t next = 0;
        line.Responder = [&](const std::string&) {
            if (next >= chunks.size()) return;  // then silence: the time-out ends the wait
            const Chunk& chunk = chunks[next++];
            if (chunk.fails)
                line.readStatus = chunk.failure;
            else
                line.Arrive(chunk.bytes, chunk.delaySeconds);
        };
        protocol.SendCommand("PA", "");
        line.Responder = nullptr;
        Check();
        if (timer1.Enabled()) std::abort();  // every way out stops the reception timer
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t flags = data[0];
    std::vector<Chunk> chunks = DecodeChunks(data + 1, size - 1);

    Bench bench;
    bench.bytesFed = size;
    bench.run.settings.Spno = (flags & 0x01) ? 1 : 0;
    if ((flags & 0x04) && !chunks.empty()) {
        bench.protocol.RxBuffer = chunks.front().bytes;
        chunks.erase(chunks.begin());
    }
    if (flags & 0x02)
        bench.Exchange(chunks);
    else
        bench.Receive(chunks, (flags & 0x08) == 0);
    return 0;
}

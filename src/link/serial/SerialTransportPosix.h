#pragma once
// The transport over a real serial port (or a pseudo-terminal) of a POSIX
// system: opened, set up and read through Qt Serial Port, written straight
// to the descriptor. The link calls block in here (Qt's waiting functions for
// reading), as a call into a device library does; the window's events wait
// meanwhile.

#include <memory>
#include <string>

#include "link/ReaderPace.h"
#include "link/Transport.h"
#include "link/WireClock.h"

class QSerialPort;

namespace mirvok::serial {

class SerialTransportPosix final : public Transport {
public:
    // Opens a device exclusively (another process holding it gives Busy) with
    // the line settings, 1 stop bit and no flow control, and discards what
    // arrived before. A setting the device refuses gives BadSetting, except
    // the framing of a pseudo-terminal, which the kernel fixes.
    // A failure leaves the system's words for it in `*cause` when given.
    static std::unique_ptr<SerialTransportPosix> Open(const std::string& location,
                                                      const LineSettings& settings, TransportStatus& status,
                                                      std::string* cause = nullptr);
    ~SerialTransportPosix() override;

    TransportStatus Write(const std::string& bytes, int timeoutMs) override;
    TransportStatus Read(std::string& out) override;
    TransportStatus WaitForData(int timeoutMs) override;
    std::int64_t NowMs() override;
    static std::int64_t NowUs();
    void Sleep(int ms) override;
    // A pseudo-terminal has no modem lines: they count as on. Lines that cannot
    // be read count as on as well, so that a vanished device shows as a failed
    // write rather than as a device switched off.
    ModemLines Lines() override;
    // The driver's queue, or what the line cannot have carried yet at its
    // rate where that is more. A pseudo-terminal shows no queue: there the
    // line's clock counts while its reader paces itself, and nothing waits
    // once the reader takes the bytes far faster than the line would.
    TransportStatus Unsent(std::size_t& bytes) override;
    void Close() override;

    bool IsPseudoTerminal() const { return pseudoTerminal_; }

private:
    // Longest wait on closing for queued bytes to leave (a few kilobytes at 9600 baud).
    static constexpr int kDrainTimeoutMs = 5000;

    SerialTransportPosix(std::unique_ptr<QSerialPort> port, bool pseudoTerminal,
                         const LineSettings& settings);

    std::unique_ptr<QSerialPort> port_;
    bool pseudoTerminal_ = false;
    std::int64_t lossMark_;
    WireClock wire_;
    ReaderPace reader_;
};

}  // namespace mirvok::serial

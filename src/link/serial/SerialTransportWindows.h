#pragma once
// The transport over a COM port of Windows, through the Win32 comm calls; the
// Windows build's counterpart of SerialTransportPosix. Reads return what the
// driver holds at once; waits poll the driver's queues, so every wait is
// bounded by its deadline. The header leaves windows.h out.
//
// Every Mirvok that opens a port holds the system-wide mutex
// "Global\Mirvok-COMn" while it is open, so a second one is refused (Busy)
// even where the driver lets a port be opened twice (Wine on a Linux device).

#include <memory>
#include <string>

#include "link/Transport.h"
#include "link/WireClock.h"

namespace mirvok::serial {

class SerialTransportWindows final : public Transport {
public:
    // Opens "COMn" exclusively (another process holding it gives Busy) with
    // the line settings, 1 stop bit and no flow control, and discards what
    // arrived before. A setting the driver refuses gives BadSetting, except the
    // framing of a pseudo-terminal that Wine offers as a COM port.
    // A failure leaves the system's words for it in `*cause` when given.
    static std::unique_ptr<SerialTransportWindows> Open(int port, const LineSettings& settings,
                                                        TransportStatus& status,
                                                        std::string* cause = nullptr);
    ~SerialTransportWindows() override;
    SerialTransportWindows(const SerialTransportWindows&) = delete;
    SerialTransportWindows& operator=(const SerialTransportWindows&) = delete;

    TransportStatus Write(const std::string& bytes, int timeoutMs) override;
    TransportStatus Read(std::string& out) override;
    TransportStatus WaitForData(int timeoutMs) override;
    std::int64_t NowMs() override;
    void Sleep(int ms) override;
    // Lines the driver cannot report count as on, as on POSIX: a vanished
    // device then shows as a failed write rather than as one switched off.
    ModemLines Lines() override;
    // The driver's output queue, or what the line cannot have carried yet at
    // its rate where that is more.
    TransportStatus Unsent(std::size_t& bytes) override;
    void Close() override;

private:
    // Longest wait on closing for queued bytes to leave (a few kilobytes at 9600 baud).
    static constexpr int kDrainTimeoutMs = 5000;
    // How often the waits look at the driver's queues.
    static constexpr int kPollEveryMs = 1;

    SerialTransportWindows(void* handle, void* portLock, const LineSettings& settings);
    // Sets the write time-out when it differs from the one set last.
    bool SetWriteTimeout(int timeoutMs);
    // Bytes waiting in the driver's input (first) and output (second) queue;
    // false when the device no longer answers. Notes an input overrun.
    bool Queues(unsigned long& input, unsigned long& output);

    void* handle_;    // the comm handle; INVALID_HANDLE_VALUE once closed
    void* portLock_;  // the port's named mutex, held while the port is open
    int writeTimeoutMs_ = -1;
    bool inputLost_ = false;
    WireClock wire_;
};

}  // namespace mirvok::serial

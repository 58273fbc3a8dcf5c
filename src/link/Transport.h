#pragma once
// The transport contract under the link library: a byte pipe to one device
// with line settings, a write deadline, non-blocking reads, a bounded wait for
// data, and the modem lines. Errors come back as values, never as exceptions.
// Implementations: the serial port of POSIX systems and of Windows, the
// remote port (Telnet with the COM-PORT-OPTION over TCP), and the simulated
// card reader on the virtual clock.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mirvok {

struct LineSettings {
    std::int32_t baud = 9600;
    int dataBits = 8;   // 7 or 8
    char parity = 'N';  // N, O, E, M, S
    int stopBits = 1;   // the link library always uses one stop bit
};

enum class TransportStatus {
    Ok,
    NotFound,      // no such device
    Busy,          // held by another process
    NoPermission,  // e.g. not in the dialout group
    BadSetting,    // the device refuses a line setting
    Timeout,       // nothing written / nothing arrived within the deadline
    Overrun,       // received data was lost
    IoError,       // device gone, read or write failed
};

struct ModemLines {
    bool dsr = true;
    bool cts = true;
};

class Transport {
public:
    virtual ~Transport() = default;

    // Writes all bytes, waiting at most timeoutMs for them to leave.
    virtual TransportStatus Write(const std::string& bytes, int timeoutMs) = 0;

    // Appends whatever has arrived to `out` and returns at once.
    // Ok with nothing appended means nothing has arrived.
    virtual TransportStatus Read(std::string& out) = 0;

    // Waits at most timeoutMs for data to be readable. Ok: data is there;
    // Timeout: none came; IoError: the device is gone.
    virtual TransportStatus WaitForData(int timeoutMs) = 0;

    // Milliseconds on the clock this transport waits on (real or virtual).
    virtual std::int64_t NowMs() = 0;

    // Lets the clock pass without data, e.g. while polling CTS.
    virtual void Sleep(int ms) = 0;

    virtual ModemLines Lines() = 0;

    // Returns at once with the bytes written that have not left this
    // computer yet: those the driver still queues, those a remote server
    // has not acknowledged, and those the line cannot have carried yet at
    // its rate. Ok; IoError once the device is gone. A transport whose
    // writes take their time on the line has none.
    virtual TransportStatus Unsent(std::size_t& bytes) = 0;

    virtual void Close() = 0;
};

struct PortInfo {
    int number = 0;            // the COMn number
    std::string devicePath;    // e.g. /dev/ttyUSB0 (empty for a simulated port)
    std::string description;   // e.g. the USB product text
    std::string serialNumber;  // the USB adapter's serial number, where the system tells it
};

// Opens ports by number; lists those that exist now.
class PortProvider {
public:
    virtual ~PortProvider() = default;
    virtual std::vector<PortInfo> ListPorts() = 0;
    // A failed opening leaves its status and, in `cause`, the words of the
    // system (or of the server) that say why, for the operator: "Permission
    // denied", "connection refused". `cause` is left alone on success.
    virtual std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status,
                                            std::string& cause) = 0;
};

}  // namespace mirvok

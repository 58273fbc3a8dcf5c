#include "SerialTransportWindows.h"

#include <windows.h>

#include <algorithm>

#include "link/ComPortName.h"
#include "link/Link.h"
#include "startup/SystemErrorText.h"
#include "startup/SystemTime.h"
#include "startup/WideText.h"

namespace mirvok::serial {
namespace {

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

HANDLE AsHandle(void* handle) {
    return static_cast<HANDLE>(handle);
}

BYTE WinParity(char parity) {
    switch (parity) {
        case 'O':
            return ODDPARITY;
        case 'E':
            return EVENPARITY;
        case 'M':
            return MARKPARITY;
        case 'S':
            return SPACEPARITY;
        default:
            return NOPARITY;
    }
}

// The line settings on top of what the driver holds: binary, no flow control
// in either direction, DTR and RTS raised as a terminal program raises them.
// With `keepFraming` the data bits, parity and stop bits stay as they are.
bool ApplySettings(HANDLE port, const LineSettings& settings, bool keepFraming) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(settings.baud);
    if (!keepFraming) {
        dcb.ByteSize = static_cast<BYTE>(settings.dataBits == 7 ? 7 : 8);
        dcb.Parity = WinParity(settings.parity);
        dcb.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    }
    dcb.fBinary = TRUE;
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    // Unused without XON/XOFF, but SetCommState refuses equal characters, and
    // what the driver held may have them equal (Wine gives both as 0 at first).
    dcb.XonChar = kXon;
    dcb.XoffChar = kXoff;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    return SetCommState(port, &dcb) != 0;
}

// A device without modem lines is a pseudo-terminal behind Wine's COM port:
// real serial drivers report the lines. Its framing is fixed by the host's
// kernel, which refuses to change it, as the Qt transport knows on POSIX.
bool HasModemLines(HANDLE port) {
    DWORD status = 0;
    return GetCommModemStatus(port, &status) != 0;
}

// The settings as asked; for a pseudo-terminal the rate alone when its
// framing is refused.
bool ApplyLineSettings(HANDLE port, const LineSettings& settings) {
    if (ApplySettings(port, settings, false)) return true;
    return !HasModemLines(port) && ApplySettings(port, settings, true);
}

// Reads return at once with what has arrived; a write gives up after
// writeMs (0: never, until the transport sets one before its first write).
bool SetTimeouts(HANDLE port, DWORD writeMs) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = writeMs;
    return SetCommTimeouts(port, &timeouts) != 0;
}

TransportStatus OpenFailure(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return TransportStatus::NotFound;
        // Windows reports a port held by another program as access denied.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return TransportStatus::Busy;
        default:
            return TransportStatus::IoError;
    }
}

// The port's mutex, owned by the caller; nullptr when another Mirvok holds
// it. A mutex whose holder ended without letting go is taken over.
HANDLE TakePortLock(int port) {
    const std::wstring name = L"Global\\Mirvok-" + Wide(ComPortName(port));
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) return nullptr;  // held under another account, which we may not open
    const DWORD taken = WaitForSingleObject(mutex, 0);
    if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) return mutex;
    CloseHandle(mutex);
    return nullptr;
}

void ReleasePortLock(HANDLE mutex) {
    if (!mutex) return;
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

}  // namespace

std::unique_ptr<SerialTransportWindows> SerialTransportWindows::Open(int port, const LineSettings& settings,
                                                                     TransportStatus& status,
                                                                     std::string* cause) {
    std::string ignored;
    std::string& words = cause ? *cause : ignored;
    if (port < 1 || port > Link::kMaxPort) {
        status = TransportStatus::NotFound;
        words = "no such port number";
        return nullptr;
    }
    // The device namespace reaches COM10 and above, which the plain name does not.
    const HANDLE portLock = TakePortLock(port);
    if (!portLock) {
        status = TransportStatus::Busy;
        words = "another Mirvok holds the port";
        return nullptr;
    }
    const std::wstring name = L"\\\\.\\" + Wide(ComPortName(port));
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        status = OpenFailure(error);
        words = SystemErrorText(error);
        ReleasePortLock(portLock);
        return nullptr;
    }
    if (!ApplyLineSettings(handle, settings) || !SetTimeouts(handle, 0)) {
        words = SystemErrorText(GetLastError());
        CloseHandle(handle);
        ReleasePortLock(portLock);
        status = TransportStatus::BadSetting;
        return nullptr;
    }
    PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR);
    DWORD errors = 0;
    ClearCommError(handle, &errors, nullptr);  // what went wrong before is no loss of ours
    status = TransportStatus::Ok;
    return std::unique_ptr<SerialTransportWindows>(new SerialTransportWindows(handle, portLock, settings));
}

SerialTransportWindows::SerialTransportWindows(void* handle, void* portLock, const LineSettings& settings)
    : handle_(handle), portLock_(portLock), wire_(settings) {}

SerialTransportWindows::~SerialTransportWindows() {
    Close();
}

bool SerialTransportWindows::SetWriteTimeout(int timeoutMs) {
    const int wanted = std::max(1, timeoutMs);  // 0 would mean no time-out at all
    if (wanted == writeTimeoutMs_) return true;
    if (!SetTimeouts(AsHandle(handle_), static_cast<DWORD>(wanted))) return false;
    writeTimeoutMs_ = wanted;
    return true;
}

bool SerialTransportWindows::Queues(unsigned long& input, unsigned long& output) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(AsHandle(handle_), &errors, &status)) return false;
    if (errors & (CE_OVERRUN | CE_RXOVER)) inputLost_ = true;
    input = status.cbInQue;
    output = status.cbOutQue;
    return true;
}

TransportStatus SerialTransportWindows::Write(const std::string& bytes, int timeoutMs) {
    if (handle_ == INVALID_HANDLE_VALUE) return TransportStatus::IoError;
    if (bytes.empty()) return TransportStatus::Ok;
    if (!SetWriteTimeout(timeoutMs)) return TransportStatus::IoError;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(AsHandle(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (ok && written == bytes.size()) {
        wire_.Wrote(MonotonicMicroseconds(), bytes.size());
        return TransportStatus::Ok;
    }
    // What was not sent must not go out later, in the middle of another message.
    PurgeComm(AsHandle(handle_), PURGE_TXABORT | PURGE_TXCLEAR);
    return ok ? TransportStatus::Timeout : TransportStatus::IoError;
}

TransportStatus SerialTransportWindows::Read(std::string& out) {
    if (handle_ == INVALID_HANDLE_VALUE) return TransportStatus::IoError;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(AsHandle(handle_), buffer, sizeof buffer, &got, nullptr))
            return TransportStatus::IoError;
        out.append(buffer, got);
        if (got < sizeof buffer) break;
    }
    unsigned long input = 0, output = 0;
    if (!Queues(input, output)) return TransportStatus::IoError;
    if (inputLost_) {
        inputLost_ = false;
        return TransportStatus::Overrun;
    }
    return TransportStatus::Ok;
}

TransportStatus SerialTransportWindows::WaitForData(int timeoutMs) {
    if (handle_ == INVALID_HANDLE_VALUE) return TransportStatus::IoError;
    const std::int64_t deadline = NowMs() + std::max(0, timeoutMs);
    for (;;) {
        unsigned long input = 0, output = 0;
        if (!Queues(input, output)) return TransportStatus::IoError;
        if (input > 0) return TransportStatus::Ok;
        if (NowMs() >= deadline) return TransportStatus::Timeout;
        Sleep(kPollEveryMs);
    }
}

TransportStatus SerialTransportWindows::Unsent(std::size_t& bytes) {
    bytes = 0;
    unsigned long input = 0, output = 0;
    if (handle_ == INVALID_HANDLE_VALUE || !Queues(input, output)) return TransportStatus::IoError;
    bytes = std::max<std::size_t>(output, wire_.Unsent(MonotonicMicroseconds()));
    return TransportStatus::Ok;
}

std::int64_t SerialTransportWindows::NowMs() {
    return MonotonicMicroseconds() / 1000;
}

void SerialTransportWindows::Sleep(int ms) {
    SleepMicroseconds(std::int64_t{std::max(0, ms)} * 1000);
}

ModemLines SerialTransportWindows::Lines() {
    DWORD status = 0;
    if (handle_ == INVALID_HANDLE_VALUE || !GetCommModemStatus(AsHandle(handle_), &status))
        return ModemLines{};
    return ModemLines{(status & MS_DSR_ON) != 0, (status & MS_CTS_ON) != 0};
}

// Bytes still queued are given time to leave before the handle goes: the next
// opening may change the line settings under them.
void SerialTransportWindows::Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    const std::int64_t deadline = NowMs() + kDrainTimeoutMs;
    unsigned long input = 0, output = 0;
    while (Queues(input, output) && output > 0 && NowMs() < deadline) Sleep(kPollEveryMs);
    CloseHandle(AsHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
    ReleasePortLock(static_cast<HANDLE>(portLock_));
    portLock_ = nullptr;
}

}  // namespace mirvok::serial

#ifdef _WIN32
// On Windows a port number is the system's COM number: no map is kept.
#include <QSerialPortInfo>
#include <windows.h>

#include "SystemPorts.h"

namespace mirvok::serial {
namespace {

// 3 for "COM3"; 0 for a name that is no COM port.
int ComNumber(const QString& name) {
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) return 0;
    bool ok = false;
    const int number = name.mid(3).toInt(&ok);
    return ok ? number : 0;
}

}  // namespace

std::vector<PortInfo> ListSystemPorts(PortNumbering&) {
    std::vector<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const int number = ComNumber(info.portName());
        if (number > 0)
            ports.push_back(PortInfo{number, info.portName().toStdString(),
                                     info.description().toStdString()});
    }
    return ports;
}

std::string SystemPortLocation(int port, PortNumbering&) {
    return "COM" + std::to_string(port);
}

bool IsPseudoTerminal(qintptr) { return false; }

bool InputLostSince(qintptr handle, std::int64_t& mark) {
    DWORD errors = 0;
    if (!ClearCommError(reinterpret_cast<HANDLE>(handle), &errors, nullptr)) return false;
    const bool lost = mark != kNoLossMark && (errors & (CE_OVERRUN | CE_RXOVER)) != 0;
    mark = 0;
    return lost;
}

void DrainOutput(qintptr handle, int) { FlushFileBuffers(reinterpret_cast<HANDLE>(handle)); }

bool LacksAccess(const std::string&) { return false; }

}  // namespace mirvok::serial
#endif

#include "SerialTransportPosix.h"

#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>
#include <chrono>
#include <thread>

#include "TerminalDevicePosix.h"
#include "link/Link.h"

namespace mirvok::serial {
namespace {

QSerialPort::Parity QtParity(char parity) {
    switch (parity) {
        case 'O':
            return QSerialPort::OddParity;
        case 'E':
            return QSerialPort::EvenParity;
        case 'M':
            return QSerialPort::MarkParity;
        case 'S':
            return QSerialPort::SpaceParity;
        default:
            return QSerialPort::NoParity;
    }
}

QSerialPort::DataBits QtDataBits(int dataBits) {
    return dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8;
}

QSerialPort::StopBits QtStopBits(int stopBits) {
    return stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

// Links are followed so that the exclusive lock is taken on the device itself,
// whichever of its names (by-id link, ttyUSB path) the port map holds.
QString DeviceName(const std::string& location) {
    const QString name = QString::fromStdString(location);
    const QFileInfo info(name);
    return info.isSymLink() ? info.canonicalFilePath() : name;
}

TransportStatus OpenFailure(const QSerialPort& port, const std::string& location) {
    switch (port.error()) {
        case QSerialPort::DeviceNotFoundError:
            return TransportStatus::NotFound;
        case QSerialPort::PermissionError:
            return LacksAccess(location) ? TransportStatus::NoPermission : TransportStatus::Busy;
        case QSerialPort::OpenError:
            return TransportStatus::Busy;  // already open in this process
        default:
            return TransportStatus::IoError;
    }
}

// Applies the line settings; the framing of a pseudo-terminal may be refused.
bool ApplySettings(QSerialPort& port, const LineSettings& settings, bool pseudoTerminal) {
    if (!port.setBaudRate(settings.baud)) return false;
    const bool framing =
        port.setDataBits(QtDataBits(settings.dataBits)) && port.setParity(QtParity(settings.parity)) &&
        port.setStopBits(QtStopBits(settings.stopBits)) && port.setFlowControl(QSerialPort::NoFlowControl);
    return framing || pseudoTerminal;
}

}  // namespace

std::unique_ptr<SerialTransportPosix> SerialTransportPosix::Open(const std::string& location,
                                                                 const LineSettings& settings,
                                                                 TransportStatus& status,
                                                                 std::string* cause) {
    if (location.empty()) {
        status = TransportStatus::NotFound;
        return nullptr;
    }
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(DeviceName(location));
    if (!port->open(QIODevice::ReadWrite)) {
        status = OpenFailure(*port, location);
        // Qt's text of a failed open is strerror's for the errno it met.
        if (cause) *cause = port->errorString().toStdString();
        return nullptr;
    }
    const bool pseudoTerminal = serial::IsPseudoTerminal(port->handle());
    if (!ApplySettings(*port, settings, pseudoTerminal)) {
        if (cause) *cause = port->errorString().toStdString();
        port->close();
        status = TransportStatus::BadSetting;
        return nullptr;
    }
    // A device that floods the line fills the driver's buffer, not our memory.
    port->setReadBufferSize(Link::kMaxHeldBytes);
    port->clear(QSerialPort::Input);
    port->clearError();
    status = TransportStatus::Ok;
    return std::unique_ptr<SerialTransportPosix>(
        new SerialTransportPosix(std::move(port), pseudoTerminal, settings));
}

SerialTransportPosix::SerialTransportPosix(std::unique_ptr<QSerialPort> port, bool pseudoTerminal,
                                           const LineSettings& settings)
    : port_(std::move(port)),
      pseudoTerminal_(pseudoTerminal),
      lossMark_(kNoLossMark),
      wire_(settings),
      reader_(wire_.CharacterUs()) {
    InputLostSince(port_->handle(), lossMark_);
}

SerialTransportPosix::~SerialTransportPosix() {
    Close();
}

TransportStatus SerialTransportPosix::Write(const std::string& bytes, int timeoutMs) {
    if (!port_->isOpen()) return TransportStatus::IoError;
    // Past Qt's write buffer, which would cost a poll and a signal per line.
    std::int64_t waitedUs = 0;
    const TransportStatus written =
        WriteToDevice(port_->handle(), bytes.data(), bytes.size(), timeoutMs, &waitedUs);
    if (written == TransportStatus::Ok) {
        const std::int64_t now = NowUs();
        wire_.Wrote(now, bytes.size());
        if (pseudoTerminal_) reader_.Wrote(now, bytes.size(), waitedUs);
    }
    return written;
}

TransportStatus SerialTransportPosix::Unsent(std::size_t& bytes) {
    bytes = 0;
    if (!port_->isOpen()) return TransportStatus::IoError;
    if (!OutputQueued(port_->handle(), bytes)) return TransportStatus::IoError;
    if (!pseudoTerminal_ || !reader_.KeepsUp()) bytes = std::max(bytes, wire_.Unsent(NowUs()));
    return TransportStatus::Ok;
}

TransportStatus SerialTransportPosix::Read(std::string& out) {
    if (!port_->isOpen()) return TransportStatus::IoError;
    port_->clearError();
    // Takes what the driver holds into Qt's buffer without waiting.
    port_->waitForReadyRead(0);
    const QSerialPort::SerialPortError error = port_->error();
    port_->clearError();
    const QByteArray data = port_->readAll();
    out.append(data.constData(), static_cast<std::size_t>(data.size()));
    if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) return TransportStatus::IoError;
    if (InputLostSince(port_->handle(), lossMark_)) return TransportStatus::Overrun;
    return TransportStatus::Ok;
}

TransportStatus SerialTransportPosix::WaitForData(int timeoutMs) {
    if (!port_->isOpen()) return TransportStatus::IoError;
    if (port_->bytesAvailable() > 0) return TransportStatus::Ok;
    port_->clearError();
    const bool ready = port_->waitForReadyRead(std::max(0, timeoutMs));
    const QSerialPort::SerialPortError error = port_->error();
    port_->clearError();
    if (ready) return TransportStatus::Ok;
    return error == QSerialPort::NoError || error == QSerialPort::TimeoutError ? TransportStatus::Timeout
                                                                               : TransportStatus::IoError;
}

std::int64_t SerialTransportPosix::NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t SerialTransportPosix::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SerialTransportPosix::Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(0, ms)));
}

ModemLines SerialTransportPosix::Lines() {
    if (pseudoTerminal_ || !port_->isOpen()) return ModemLines{};
    port_->clearError();
    const QSerialPort::PinoutSignals pins = port_->pinoutSignals();
    const bool unreadable = port_->error() != QSerialPort::NoError;
    port_->clearError();
    if (unreadable) return ModemLines{};
    return ModemLines{pins.testFlag(QSerialPort::DataSetReadySignal),
                      pins.testFlag(QSerialPort::ClearToSendSignal)};
}

void SerialTransportPosix::Close() {
    if (!port_ || !port_->isOpen()) return;
    DrainOutput(port_->handle(), kDrainTimeoutMs);
    port_->close();
}

}  // namespace mirvok::serial

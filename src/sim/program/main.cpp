// mirvok-sim: the simulated card reader on a pseudo-terminal, for the real
// program, the demo and end-to-end tests. The device model runs on a clock
// that follows real time; bytes are taken in and sent out at the line rate,
// so a transfer lasts as long as on a wire.

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "ComPortServer.h"
#include "ProgramVersion.h"
#include "PseudoTerminal.h"
#include "sim/DeviceConsole.h"
#include "sim/DeviceModel.h"
#include "sim/DownloadModes.h"
#include "sim/LineFormat.h"
#include "sim/Transcript.h"

namespace mirvok::sim {
namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

struct Options {
    std::string linkPath;
    std::string transcriptPath;
    bool pacing = true;
    bool coverOpen = false;
    int comPortServerPort = 0;  // --rfc2217; 0: none
    std::vector<std::pair<std::string, std::string>> settings;
};

std::string Usage() {
    return R"(Usage: mirvok-sim [options]

Offers a simulated card reader/writer on a pseudo-terminal. The first line
printed on standard output is the terminal's path (e.g. /dev/pts/3); open it
as the serial port. Commands typed on standard input change the device while
it runs (see below); end with "quit", Ctrl-D leaves it running, Ctrl-C ends it.

Options:
  --link PATH          keep a symbolic link PATH to the terminal (removed while
                       the cable is pulled, renewed when it is plugged in again)
  --transcript FILE    write every byte in both directions to FILE, in
                       hexadecimal and readable, with the time in seconds
  --no-pacing          take and send bytes at once instead of at the line rate
  --cover open|closed  the cover at start (closed)
  --set NAME=VALUE     a setting at start, as the console's "set NAME VALUE"
  --rfc2217 PORT       also serve the device as a remote serial port (Telnet
                       COM-PORT-OPTION, RFC 2217) on 127.0.0.1:PORT, one client
                       at a time; while one is connected, the terminal is not
                       served. Line settings come from the client, DSR and CTS
                       (power, "set cts") are reported to it, and a pulled
                       cable drops the connection
  --help               this text
  --version            the program's version

The baud rate that the program sets is read from the terminal; a
pseudo-terminal carries no data bits, parity or modem lines, so any framing is
accepted and DSR and CTS are always on for the program. In download mode at
the mode's baud rate, each character takes the time of the mode's framing
(9 bits for N,7,1; 10 for E,7,1 and N,8,1); otherwise 10 bits.

)" + ConsoleHelp() +
           "\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (arg == "--link") {
            if (!value(options.linkPath)) return false;
        } else if (arg == "--transcript") {
            if (!value(options.transcriptPath)) return false;
        } else if (arg == "--no-pacing") {
            options.pacing = false;
        } else if (arg == "--rfc2217") {
            std::string port;
            if (!value(port)) return false;
            char* end = nullptr;
            const long number = std::strtol(port.c_str(), &end, 10);
            if (port.empty() || *end != '\0' || number < 1 || number > 65535) {
                error = "--rfc2217 takes a TCP port number (1-65535)";
                return false;
            }
            options.comPortServerPort = static_cast<int>(number);
        } else if (arg == "--cover") {
            std::string state;
            if (!value(state)) return false;
            if (state != "open" && state != "closed") {
                error = "--cover open|closed";
                return false;
            }
            options.coverOpen = state == "open";
        } else if (arg == "--set") {
            std::string assignment;
            if (!value(assignment)) return false;
            const auto equals = assignment.find('=');
            if (equals == std::string::npos) {
                error = "--set NAME=VALUE";
                return false;
            }
            options.settings.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

std::int64_t RealNowUs() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

bool SameSettings(const LineSettings& a, const LineSettings& b) {
    return SameLine(a, b, true) && a.stopBits == b.stopBits;
}

class Simulator {
public:
    explicit Simulator(const Options& options) : options_(options), device_(clock_) {}

    int Run() {
        if (!Prepare()) return 1;
        while (!g_stop && !quit_) {
            clock_.AdvanceToUs(RealNowUs());
            ServeWire();
            WaitForWork();
            ServeConsole();
            if (clock_.NowUs() - lastLogUs_ > kLogJoinUs) FlushLog();
        }
        FlushLog();
        pty_.RemoveLink();
        return 0;
    }

private:
    // Bytes read from the terminal at a time; with pacing, the next read
    // waits until the device has taken these in.
    static constexpr std::size_t kChunkBytes = 64;
    // Without pacing, nothing waits between reads: the program's bytes are
    // taken as fast as the terminal hands them over, so that the simulator
    // is not what limits a sender measured against it.
    static constexpr std::size_t kUnpacedChunkBytes = 64 * 1024;
    static constexpr std::int64_t kMaxIdleWaitUs = 50'000;
    // How late the wait for the next chunk may end for the bytes then read to
    // count as following the previous chunk without a gap.
    static constexpr std::int64_t kContinuingUs = 1'000;
    static constexpr std::int64_t kLogJoinUs = 20'000;

    std::size_t ChunkBytes() const { return device_.Config().linePacing ? kChunkBytes : kUnpacedChunkBytes; }

    bool Prepare() {
        interactive_ = isatty(STDIN_FILENO);
        for (const auto& [name, value] : options_.settings) {
            const ConsoleReply reply = SetDeviceValue(device_, name, value);
            if (!reply.ok) {
                std::cerr << "mirvok-sim: " << reply.text << "\n";
                return false;
            }
        }
        device_.Config().linePacing = options_.pacing;
        device_.Restart();  // so a start in download mode takes effect
        device_.SetCoverOpen(options_.coverOpen);
        if (!options_.transcriptPath.empty()) {
            transcript_.open(options_.transcriptPath, std::ios::out | std::ios::trunc);
            if (!transcript_) {
                std::cerr << "mirvok-sim: cannot write " << options_.transcriptPath << "\n";
                return false;
            }
        }
        if (!OpenTerminal()) return false;
        if (options_.comPortServerPort != 0) {
            std::string error;
            if (!server_.Listen(static_cast<std::uint16_t>(options_.comPortServerPort), error)) {
                std::cerr << "mirvok-sim: " << error << "\n";
                return false;
            }
            Note("serving rfc2217://127.0.0.1:" + std::to_string(options_.comPortServerPort));
        }
        std::cout << pty_.SlavePath() << std::endl;
        if (!options_.linkPath.empty()) std::cerr << "mirvok-sim: link " << options_.linkPath << "\n";
        Prompt();
        return true;
    }

    bool OpenTerminal() {
        if (!pty_.Open()) {
            std::cerr << "mirvok-sim: " << pty_.Error() << "\n";
            return false;
        }
        if (!options_.linkPath.empty() && !pty_.LinkTo(options_.linkPath))
            std::cerr << "mirvok-sim: " << pty_.Error() << "\n";
        line_ = pty_.CurrentSettings();
        if (device_.Attached()) device_.Detach();
        device_.Attach(line_, false);
        consumedUntilUs_ = clock_.NowUs();
        waitingAfterRead_ = false;
        Note("terminal " + pty_.SlavePath() + " at " + LineSettingsText(line_));
        return true;
    }

    void ServeWire() {
        server_.ReportLines(device_.Lines());
        if (server_.ListenFd() >= 0 && !device_.CablePulled() && server_.AcceptWaiting()) {
            remoteLine_ = line_;
            Note("remote client connected");
        }
        if (server_.Connected())
            ServeRemote();
        else
            ServeTerminal();
    }

    void ServeRemote() {
        const std::int64_t now = clock_.NowUs();
        if (now >= consumedUntilUs_) TakeRemoteInput(now);
        if (!server_.Connected()) return;
        const std::string out = device_.TakeOutput(now);
        if (!out.empty()) {
            Log(Direction::ToHost, out);
            if (!server_.Send(out)) Note("remote client gone while replying");
        }
        server_.ReportLines(device_.Lines());
        if (device_.CablePulled()) {
            server_.Drop();
            Note("cable pulled: the connection drops");
        }
    }

    void TakeRemoteInput(std::int64_t now) {
        const ComPortServer::Input input = server_.Read(ChunkBytes(), remoteLine_);
        if (input.lineChanged && !SameSettings(remoteLine_, line_)) {
            line_ = remoteLine_;
            device_.ChangeLineSettings(line_, true);
            Note("line settings " + LineSettingsText(line_) + " from the remote client");
        }
        if (!input.data.empty()) {
            Log(Direction::FromHost, input.data);
            const bool continuing = waitingAfterRead_ || now - consumedUntilUs_ <= kContinuingUs;
            consumedUntilUs_ = device_.Receive(input.data, continuing ? consumedUntilUs_ : now).doneUs;
        }
        waitingAfterRead_ = input.moreWaiting;
        if (input.closed) {
            server_.Drop();
            Note("remote client gone");
        }
    }

    void ServeTerminal() {
        const std::int64_t now = clock_.NowUs();
        if (!pty_.IsOpen()) {
            if (!device_.CablePulled() && OpenTerminal()) {
                std::cout << pty_.SlavePath() << std::endl;
                Note("cable plugged in again");
            }
            return;
        }
        // Bytes read have brought the line settings up to date already.
        if (!(now >= consumedUntilUs_ && TakeInput(now))) FollowLineSettings();
        const std::string out = device_.TakeOutput(now);
        if (!out.empty()) {
            Log(Direction::ToHost, out);
            if (!pty_.Write(out)) Note("the program is not reading; reply bytes lost");
        }
        if (device_.CablePulled()) {
            pty_.Close();
            Note("cable pulled: the terminal hangs up");
        }
    }

    void FollowLineSettings() {
        const LineSettings now = pty_.CurrentSettings();
        if (SameSettings(now, line_)) return;
        if (HoldingDownloadLine()) return;
        line_ = now;
        device_.ChangeLineSettings(line_, false);
        Note("line settings " + std::to_string(line_.baud) + " baud");
    }

    // A program closes the port right after its last byte, and closing
    // restores the old line settings at once, usually before this side has
    // read the bytes still on their way (pacing holds them back too). A
    // pseudo-terminal cannot tell when a byte was written, so once a download
    // runs at its mode's rate, a later change is taken as the port closing:
    // the rest of the download keeps the rate it was sent at.
    bool HoldingDownloadLine() const {
        if (!device_.InDownloadMode()) return false;
        const auto expected = DownloadModeLine(device_.DownloadMode());
        return expected && SameLine(line_, *expected, false);
    }

    // True when bytes came in.
    bool TakeInput(std::int64_t now) {
        // Counted before the read: what the program writes after it cannot
        // have been waiting. Only pacing asks: without it no byte waits.
        const std::size_t waiting = device_.Config().linePacing ? pty_.Waiting() : 0;
        const std::optional<std::string> data = pty_.Read(ChunkBytes());
        if (!data) {
            Note(std::string("read failed: ") + std::strerror(errno));
            return false;
        }
        if (data->empty()) {
            waitingAfterRead_ = false;
            return false;
        }
        // The program sets the line before it writes, so settings read after
        // the bytes are the ones they were sent with.
        FollowLineSettings();
        Log(Direction::FromHost, *data);
        // Bytes that were already waiting when the last ones were read have
        // followed them on the wire without a gap: they start where those
        // ended, so that a late wake-up does not slow the line down. Bytes
        // written since then start now at the earliest.
        const bool continuing = waitingAfterRead_ || now - consumedUntilUs_ <= kContinuingUs;
        const auto result = device_.Receive(*data, continuing ? consumedUntilUs_ : now);
        consumedUntilUs_ = result.doneUs;
        waitingAfterRead_ = waiting > data->size();
        return true;
    }

    void WaitForWork() {
        const std::int64_t now = clock_.NowUs();
        std::int64_t waitUs = kMaxIdleWaitUs;
        if (const auto next = device_.NextActivityUs())
            waitUs = std::min(waitUs, std::max<std::int64_t>(0, *next - now));
        std::vector<pollfd> fds;
        // While a remote client is connected, it is the wire.
        const int wire = server_.Connected() ? server_.ClientFd() : pty_.IsOpen() ? pty_.MasterFd() : -1;
        const bool mayRead = wire >= 0 && now >= consumedUntilUs_;
        if (wire >= 0 && !mayRead) waitUs = std::min(waitUs, consumedUntilUs_ - now);
        if (mayRead) fds.push_back(pollfd{wire, POLLIN, 0});
        if (server_.ListenFd() >= 0 && !device_.CablePulled())
            fds.push_back(pollfd{server_.ListenFd(), POLLIN, 0});
        if (stdinOpen_) fds.push_back(pollfd{STDIN_FILENO, POLLIN, 0});
        const timespec timeout{static_cast<time_t>(waitUs / 1'000'000),
                               static_cast<long>(waitUs % 1'000'000) * 1000};
        consoleReady_ =
            ::ppoll(fds.data(), fds.size(), &timeout, nullptr) > 0 && stdinOpen_ && fds.back().revents != 0;
    }

    void ServeConsole() {
        if (!stdinOpen_ || !consoleReady_) return;
        consoleReady_ = false;
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            stdinOpen_ = false;  // no console any more; the device goes on
            return;
        }
        console_.append(buffer, static_cast<std::size_t>(n));
        for (auto end = console_.find('\n'); end != std::string::npos; end = console_.find('\n')) {
            const std::string line = console_.substr(0, end);
            console_.erase(0, end + 1);
            clock_.AdvanceToUs(RealNowUs());
            const ConsoleReply reply = RunConsoleCommand(device_, line);
            if (!line.empty()) Note("console: " + line);
            if (!reply.text.empty()) std::cout << reply.text << "\n";
            quit_ = quit_ || reply.quit;
            Prompt();
        }
    }

    void Prompt() {
        if (interactive_ && !quit_)
            std::cout << "> " << std::flush;
        else
            std::cout << std::flush;
    }

    // Bytes that follow each other closely in one direction make one entry,
    // so a paced reply does not spread over a line per character.
    void Log(Direction direction, const std::string& bytes) {
        if (!transcript_) return;
        const std::int64_t now = clock_.NowUs();
        if (!pendingLog_.empty() && (direction != pendingDirection_ || now - lastLogUs_ > kLogJoinUs))
            FlushLog();
        if (pendingLog_.empty()) {
            pendingDirection_ = direction;
            pendingStartUs_ = now;
        }
        pendingLog_ += bytes;
        lastLogUs_ = now;
    }

    void FlushLog() {
        if (!transcript_ || pendingLog_.empty()) return;
        transcript_ << TranscriptLines(pendingStartUs_ / 1e6, pendingDirection_, pendingLog_) << std::flush;
        pendingLog_.clear();
    }

    void Note(const std::string& text) {
        FlushLog();
        if (transcript_) {
            char time[24];
            std::snprintf(time, sizeof time, "%12.6f", clock_.NowUs() / 1e6);
            transcript_ << time << " # " << text << "\n" << std::flush;
        }
        if (!interactive_) std::cerr << "mirvok-sim: " << text << "\n";
    }

    const Options& options_;
    VirtualClock clock_;
    DeviceModel device_;
    PseudoTerminal pty_;
    ComPortServer server_;
    LineSettings line_;
    LineSettings remoteLine_;  // as the remote client set it
    std::int64_t consumedUntilUs_ = 0;
    bool waitingAfterRead_ = false;  // bytes were left in the terminal by the last read
    std::ofstream transcript_;
    std::string console_;
    std::string pendingLog_;
    Direction pendingDirection_ = Direction::FromHost;
    std::int64_t pendingStartUs_ = 0;
    std::int64_t lastLogUs_ = 0;
    bool stdinOpen_ = true;
    bool consoleReady_ = false;  // the last wait saw the console readable (or closed)
    bool interactive_ = false;
    bool quit_ = false;
};

}  // namespace
}  // namespace mirvok::sim

int main(int argc, char** argv) {
    using namespace mirvok::sim;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << Usage();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "mirvok-sim " << mirvok::kVersionText << "\n";
            return 0;
        }
    }
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::cerr << "mirvok-sim: " << error << "\n(see mirvok-sim --help)\n";
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    return Simulator(options).Run();
}

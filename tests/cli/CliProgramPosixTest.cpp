// The mirvok-cli program itself: a download through the real serial
// transport to mirvok-sim on a pseudo-terminal mapped by hand in a temporary
// settings file, Ctrl-C as a real signal, and the exit codes of check, help
// and a bad command line.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "JsonReader.h"
#include "station/ExitCode.h"
#include "support/MirvokSimProcess.h"
#include "support/SRecordMaker.h"
#include "support/TempDir.h"

namespace mirvok::cli::test {
namespace {

using mirvok::test::TempDir;

// The test programs are built into <build>/tests, the programs under <build>/src.
std::string BuildProgram(const std::string& relative) {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / relative).string();
}
std::string CliProgram() {
    return BuildProgram("src/cli/program/mirvok-cli");
}

struct ProgramRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs the program with its output in files; `whileRunning` gets its pid.
ProgramRun RunProgram(const std::vector<std::string>& args, const TempDir& dir,
                      const std::function<void(pid_t)>& whileRunning = {}) {
    const std::string outPath = dir.File("stdout"), errPath = dir.File("stderr");
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        dup2(in, STDIN_FILENO);
        setsid();  // no controlling terminal: nobody to ask
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (whileRunning) whileRunning(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = TempDir::Read(outPath);
    run.err = TempDir::Read(errPath);
    return run;
}

// One 64 KiB block, so the transfer makes no block pause.
std::string OneBlockFile() {
    using namespace mirvok::test;
    return JoinLines({S0(), S2(0x000100), S2(0x000110), S2(0x000120), S8()});
}

struct ProgramBench {
    ProgramBench() {
        std::ofstream(dir.File("Mirvok.ini")) << "[Ports]\r\nCOM7=" << sim.TerminalPath() << "\r\n";
        rom = dir.Write("fw.s28", OneBlockFile());
    }
    std::vector<std::string> Cli(std::vector<std::string> args) const {
        args.insert(args.begin(), CliProgram());
        args.push_back("--ini");
        args.push_back(dir.File("Mirvok.ini"));
        return args;
    }
    TempDir dir;
    mirvok::test::MirvokSimProcess sim{{"--no-pacing"}};
    std::string rom;
};

TEST(CliProgram, DownloadsToMirvokSimThroughAPseudoTerminal) {
    ASSERT_TRUE(std::filesystem::exists(CliProgram())) << CliProgram();
    ProgramBench b;
    ASSERT_FALSE(b.sim.TerminalPath().empty()) << "mirvok-sim printed no terminal path";

    const ProgramRun run =
        RunProgram(b.Cli({"download", b.rom, "--port", "7", "--terminal", "--mode", "8", "--wait", "0",
                          "--json", "--transcript", b.dir.File("wire.log")}),
                   b.dir);
    ASSERT_EQ(run.exitCode, kExitOk) << run.err << run.out;
    const std::string last = run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1);
    const auto result = JsonReader::Object(last.substr(0, last.size() - 1));
    ASSERT_TRUE(result) << last;
    EXPECT_EQ(result->at("exit_code"), "0");
    EXPECT_NE(result->at("detail").find("\"transfer_result\":2000"), std::string::npos) << last;

    const std::string wire = TempDir::Read(b.dir.File("wire.log"));
    EXPECT_NE(wire.find("host>dev"), std::string::npos);
    EXPECT_NE(wire.find("dev>host"), std::string::npos);
    EXPECT_NE(wire.find("<EOT><STX>*+.:8<ETX>"), std::string::npos) << wire;
    EXPECT_NE(wire.find("open COM7 at 115200,N,7,1"), std::string::npos) << wire;

    const std::string status = b.sim.StatusShowing("1 completed");
    EXPECT_NE(status.find("download 5 lines, 0 bad, 1 completed"), std::string::npos) << status;
}

TEST(CliProgram, AFileGrownWhileItIsSentEndsAsChangedWithoutTheEndOfFileByte) {
    using namespace mirvok::test;
    ProgramBench b;
    const std::string rom =
        b.dir.Write("grows.s28", JoinLines({S2(0x000100), S2(0x000110), S2(0x010000), S2(0x010010), S8()}));
    const std::string wire = b.dir.File("wire.log");
    const ProgramRun run = RunProgram(b.Cli({"download", rom, "--port", "7", "--terminal", "--mode", "8",
                                             "--wait", "0", "--json", "--transcript", wire}),
                                      b.dir, [&](pid_t) {
                                          // The first line of the second block is followed by a 2-second
                                          // pause; the file grows by a line during it.
                                          b.sim.StatusShowing("download 3 lines", 20000);
                                          std::ofstream(rom, std::ios::app) << S2(0x010020) << "\r\n";
                                      });
    EXPECT_EQ(run.exitCode, kExitFileChanged) << run.err << run.out;
    EXPECT_NE(run.out.find("\"transfer_result\":2012"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("the file changed while it was being sent"), std::string::npos) << run.out;
    const std::string status = b.sim.Console("status", "completed");
    EXPECT_NE(status.find("0 completed"), std::string::npos) << status;
}

TEST(CliProgram, ADeviceBusyForeverEndsTheDswReadAtTheAnswerDeadline) {
    ProgramBench b;
    b.sim.Console("set busy 2000000000", "ok");
    const auto start = std::chrono::steady_clock::now();
    const ProgramRun run = RunProgram(b.Cli({"dsw", "--port", "7"}), b.dir);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.exitCode, kExitNoLink) << run.err << run.out;
    EXPECT_NE(run.err.find("受信タイムアウトが発生しました。"), std::string::npos) << run.err;
    EXPECT_LT(seconds, 45.0);
}

TEST(CliProgram, CtrlCDuringTheStartWaitEndsWithTheInterruptedCode) {
    ProgramBench b;
    const ProgramRun run = RunProgram(
        b.Cli({"download", b.rom, "--port", "7", "--terminal", "--mode", "8", "--wait", "0", "--yes"}), b.dir,
        [](pid_t pid) {
            // The device has been switched by then; the 3-second wait runs.
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            kill(pid, SIGINT);
        });
    EXPECT_EQ(run.exitCode, kExitInterrupted) << run.err << run.out;
    EXPECT_NE(run.err.find("終了しますか？"), std::string::npos) << run.err;
    const std::string status = b.sim.Console("status", "completed");
    EXPECT_NE(status.find("0 completed"), std::string::npos) << status;
}

TEST(CliProgram, CheckHelpAndABadCommandLineExitWithTheirCodes) {
    TempDir dir;
    std::string broken = OneBlockFile();
    broken.replace(broken.find("\r\n") - 2, 2, "00");  // the header's checksum
    const std::string path = dir.Write("broken.s28", broken);

    const ProgramRun check = RunProgram({CliProgram(), "check", path}, dir);
    EXPECT_EQ(check.exitCode, kExitBadRecord) << check.out << check.err;
    EXPECT_NE(check.out.find("BAD: checksum 00"), std::string::npos) << check.out;
    const ProgramRun good =
        RunProgram({CliProgram(), "check", dir.Write("good.s28", OneBlockFile()), "--summary"}, dir);
    EXPECT_EQ(good.exitCode, kExitOk) << good.out;
    const ProgramRun missing = RunProgram({CliProgram(), "check", dir.File("none.s28")}, dir);
    EXPECT_EQ(missing.exitCode, kExitFileNotOpened);

    const ProgramRun help = RunProgram({CliProgram(), "--help"}, dir);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("130  Ctrl-C"), std::string::npos) << help.out;
    const ProgramRun bad = RunProgram({CliProgram(), "download"}, dir);
    EXPECT_EQ(bad.exitCode, kExitUsage);
    EXPECT_NE(bad.err.find("give exactly one FILE"), std::string::npos) << bad.err;
}

// Kills the program if it has not ended within `seconds`: a test that fails
// instead of hanging.
std::function<void(pid_t)> KillAfter(double seconds) {
    return [seconds](pid_t pid) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        siginfo_t info{};
        while (std::chrono::steady_clock::now() < deadline) {
            info.si_pid = 0;
            if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, SIGKILL);
    };
}

// The members of the last line of `out`, a JSON object; empty when it is not one.
std::map<std::string, std::string> LastJsonLine(const std::string& out) {
    const std::size_t end = out.find_last_not_of('\n');
    if (end == std::string::npos) return {};
    const std::size_t start = out.rfind('\n', end);
    const std::string line = out.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start + 1));
    return JsonReader::Object(line).value_or(std::map<std::string, std::string>{});
}

// A TCP port on 127.0.0.1 that refuses connections: bound while it lives, never listening.
struct RefusingPort {
    RefusingPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
    }
    ~RefusingPort() { close(fd); }
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
};

// A port that will not open keeps the box's fixed text, and its cause in the
// system's words reaches the final line, the JSON result and the audit
// record, of one device and of a station's children. The tests run as root,
// who may open any file: a folder and a plain file stand for a device
// without permission.
TEST(CliProgram, AFailedOpeningCarriesItsCauseToTheLineTheResultAndTheRecord) {
    TempDir dir;
    RefusingPort refusing;
    ASSERT_NE(refusing.port, 0);
    const std::string endpoint = "127.0.0.1 port " + std::to_string(refusing.port);
    std::ofstream(dir.File("Mirvok.ini")) << "[Application]\r\nApp=Mirvok\r\n[Ports]\r\nCOM6=" << dir.File("")
                                          << "\r\nCOM7=" << dir.Write("plain", "")
                                          << "\r\nCOM8=rfc2217://127.0.0.1:" << refusing.port << "\r\n";
    const std::string rom = dir.Write("fw.s28", OneBlockFile());
    struct Row {
        const char* port;
        std::string cause;  // what the result's cause ends with
    };
    const std::vector<Row> rows = {
        {"6", std::strerror(EISDIR)},
        {"7", std::strerror(ENOTTY)},
        {"8", "cannot connect to " + endpoint + ": " + std::strerror(ECONNREFUSED)}};
    auto endsWith = [](const std::string& text, const std::string& tail) {
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cause);
        const std::string log = dir.File(std::string("one") + row.port + ".jsonl");
        const std::vector<std::string> args = {
            CliProgram(), "download",        rom,     "--port", row.port, "--ini", dir.File("Mirvok.ini"),
            "--yes",      "--download-mode", "--log", log};
        const ProgramRun line = RunProgram(args, dir, KillAfter(30));
        EXPECT_EQ(line.exitCode, kExitOpenDownload) << line.err;
        EXPECT_NE(line.err.find("オープン不可「他のプロセスがポートを使用中」(101)"), std::string::npos)
            << line.err;
        EXPECT_NE(line.err.find(row.cause + " (101) (exit 23)"), std::string::npos) << line.err;
        const auto record = LastJsonLine(TempDir::Read(log));
        ASSERT_TRUE(record.count("cause")) << TempDir::Read(log);
        EXPECT_TRUE(endsWith(record.at("cause"), row.cause + "\"")) << record.at("cause");

        std::vector<std::string> json = args;
        json.back() = dir.File(std::string("json") + row.port + ".jsonl");
        json.push_back("--json");
        const ProgramRun machine = RunProgram(json, dir, KillAfter(30));
        const auto result = LastJsonLine(machine.out);
        ASSERT_TRUE(result.count("cause")) << machine.out;
        EXPECT_TRUE(endsWith(result.at("cause"), row.cause + "\"")) << result.at("cause");
        EXPECT_EQ(result.at("ending"), "\"open-failed\"");
    }

    // A station: each child's record carries its own cause.
    const std::string log = dir.File("station.jsonl");
    const ProgramRun station = RunProgram({CliProgram(), "download", rom, "--port", "6,7,8", "--ini",
                                           dir.File("Mirvok.ini"), "--yes", "--download-mode", "--log", log},
                                          dir, KillAfter(60));
    EXPECT_EQ(station.exitCode, kExitSomeFailed) << station.err;
    std::map<std::string, std::string> causes;
    std::istringstream lines(TempDir::Read(log));
    for (std::string record; std::getline(lines, record);) {
        const auto members = JsonReader::Object(record);
        if (members && members->count("cause")) causes[members->at("port")] = members->at("cause");
    }
    ASSERT_EQ(causes.size(), rows.size()) << TempDir::Read(log);
    for (const Row& row : rows) {
        const std::string port = std::string("\"COM") + row.port + "\"";
        EXPECT_TRUE(endsWith(causes[port], row.cause + "\"")) << causes[port];
    }
}

// A pipe (or /dev/urandom) named as the firmware is never read: it might
// never end. It is refused as the window refuses it.
TEST(CliProgram, APipeAsTheFileIsRefusedWithoutReadingIt) {
    ProgramBench b;
    const std::string fifo = b.dir.File("fw.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ProgramRun download =
        RunProgram(b.Cli({"download", fifo, "--port", "7", "--wait", "0"}), b.dir, KillAfter(10));
    EXPECT_EQ(download.exitCode, kExitFileName) << download.err;
    const ProgramRun check = RunProgram({CliProgram(), "check", fifo}, b.dir, KillAfter(10));
    EXPECT_EQ(check.exitCode, kExitFileName) << check.err;
    const ProgramRun random = RunProgram({CliProgram(), "check", "/dev/urandom"}, b.dir, KillAfter(10));
    EXPECT_EQ(random.exitCode, kExitFileName) << random.err;
}

}  // namespace
}  // namespace mirvok::cli::test

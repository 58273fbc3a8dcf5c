#include "CommandRunner.h"

#include "CheckReport.h"
#include "CliFlagTable.h"
#include "DeviceSession.h"
#include "ProgramVersion.h"
#include "RecordCheck.h"
#include "Station.h"
#include "download/BlockMask.h"
#include "link/ComPortName.h"
#include "link/remote/RemoteAddress.h"
#include "startup/Json.h"
#include "startup/RunState.h"
#include "startup/Utf8Path.h"
#include "station/ExitCode.h"

namespace mirvok::cli {
namespace {

// Whether a server answers at a remote port: it opens at 9600,N,8,1 and
// closes again. A local port is not touched (opening one may reset a device).
std::optional<bool> Probe(const PortInfo& port, CliServices& s) {
    if (!remote::IsRemoteUrl(port.devicePath)) return std::nullopt;
    TransportStatus status = TransportStatus::Ok;
    std::string cause;
    std::unique_ptr<Transport> transport = s.ports.Open(port.number, LineSettings{}, status, cause);
    if (transport) transport->Close();
    if (!transport && !cause.empty()) s.err << "mirvok-cli: " << cause << "\n";
    return transport != nullptr && status == TransportStatus::Ok;
}

int RunPorts(const CliOptions& options, CliServices& s) {
    const std::vector<PortInfo> ports = s.ports.ListPorts();
    std::vector<std::optional<bool>> answers;
    for (const PortInfo& p : ports) answers.push_back(options.probe ? Probe(p, s) : std::nullopt);
    if (options.json) {
        std::vector<std::string> list;
        for (std::size_t i = 0; i < ports.size(); ++i) {
            const PortInfo& p = ports[i];
            JsonObject entry;
            entry.Num("port", p.number)
                .Str("name", ComPortName(p.number))
                .Str("path", p.devicePath)
                .Str("description", p.description);
            if (answers[i]) entry.Bool("answers", *answers[i]);
            list.push_back(entry.Text());
        }
        s.out << JsonObject()
                     .Str("event", "result")
                     .Str("command", "ports")
                     .Num("exit_code", kExitOk)
                     .Str("outcome", ExitCodeInfoOf(kExitOk).name)
                     .Raw("ports", JsonArray(list))
                     .Text()
              << "\n";
        return kExitOk;
    }
    if (ports.empty()) s.err << "no serial ports found\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const PortInfo& p = ports[i];
        std::string line = ComPortName(p.number);
        line.resize(std::max<std::size_t>(line.size() + 1, 7), ' ');
        line += p.devicePath.empty() ? "-" : p.devicePath;
        if (!p.description.empty() && p.description != p.devicePath) line += "  " + p.description;
        if (answers[i]) line += *answers[i] ? "  answers" : "  no answer";
        s.out << line << "\n";
    }
    return kExitOk;
}

int RunCheck(const CliOptions& options, CliServices& s) {
    if (IsOtherThanARegularFile(options.file)) {
        const std::string text = options.file + " is not a regular file";
        if (options.json)
            s.out << JsonObject()
                         .Str("event", "result")
                         .Str("command", "check")
                         .Num("exit_code", kExitFileName)
                         .Str("outcome", ExitCodeInfoOf(kExitFileName).name)
                         .Str("text", text)
                         .Text()
                  << "\n";
        else
            s.err << "check: " << text << " (exit " << kExitFileName << ")\n";
        return kExitFileName;
    }
    const std::string mask = options.blocks.value_or(kWholeFileMask);
    if (!options.json) s.out << CheckHeaderText(options.file, mask);
    const FileCheck check = CheckFile(options.file, mask, [&](const RecordInfo& record) {
        if (options.summaryOnly && !RecordHasFinding(record)) return;
        s.out << (options.json ? RecordJson(record) + "\n" : RecordRowText(record));
    });
    const int code = CheckExitCode(check);
    if (options.json)
        s.out << CheckResultJson(options.file, check, code) << "\n";
    else
        s.out << CheckSummaryText(check) << CheckVerdictText(check, code);
    s.out.flush();
    return code;
}

}  // namespace

int RunCommand(const CliOptions& options, RunState& run, CliServices& services) {
    switch (options.command) {
        case Command::Help:
            services.out << UsageText() << "\nSettings file: " << run.IniPath << "\n";
            return kExitOk;
        case Command::ProgramVersion:
            services.out << "mirvok-cli " << kVersionText << "\n";
            return kExitOk;
        case Command::CompletionTable:
            services.out << CompletionTable();
            return kExitOk;
        case Command::Ports:
            return RunPorts(options, services);
        case Command::Check:
            return RunCheck(options, services);
        default:
            break;
    }
    if (RunsAsStation(options)) return RunStation(options, run, services);
    DeviceSession session(options, run, services);
    return session.Run();
}

}  // namespace mirvok::cli

#include "AttemptRecord.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "HostName.h"
#include "ProgramVersion.h"
#include "startup/Json.h"
#include "startup/Sha256.h"
#include "startup/Utf8Path.h"

namespace mirvok::station {

AttemptRecord RecordOfAttempt(WallTime start, int port, const PortInfo& listed, const std::string& file,
                              const std::string& provenSha256) {
    AttemptRecord r;
    r.start = start;
    r.end = std::chrono::system_clock::now();
    r.host = HostName();
    r.programVersion = kVersionText;
    r.port = port;
    r.device = listed.devicePath;
    r.description = listed.description;
    r.serialNumber = listed.serialNumber;
    r.file = AbsolutePath(file);
    if (provenSha256.empty()) {
        const FileFacts facts = FirmwareFacts(file);
        r.fileSize = facts.size;
        r.sha256 = facts.sha256;
    } else {
        std::error_code error;
        const auto size = std::filesystem::file_size(PathFromUtf8(file), error);
        r.fileSize = error ? -1 : static_cast<std::int64_t>(size);
        r.sha256 = provenSha256;
    }
    return r;
}

std::string UtcTimestamp(WallTime time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

namespace {

// What both records of an attempt hold after its times: this machine and
// program, the port, the firmware file.
void AddWhereAndWhat(JsonObject& o, const AttemptRecord& r) {
    o.Str("host", r.host)
        .Str("program_version", r.programVersion)
        .Str("port", "COM" + std::to_string(r.port))
        .Str("device", r.device)
        .Str("description", r.description)
        .Str("serial_number", r.serialNumber)
        .Str("operation", r.operation)
        .Str("file", r.file);
    if (r.fileSize >= 0)
        o.Num("file_size", r.fileSize);
    else
        o.Null("file_size");
    if (!r.sha256.empty())
        o.Str("sha256", r.sha256);
    else
        o.Null("sha256");
    o.Num("mode", r.mode).Num("baud", r.baud).Bool("terminal_mode", r.terminalMode).Str("blocks", r.blocks);
}

}  // namespace

std::string AttemptRecordJson(const AttemptRecord& r) {
    JsonObject o;
    o.Str("start", UtcTimestamp(r.start)).Str("end", UtcTimestamp(r.end));
    AddWhereAndWhat(o, r);
    o.Num("lines_sent", r.linesSent)
        .Num("lines_total", r.linesTotal)
        .Real("seconds", r.seconds)
        .Str("ending", r.ending)
        .Num("link_code", r.linkCode)
        .Num("exit_code", r.exitCode)
        .Str("outcome", r.outcome)
        .Num("attempt", r.attempt);
    if (r.romVersion) o.Str("rom_version", *r.romVersion);
    if (!r.cause.empty()) o.Str("cause", r.cause);
    return o.Text();
}

std::string AttemptStartedRecord(const AttemptRecord& r) {
    JsonObject o;
    o.Str("event", "started").Str("start", UtcTimestamp(r.start));
    AddWhereAndWhat(o, r);
    o.Num("attempt", r.attempt);
    return o.Text();
}

FileFacts FirmwareFacts(const std::string& path) {
    if (IsOtherThanARegularFile(path)) return {};
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return {};
    Sha256 digest;
    std::int64_t size = 0;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        digest.Update(buffer, static_cast<std::size_t>(got));
        size += got;
    }
    if (in.bad()) return {};
    return {size, HexDigest(digest.Final())};
}

}  // namespace mirvok::station

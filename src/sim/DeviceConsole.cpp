#include "DeviceConsole.h"

#include <charconv>
#include <cstdio>
#include <sstream>
#include <vector>

namespace mirvok::sim {
namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Splits off the first word; the rest keeps its inner blanks (version texts).
std::string_view NextWord(std::string_view& text) {
    text = Trim(text);
    const auto end = text.find_first_of(" \t");
    std::string_view word = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : Trim(text.substr(end));
    return word;
}

// The downloaded memory: a summary line, then the written runs in lines of
// "ADDRESS BYTES" in hexadecimal, at most kImageLineBytes bytes each.
std::string ImageText(const MemoryImage& image) {
    constexpr std::size_t kImageLineBytes = 32;
    const auto runs = image.Segments();
    std::string text =
        "image " + std::to_string(image.ByteCount()) + " bytes in " + std::to_string(runs.size()) + " runs";
    for (const auto& [start, bytes] : runs) {
        for (std::size_t at = 0; at < bytes.size(); at += kImageLineBytes) {
            char address[16];
            std::snprintf(address, sizeof address, "\n%06X ", static_cast<unsigned>(start + at));
            text += address;
            for (std::size_t i = at; i < bytes.size() && i < at + kImageLineBytes; ++i) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(bytes[i]));
                text += hex;
            }
        }
    }
    return text + "\nimage end";
}

template <typename T>
bool ParseNumber(std::string_view text, T& out, int base = 10) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return false;
    out = value;
    return true;
}

bool ParseSwitch(std::string_view text, bool& out) {
    if (text == "on" || text == "1" || text == "yes") {
        out = true;
        return true;
    }
    if (text == "off" || text == "0" || text == "no") {
        out = false;
        return true;
    }
    return false;
}

bool ParseHexBytes(std::string_view text, std::string& out) {
    std::string bytes;
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != ':') digits.push_back(c);
    if (digits.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        unsigned value = 0;
        if (!ParseNumber(std::string_view(digits).substr(i, 2), value, 16)) return false;
        bytes.push_back(static_cast<char>(value));
    }
    out = bytes;
    return true;
}

ConsoleReply Fail(std::string text) {
    return ConsoleReply{false, false, std::move(text)};
}

ConsoleReply Done(std::string text = "ok") {
    return ConsoleReply{true, false, std::move(text)};
}

bool IsAnswerCode(std::string_view code) {
    return code.size() == 2;
}

}  // namespace

ConsoleReply SetDeviceValue(DeviceModel& device, std::string_view name, std::string_view value) {
    DeviceConfig& c = device.Config();
    const std::string bad = "bad value for " + std::string(name) + ": '" + std::string(value) + "'";
    auto number = [&](int& field, int min) {
        int v = 0;
        if (!ParseNumber(value, v) || v < min) return Fail(bad);
        field = v;
        return Done();
    };
    auto code = [&](std::string& field) {
        if (!IsAnswerCode(value)) return Fail(bad + " (two characters)");
        field = std::string(value);
        return Done();
    };
    auto flag = [&](bool& field) { return ParseSwitch(value, field) ? Done() : Fail(bad + " (on/off)"); };

    if (name == "dsw1" || name == "dsw2") {
        unsigned v = 0;
        if (!ParseNumber(value, v, 16) || v > 0xFF) return Fail(bad + " (two hexadecimal digits)");
        (name == "dsw1" ? c.dsw1 : c.dsw2) = static_cast<std::uint8_t>(v);
        return Done();
    }
    if (name == "rom") return c.romVersion = std::string(value), Done();
    if (name == "detail") return c.detailedVersion = std::string(value), Done();
    if (name == "backup") return c.backupVersion = std::string(value), Done();
    if (name == "pa-code") return code(c.linkCheckCode);
    if (name == "dsw-code") return code(c.dswCode);
    if (name == "vs-code") return code(c.versionCode);
    if (name == "md-code") return code(c.fontRomCode);
    if (name == "backup-code") return code(c.backupVerdictCode);
    if (name == "special") return flag(c.specialMode);
    if (name == "start-download") {
        if (value == "off") return c.startInDownloadMode = -1, Done("ok (at the next power-on)");
        int mode = 0;
        if (!ParseNumber(value, mode) || mode < 0 || mode > 8) return Fail(bad + " (0-8 or off)");
        c.startInDownloadMode = mode;
        return Done("ok (at the next power-on)");
    }
    if (name == "latency") return number(c.answerLatencyMs, 0);
    if (name == "busy") return number(c.busyReplies, 0);
    if (name == "gap") return number(c.charGapMs, 0);
    if (name == "backup-time") return number(c.backupDurationMs, 0);
    if (name == "hold") return number(c.reportHoldMs, 0);
    if (name == "pacing") return flag(c.linePacing);
    if (name == "silence") {
        if (value == "off") return c.silence = Silence::None, Done();
        if (value == "polls") return c.silence = Silence::Polls, Done();
        if (value == "commands") return c.silence = Silence::Commands, Done();
        if (value == "all") return c.silence = Silence::All, Done();
        return Fail(bad + " (off, polls, commands, all)");
    }
    if (name == "nak") return flag(c.nakEverything);
    if (name == "bad-bcc") {
        bool on = false;
        if (ParseSwitch(value, on)) return c.wrongBccAnswers = on ? DeviceConfig::kAlways : 0, Done();
        return number(c.wrongBccAnswers, 0);
    }
    if (name == "noise") {
        if (value == "off") return c.noiseBeforeStx.clear(), Done();
        return ParseHexBytes(value, c.noiseBeforeStx) ? Done() : Fail(bad + " (hexadecimal bytes or off)");
    }
    if (name == "cts") {
        bool on = true;
        if (!ParseSwitch(value, on)) return Fail(bad + " (on/off)");
        c.ctsOff = !on;
        return Done();
    }
    if (name == "pull-after") {
        if (value == "off") return c.cablePullAfterBytes = -1, Done();
        std::int64_t bytes = 0;
        if (!ParseNumber(value, bytes) || bytes < 0) return Fail(bad + " (bytes or off)");
        c.cablePullAfterBytes = bytes;
        return Done();
    }
    return Fail("unknown setting '" + std::string(name) + "' (see help)");
}

ConsoleReply RunConsoleCommand(DeviceModel& device, std::string_view line) {
    std::string_view rest = line;
    const std::string_view verb = NextWord(rest);
    if (verb.empty() || verb.starts_with("#")) return Done("");

    if (verb == "cover") {
        if (rest == "open" || rest == "close" || rest == "closed") {
            device.SetCoverOpen(rest == "open");
            return Done("cover " + std::string(rest == "open" ? "open" : "closed"));
        }
        return Fail("cover open|close");
    }
    if (verb == "power") {
        bool on = false;
        if (!ParseSwitch(rest, on)) return Fail("power on|off");
        device.SetPowered(on);
        return Done(on ? "power on" : "power off (DSR off)");
    }
    if (verb == "restart") {
        device.Restart();
        return Done("restarted");
    }
    if (verb == "cable") {
        if (rest == "pull") return device.PullCable(), Done("cable pulled");
        if (rest == "plug") return device.PlugCable(), Done("cable plugged in");
        return Fail("cable pull|plug");
    }
    if (verb == "dsw") {
        std::string_view dsw1 = NextWord(rest);
        if (dsw1.empty() || rest.empty()) return Fail("dsw HH HH");
        ConsoleReply first = SetDeviceValue(device, "dsw1", dsw1);
        if (!first.ok) return first;
        return SetDeviceValue(device, "dsw2", rest);
    }
    if (verb == "set") {
        const std::string_view name = NextWord(rest);
        if (name.empty() || rest.empty()) return Fail("set NAME VALUE (see help)");
        return SetDeviceValue(device, name, rest);
    }
    if (verb == "status") return Done(device.StatusText());
    if (verb == "arrival") {
        if (rest == "end") return Done(device.EndArrivalText());
        std::size_t line = 0;
        if (!ParseNumber(rest, line))
            return Fail("arrival N|end (a download line, from 1, or the end-of-file byte)");
        return Done(device.LineArrivalText(line));
    }
    if (verb == "gaps") {
        std::size_t count = 0;
        if (!ParseNumber(rest, count)) return Fail("gaps N (how many)");
        return Done(device.LongestGapsText(count));
    }
    if (verb == "image") return Done(ImageText(device.Memory()));
    if (verb == "help" || verb == "?") return Done(ConsoleHelp());
    if (verb == "quit" || verb == "exit") return ConsoleReply{true, true, "bye"};
    return Fail("unknown command '" + std::string(verb) + "' (try help)");
}

std::string ConsoleHelp() {
    return R"(Console commands:
  cover open|close        open or close the cover (reported once the version was asked)
  dsw HH HH               set both DIP-switch banks (hexadecimal)
  power on|off            power the device; off drops DSR and forgets what was under way
  restart                 power cycle
  cable pull|plug         pull the cable (the port hangs up) or plug it back in
  set NAME VALUE          change a setting, see below
  status                  show the device's state and settings, and the clock
  arrival N|end           when line N of the download (or its end-of-file byte) was
                          taken in, on that clock
  gaps N                  the N longest times between two download lines (or the last
                          line and the end-of-file byte), longest first
  image                   the downloaded memory in hexadecimal, ending with "image end"
  help                    this text
  quit                    end mirvok-sim
Settings (set NAME VALUE, or --set NAME=VALUE at start):
  dsw1, dsw2 HH           DIP-switch banks
  rom, detail, backup T   version texts answered to VS, VS? and VSb
  pa-code, dsw-code, vs-code, md-code CC
                          answer codes of PA, !!i, VS and md ("90" is good; "13" for PA is accepted too)
  backup-code CC          verdict of the F-ROM backup ("90" is success)
  special on|off          special mode: answers come on their own, with the prefix "!1000"
  start-download N|off    start in download mode N (0-8) at the next power-on
  latency MS              turnaround before every reply (ACK/NAK, poll reply, answer)
  busy N                  "B" replies to polls before an answer is given
  gap MS                  pause between the characters of a reply frame
  backup-time MS          how long the F-ROM backup takes (9000)
  hold MS                 quiet time before a report is sent on its own (200)
  pacing on|off           take a character time per byte at the line rate
Faults:
  silence off|polls|commands|all
                          leave polls, commands or both unanswered
  nak on|off              refuse every command with NAK
  bad-bcc on|off|N        wrong BCC on answer frames (always, never, or the next N)
  noise HEX|off           bytes sent before every reply frame, e.g. "FF 00"
  cts on|off              the CTS line (not carried by a pseudo-terminal)
  pull-after N|off        pull the cable after N bytes of a download)";
}

}  // namespace mirvok::sim

#include "WindowChoices.h"

#include "link/ComPortName.h"
#include "startup/LineSetting.h"
#include "startup/RunState.h"
#include "station/ExitCode.h"
#include "ui/Frmdown.h"
#include "ui/Modes.h"

namespace mirvok::cli {
namespace {

ChoiceResult Refused(const std::string& error) {
    return ChoiceResult{kExitControlRefused, error};
}

ChoiceResult ChoosePort(Frmdown& frm, int port, const std::string& whose = "") {
    switch (frm.ChoosePort(port)) {
        case Choice::Chosen:
            return {};
        case Choice::NotOffered:
            return ChoiceResult{kExitPortNotListed, ComPortName(port) + whose + " is not in the port list (" +
                                                        PortListText(frm) + ")"};
        case Choice::NotAvailable:
            break;
    }
    return Refused("the port list cannot be changed now");
}

// A guarded mode is entered with its access code, as the operator types it
// into the menu's box.
ChoiceResult ChooseSpecial(Frmdown& frm, bool on) {
    if (frm.InMode(WindowMode::Special) == on) return {};
    const bool switched =
        on ? frm.EnterMode(WindowMode::Special, kAccessCodeSpecial) : frm.LeaveMode(WindowMode::Special);
    if (!switched)
        return Refused(std::string("the special mode cannot be switched ") + (on ? "on" : "off") + " now");
    return {};
}

ChoiceResult Chosen(Choice choice, const std::string& what) {
    switch (choice) {
        case Choice::Chosen:
            return {};
        case Choice::NotOffered:
            return Refused(what + " is not offered");
        case Choice::NotAvailable:
            break;
    }
    return Refused(what + " cannot be chosen in this mode");
}

// Terminal line settings, e.g. "9600,E,8,1": each field picks its list entry.
ChoiceResult ChooseLineSetting(Frmdown& frm, const std::string& setting) {
    std::string baud, parity, dataBits, stopBits;
    if (!SplitLineSetting(setting, baud, parity, dataBits, stopBits))
        return ChoiceResult{kExitUsage, "--line takes BAUD,PARITY,DATABITS,STOPBITS, e.g. 9600,E,8,1"};
    const struct {
        LineField field;
        const std::string& value;
        std::string what;
    } fields[] = {
        {LineField::BaudRate, baud, "baud rate " + baud},
        {LineField::Parity, parity, "parity " + parity},
        {LineField::DataBits, dataBits, "data bits " + dataBits},
        {LineField::StopBits, stopBits, "stop bits " + stopBits},
    };
    for (const auto& f : fields)
        if (ChoiceResult r = Chosen(frm.ChooseLineField(f.field, f.value), f.what); r.exitCode != 0) return r;
    return {};
}

ChoiceResult ChooseFontRom(Frmdown& frm) {
    if (frm.InMode(WindowMode::FontRom)) return {};
    if (!frm.EnterMode(WindowMode::FontRom, kAccessCodeFontRom))
        return Refused("the Font ROM mode cannot be switched on now");
    return {};
}

ChoiceResult ChooseBlocks(Frmdown& frm, const std::string& mask) {
    int refusedBlock = -1;
    if (frm.ChooseBlocks(mask, refusedBlock)) return {};
    if (refusedBlock < 0)
        return Refused("blocks cannot be chosen in this mode (the contactless IC mode sends whole files)");
    return Refused("block " + std::to_string(refusedBlock) + " cannot be chosen now");
}

}  // namespace

std::string PortListText(const Frmdown& frm) {
    std::string names;
    for (const std::string& name : frm.ListedPortNames()) names += (names.empty() ? "" : ", ") + name;
    return names.empty() ? "none" : names;
}

ChoiceResult ApplyDeviceChoices(Frmdown& frm, const CliOptions& o, int configuredPort) {
    if (o.special)
        if (ChoiceResult r = ChooseSpecial(frm, *o.special); r.exitCode != 0) return r;
    if (o.port) return ChoosePort(frm, *o.port);
    if (WritesToDevice(o.command))
        return ChoosePort(frm, configuredPort, " (the port of the settings file; --port names another)");
    return {};
}

ChoiceResult ApplyLineSetting(Frmdown& frm, const CliOptions& o) {
    if (!o.lineSetting) return {};
    return ChooseLineSetting(frm, *o.lineSetting);
}

ChoiceResult ApplyDownloadChoices(Frmdown& frm, const CliOptions& o) {
    if (o.terminalMode && !frm.ChooseTerminalMode(*o.terminalMode))
        return Refused(
            std::string(*o.terminalMode ? "the terminal mode" : "the download mode (--download-mode)") +
            " is not available in this mode");
    if (ChoiceResult r = ApplyLineSetting(frm, o); r.exitCode != 0) return r;
    if (o.mode && !frm.ChooseDownloadMode(*o.mode))
        return Refused("download mode " + std::to_string(*o.mode) + " is not available in this mode");
    if (o.waitMs)
        if (ChoiceResult r =
                Chosen(frm.ChooseSendWait(*o.waitMs), "a send wait of " + std::to_string(*o.waitMs) + " ms");
            r.exitCode != 0)
            return r;
    if (o.lineCheck && !frm.SetLineCheck(*o.lineCheck != 0))
        return Refused("the line check cannot be changed now");
    if (o.fontRom)
        if (ChoiceResult r = ChooseFontRom(frm); r.exitCode != 0) return r;
    if (o.blocks)
        if (ChoiceResult r = ChooseBlocks(frm, *o.blocks); r.exitCode != 0) return r;
    return {};
}

}  // namespace mirvok::cli

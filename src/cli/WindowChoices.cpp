#include "WindowChoices.h"

#include "CliHost.h"
#include "ExitCode.h"
#include "link/ComPortName.h"
#include "startup/LineSetting.h"
#include "startup/RunState.h"
#include "ui/Frmdown.h"
#include "ui/Modes.h"

namespace mirvok::cli {
namespace {

ChoiceResult Refused(const std::string& error) {
    return ChoiceResult{kExitControlRefused, error};
}

ChoiceResult ChoosePort(Frmdown& frm, int port, const std::string& whose = "") {
    const int index = frm.form.CmbComPort.FindItem([&](const auto& item) { return item.data == port; });
    if (index < 0)
        return ChoiceResult{kExitPortNotListed, ComPortName(port) + whose + " is not in the port list (" +
                                                    PortListText(frm) + ")"};
    if (!frm.Choose("CmbComPort", index)) return Refused("the port list cannot be changed now");
    return {};
}

ChoiceResult ChooseSpecial(Frmdown& frm, CliHost& host, bool on) {
    const bool isOn = frm.window.run.settings.Spno == kSpnoSpecial;
    if (isOn == on) return {};
    if (on) host.QueueInput(kAccessCodeSpecial);
    if (!frm.ChooseMenu("MnuZAV") || (frm.window.run.settings.Spno == kSpnoSpecial) != on)
        return Refused(std::string("the special mode cannot be switched ") + (on ? "on" : "off") + " now");
    return {};
}

ChoiceResult ChooseEntry(Frmdown& frm, const std::string& listName, const std::string& what, int index) {
    if (index < 0) return Refused(what + " is not offered");
    if (!frm.Choose(listName, index)) return Refused(what + " cannot be chosen in this mode");
    return {};
}

// Terminal line settings, e.g. "9600,E,8,1": each field picks its list entry.
ChoiceResult ChooseLineSetting(Frmdown& frm, const std::string& setting) {
    std::string baud, parity, dataBits, stopBits;
    if (!SplitLineSetting(setting, baud, parity, dataBits, stopBits))
        return ChoiceResult{kExitUsage, "--line takes BAUD,PARITY,DATABITS,STOPBITS, e.g. 9600,E,8,1"};
    FormState& f = frm.form;
    const auto first = [](const std::string& text) { return text.substr(0, 1); };
    const struct {
        const char* list;
        int index;
        std::string what;
    } fields[] = {
        {"CmbBaudRate", f.CmbBaudRate.FindItem([&](const auto& item) { return item.text == baud; }),
         "baud rate " + baud},
        {"CmbParity", f.CmbParity.FindItem([&](const auto& item) { return first(item.text) == parity; }),
         "parity " + parity},
        {"CmbDataBits",
         f.CmbDataBits.FindItem([&](const auto& item) { return first(item.text) == dataBits; }),
         "data bits " + dataBits},
        {"CmbStopBits", f.CmbStopBits.FindItem([&](const auto& item) { return item.text == stopBits; }),
         "stop bits " + stopBits},
    };
    for (const auto& field : fields)
        if (ChoiceResult r = ChooseEntry(frm, field.list, field.what, field.index); r.exitCode != 0) return r;
    return {};
}

ChoiceResult ClickOption(Frmdown& frm, const std::string& name, const std::string& what) {
    if (!frm.Click(name)) return Refused(what + " is not available in this mode");
    return {};
}

ChoiceResult ChooseFontRom(Frmdown& frm, CliHost& host) {
    if (frm.form.MnuFontROM.Checked) return {};
    host.QueueInput(kAccessCodeFontRom);
    if (!frm.ChooseMenu("MnuFontROM") || !frm.form.MnuFontROM.Checked)
        return Refused("the Font ROM mode cannot be switched on now");
    return {};
}

ChoiceResult ChooseLineCheck(Frmdown& frm, int wanted) {
    if (frm.window.run.settings.Linechk == wanted) return {};
    if (!frm.ChooseMenu("MnuLineon")) return Refused("the line check cannot be changed now");
    return {};
}

// The block switch on, then every box to its mask character.
ChoiceResult ChooseBlocks(Frmdown& frm, const std::string& mask) {
    FormState& f = frm.form;
    if (f.BLKCheck1.Value != 1 && !frm.Click("BLKCheck1"))
        return Refused("blocks cannot be chosen in this mode (the contactless IC mode sends whole files)");
    for (int k = f.BLK_Address.First(); k <= f.BLK_Address.Last(); ++k) {
        const int wanted = mask[static_cast<std::size_t>(k)] == '1' ? 1 : 0;
        if (f.BLK_Address[k].Value != wanted && !frm.Click(f.BLK_Address[k].Name))
            return Refused("block " + std::to_string(k) + " cannot be chosen now");
    }
    return {};
}

}  // namespace

std::string PortListText(const Frmdown& frm) {
    std::string names;
    for (const ListControl::Item& item : frm.form.CmbComPort.Items)
        names += (names.empty() ? "" : ", ") + item.text;
    return names.empty() ? "none" : names;
}

ChoiceResult ApplyDeviceChoices(Frmdown& frm, CliHost& host, const CliOptions& o, int configuredPort) {
    if (o.special)
        if (ChoiceResult r = ChooseSpecial(frm, host, *o.special); r.exitCode != 0) return r;
    if (o.port) return ChoosePort(frm, *o.port);
    if (WritesToDevice(o.command))
        return ChoosePort(frm, configuredPort, " (the port of the settings file; --port names another)");
    return {};
}

ChoiceResult ApplyLineSetting(Frmdown& frm, const CliOptions& o) {
    if (!o.lineSetting) return {};
    return ChooseLineSetting(frm, *o.lineSetting);
}

ChoiceResult ApplyDownloadChoices(Frmdown& frm, CliHost& host, const CliOptions& o) {
    if (o.terminalMode) {
        const bool terminal = *o.terminalMode;
        const ChoiceResult r =
            ClickOption(frm, terminal ? "Option2(0)" : "Option2(1)",
                        terminal ? "the terminal mode" : "the download mode (--download-mode)");
        if (r.exitCode != 0) return r;
    }
    if (ChoiceResult r = ApplyLineSetting(frm, o); r.exitCode != 0) return r;
    if (o.mode)
        if (ChoiceResult r = ClickOption(frm, "Option1(" + std::to_string(*o.mode) + ")",
                                         "download mode " + std::to_string(*o.mode));
            r.exitCode != 0)
            return r;
    if (o.waitMs) {
        const int index = frm.form.CmbSms.FindItem([&](const auto& item) { return item.data == *o.waitMs; });
        if (ChoiceResult r =
                ChooseEntry(frm, "CmbSms", "a send wait of " + std::to_string(*o.waitMs) + " ms", index);
            r.exitCode != 0)
            return r;
    }
    if (o.lineCheck)
        if (ChoiceResult r = ChooseLineCheck(frm, *o.lineCheck); r.exitCode != 0) return r;
    if (o.fontRom)
        if (ChoiceResult r = ChooseFontRom(frm, host); r.exitCode != 0) return r;
    if (o.blocks)
        if (ChoiceResult r = ChooseBlocks(frm, *o.blocks); r.exitCode != 0) return r;
    return {};
}

}  // namespace mirvok::cli

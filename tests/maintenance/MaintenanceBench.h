#pragma once
// The main window against the simulated card reader on virtual time, in
// terminal mode, with the port list on the simulated COM1. Two additions to
// the plain bench: a hook that runs when a message box opens (what the
// operator does while it is up, or a look at the window at that moment), and
// a line that can carry further frames, as a device that repeats its cover
// report would send them.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Link.h"
#include "sim/DeviceModel.h"
#include "sim/SimPortProvider.h"
#include "sim/TerminalFraming.h"
#include "startup/RunState.h"
#include "support/TempDir.h"
#include "support/TestHost.h"
#include "ui/Frmdown.h"

namespace mirvok::test {

class BoxWatchingHost : public TestHost {
public:
    using TestHost::TestHost;
    using TestHost::MsgBox;
    std::function<void(const MsgBoxRequest&)> onBox;

    MsgResult MsgBox(const MsgBoxRequest& request) override {
        if (onBox) onBox(request);
        return TestHost::MsgBox(request);
    }
};

// Hands out the simulated port with a line that also delivers added bytes.
class AddingPorts : public PortProvider {
public:
    explicit AddingPorts(PortProvider& inner) : inner_(inner) {}

    // A reply frame with this text arrives on the line as soon as it is read.
    void AddFrame(const std::string& text) { added_ += sim::ReplyFrame(text); }

    std::vector<PortInfo> ListPorts() override { return inner_.ListPorts(); }
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings, TransportStatus& status) override {
        std::unique_ptr<Transport> line = inner_.Open(port, settings, status);
        if (!line) return nullptr;
        return std::make_unique<Line>(std::move(line), added_);
    }

private:
    class Line : public Transport {
    public:
        Line(std::unique_ptr<Transport> inner, std::string& added) : inner_(std::move(inner)), added_(added) {}
        TransportStatus Write(const std::string& bytes, int timeoutMs) override {
            return inner_->Write(bytes, timeoutMs);
        }
        TransportStatus Read(std::string& out) override {
            const TransportStatus status = inner_->Read(out);
            out += added_;
            added_.clear();
            return status;
        }
        TransportStatus WaitForData(int timeoutMs) override {
            return added_.empty() ? inner_->WaitForData(timeoutMs) : TransportStatus::Ok;
        }
        std::int64_t NowMs() override { return inner_->NowMs(); }
        void Sleep(int ms) override { inner_->Sleep(ms); }
        ModemLines Lines() override { return inner_->Lines(); }
        void Close() override { inner_->Close(); }

    private:
        std::unique_ptr<Transport> inner_;
        std::string& added_;
    };

    PortProvider& inner_;
    std::string added_;
};

struct MaintenanceBench {
    VirtualClock clock;
    BoxWatchingHost host{clock};
    sim::DeviceModel device{clock};
    sim::SimPortProvider simPorts{clock, device, 1};
    AddingPorts ports{simPorts};
    Link link{ports};
    TempDir dir;
    RunState run;
    std::unique_ptr<Frmdown> frm;

    explicit MaintenanceBench(std::int16_t spno = 0) {
        run.IniPath = dir.File("Mirvok.ini");
        run.settings.Spno = spno;
        device.Config().specialMode = spno == 1;
        frm = std::make_unique<Frmdown>(host, link, run);
        frm->Form_Load();
        frm->Click("Option2(0)");  // terminal mode: the version button works
        EXPECT_TRUE(host.Boxes().empty());
    }
    ~MaintenanceBench() { EXPECT_TRUE(host.ScriptDone()) << "a scripted answer was not asked for"; }

    FormState& Form() { return frm->form; }

    void EnterFromMode() {
        host.ExpectInput("31750");
        frm->ChooseMenu("MnuROMBkRec");
        ASSERT_TRUE(Form().MnuROMBkRec.Checked);
    }

    // Opens the port as an earlier operation would have left it.
    void LeavePortOpen() {
        ASSERT_EQ(link.crwOpenPort(1, 9600, "8", "N"), 0);
        run.PortOpen = true;
    }

    bool SettingsWritten() const { return std::filesystem::exists(run.IniPath); }
    std::vector<std::string> Commands() const { return device.CommandTexts(); }

    // Boxes shown so far with the given title.
    int BoxesTitled(const std::string& title) const {
        int n = 0;
        for (const auto& box : host.Boxes()) n += box.request.title == title;
        return n;
    }
    const MsgBoxRequest& LastBox() const { return host.Boxes().back().request; }

    // The port is closed and the window knows it.
    void ExpectPortClosed() {
        EXPECT_FALSE(run.PortOpen);
        EXPECT_FALSE(link.IsOpen(1));
    }
};

// The line break inside message box texts.
inline const std::string kBreak = "\r\n";

}  // namespace mirvok::test

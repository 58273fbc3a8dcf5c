#pragma once
// A main window on the virtual host, with ports that tests set up: which
// exist, and whether opening them succeeds. Nothing is ever sent or received.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "link/Link.h"
#include "link/Transport.h"
#include "startup/RunState.h"
#include "support/TempDir.h"
#include "support/TestHost.h"
#include "ui/Frmdown.h"

namespace mirvok::test {

class SilentTransport : public Transport {
public:
    TransportStatus Write(const std::string&, int) override { return TransportStatus::Ok; }
    TransportStatus Read(std::string&) override { return TransportStatus::Ok; }
    TransportStatus WaitForData(int) override { return TransportStatus::Timeout; }
    std::int64_t NowMs() override { return 0; }
    void Sleep(int) override {}
    ModemLines Lines() override { return {}; }
    void Close() override {}
};

class FakePorts : public PortProvider {
public:
    std::vector<int> present;
    std::set<int> busy;  // opening these fails as if another program held them
    std::vector<std::pair<int, LineSettings>> opened;

    std::vector<PortInfo> ListPorts() override {
        std::vector<PortInfo> list;
        for (int n : present) list.push_back(PortInfo{n, "/dev/fake" + std::to_string(n), ""});
        return list;
    }
    std::unique_ptr<Transport> Open(int port, const LineSettings& settings,
                                    TransportStatus& status) override {
        if (busy.count(port)) {
            status = TransportStatus::Busy;
            return nullptr;
        }
        opened.emplace_back(port, settings);
        status = TransportStatus::Ok;
        return std::make_unique<SilentTransport>();
    }
};

struct WindowBench {
    TestHost host;
    FakePorts ports;
    Link link{ports};
    TempDir dir;
    RunState run;
    std::unique_ptr<Frmdown> frm;

    WindowBench() { run.IniPath = dir.File("Mirvok.ini"); }

    // The settings file as written on Windows: CR LF line ends.
    void WriteIni(const std::string& text) {
        std::string crlf;
        for (char c : text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        dir.Write("Mirvok.ini", crlf);
    }

    Frmdown& Create() {
        frm = std::make_unique<Frmdown>(host, link, run);
        return *frm;
    }
    Frmdown& Load() {
        Create().Form_Load();
        return *frm;
    }
    FormState& Form() { return frm->form; }
    Settings& S() { return run.settings; }

    static std::string SelectedText(const ListControl& list) {
        return list.Selected() ? list.Selected()->text : std::string("<none>");
    }
};

}  // namespace mirvok::test

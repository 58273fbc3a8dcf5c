#pragma once
// A port for the engine's tests: every write is recorded with the virtual
// time it happened at and the progress bar's value then; nothing arrives.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Link.h"
#include "link/Transport.h"
#include "protocol/Protocol.h"
#include "startup/RunState.h"
#include "startup/Timer.h"
#include "support/TestHost.h"
#include "window/FormState.h"
#include "window/StatusLine.h"
#include "window/Window.h"

namespace mirvok::test {

struct PortScript {
    struct Write {
        std::string bytes;
        double atSeconds;
        int barValue;  // the progress bar's value when the line went out
    };
    std::vector<Write> writes;
    std::function<void(std::size_t)> onWrite;  // after a successful write, with its index
};

class ScriptedTransport : public Transport {
public:
    ScriptedTransport(VirtualHost& host, PortScript& script, const FormState& form)
        : host_(host), script_(script), form_(form) {}
    TransportStatus Write(const std::string& bytes, int) override {
        const std::size_t index = script_.writes.size();
        script_.writes.push_back({bytes, host_.Clock().NowUs() / 1e6, form_.ProgressBar1.Value});
        if (script_.onWrite) script_.onWrite(index);
        return TransportStatus::Ok;
    }
    TransportStatus Read(std::string&) override { return TransportStatus::Ok; }
    TransportStatus WaitForData(int ms) override {
        Sleep(ms);
        return TransportStatus::Timeout;
    }
    std::int64_t NowMs() override { return host_.Clock().NowMs(); }
    void Sleep(int ms) override { host_.Clock().AdvanceUs(static_cast<std::int64_t>(ms) * 1000); }
    ModemLines Lines() override { return ModemLines{}; }
    void Close() override {}

private:
    VirtualHost& host_;
    PortScript& script_;
    const FormState& form_;
};

class ScriptedPorts : public PortProvider {
public:
    ScriptedPorts(VirtualHost& host, PortScript& script, const FormState& form)
        : host_(host), script_(script), form_(form) {}
    std::vector<PortInfo> ListPorts() override { return {PortInfo{1, "", "scripted"}}; }
    std::unique_ptr<Transport> Open(int, const LineSettings&, TransportStatus& status) override {
        status = TransportStatus::Ok;
        return std::make_unique<ScriptedTransport>(host_, script_, form_);
    }

private:
    VirtualHost& host_;
    PortScript& script_;
    const FormState& form_;
};

// Everything the engine works on, with the port already open as the
// download sequence leaves it.
struct EngineRig {
    EngineRig() {
        run.settings.Port = 1;
        run.settings.Linechk = 1;
        link.crwOpenPort(1, 19200, "7", "E");
    }
    TestHost host;
    PortScript script;
    FormState form;
    StatusLine statusLine{form};
    ScriptedPorts ports{host, script, form};
    Link link{ports};
    RunState run;
    Timer timer1{host, 2000, false};
    Timer timer3{host, 1000, false};
    Protocol protocol{host, link, run, statusLine, timer1};
    Window window{host, link, run, form, protocol, timer1, timer3};
};

}  // namespace mirvok::test

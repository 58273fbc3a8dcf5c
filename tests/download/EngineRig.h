#pragma once
// Everything the transfer engine works on, with the port already open as the
// download sequence leaves it, on a scripted line where nothing arrives. Each
// write is recorded with the progress bar's value at that moment.

#include <functional>
#include <string>
#include <vector>

#include "link/Link.h"
#include "protocol/Protocol.h"
#include "startup/RunState.h"
#include "startup/Timer.h"
#include "support/ScriptedLine.h"
#include "support/TestHost.h"
#include "window/FormState.h"
#include "window/OperationObserver.h"
#include "window/OperationResult.h"
#include "window/StatusLine.h"
#include "window/TransferDisplay.h"
#include "window/Window.h"

namespace mirvok::test {

struct EngineRig {
    EngineRig() {
        events.SetDisplay(&display);
        run.settings.Port = 1;
        run.settings.Linechk = 1;
        link.crwOpenPort(1, 19200, "7", "E");
        line.Responder = [this](const std::string&) {
            barAtWrite.push_back(form.ProgressBar1.Value);
            if (onWrite) onWrite(barAtWrite.size() - 1);
        };
    }
    // Forgets what was written before the next transfer.
    void Clear() {
        line.ClearWritten();
        barAtWrite.clear();
        onWrite = nullptr;
    }
    const std::vector<ScriptedLine::Sent>& Writes() const { return line.Writes(); }

    TestHost host;
    ScriptedLine line{host.Clock()};
    ScriptedPorts ports{line};
    std::vector<int> barAtWrite;               // the progress bar's value at each write
    std::function<void(std::size_t)> onWrite;  // after each write, with its index
    FormState form;
    TransferDisplay display{form};
    OperationEvents events;
    StatusLine statusLine{form, events};
    Link link{ports};
    RunState run;
    Timer timer1{host, 2000, false};
    Timer timer3{host, 1000, false};
    Protocol protocol{host, link, run, statusLine, timer1};
    OperationResult result;
    Window window{host, link, run, form, protocol, timer1, timer3, result, statusLine, events};
};

}  // namespace mirvok::test

// Arbitrary bytes as an S-record file: its send plan under a block mask,
// mirvok-cli's check of it, and the transfer engine sending it to a port that
// takes everything. Whatever the file holds, nothing may crash; the plan never
// sends more lines than the file holds; check reports the plan; and what the
// plan says a download does is what the engine does: the same result, the
// same lines and bytes, the same block pauses, the end-of-file byte once and
// last, nothing at all when refused.
//
// Input: two bytes whose low nine bits are the block mask (bit k: block k;
// 0x1FF the whole file), then the bytes of the file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cli/RecordCheck.h"
#include "download/SendPlan.h"
#include "download/TransferEngine.h"
#include "link/Link.h"
#include "protocol/Protocol.h"
#include "startup/RunState.h"
#include "startup/Timer.h"
#include "support/IgnoredStatus.h"
#include "support/ScriptedLine.h"
#include "support/VirtualHost.h"
#include "window/FormState.h"
#include "window/OperationObserver.h"
#include "window/OperationResult.h"
#include "window/StatusLine.h"
#include "window/TransferDisplay.h"
#include "window/Window.h"

namespace {

using namespace mirvok;

struct Rig {
    VirtualClock clock;
    test::VirtualHost host{clock};
    test::ScriptedLine line{clock};
    test::ScriptedPorts ports{line};
    std::vector<std::size_t> idleWaitsAtWrite;  // the host's idle waits when each write went out
    Link link{ports};
    RunState run;
    test::IgnoredStatus status;
    FormState form;
    Timer timer1{host, 2000, false};
    Timer timer3{host, 1000, false};
    Protocol protocol{host, link, run, status, timer1};
    OperationResult result;
    TransferDisplay display{form};
    OperationEvents events;
    StatusLine statusLine{form, events};
    Window window{host, link, run, form, protocol, timer1, timer3, result, statusLine, events};

    Rig() {
        host.SetStepUs(1000);
        events.SetDisplay(&display);
        run.settings.Port = 1;
        link.crwOpenPort(1, 19200, "7", "E");
        line.Responder = [this](const std::string&) { idleWaitsAtWrite.push_back(host.IdleWaitCount()); };
    }
};

std::string MaskOf(unsigned bits) {
    std::string mask;
    for (int k = 0; k < 9; ++k) mask += (bits >> k) & 1 ? '1' : '0';
    return mask;
}

// One file per process, written for every input and removed after it.
const std::string& FilePath() {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("mirvok-send-plan-fuzz-" + std::to_string(::getpid()) + ".s28"))
                                        .string();
    return path;
}

void Require(bool condition) {
    if (condition) return;
    std::remove(FilePath().c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string mask = MaskOf(data[0] | (data[1] << 8));
    std::ofstream(FilePath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(size - 2));

    const SendTotals plan = PlanFile(FilePath(), mask);
    const cli::FileCheck check = cli::CheckFile(FilePath(), mask);
    Require(check.engineResult == plan.engineResult && check.lines == plan.lines &&
            check.linesCounted == plan.linesCounted && check.linesSent == plan.linesSent &&
            check.bytesSent == plan.bytesSent && check.blockPauses == plan.blockPauses &&
            check.refusedLine == plan.refusedLine);
    // Never more lines than the file holds; every line of a chosen block goes out.
    Require(plan.linesSent <= plan.lines - plan.emptyLines);
    if (plan.engineResult == kTransferDone) Require(plan.linesCounted <= plan.linesSent);
    Rig rig;
    const std::int16_t result = SendRomFile(rig.window, FilePath(), mask);
    std::remove(FilePath().c_str());

    Require(result == check.engineResult);
    if (result != kTransferDone) {
        Require(rig.line.Writes().empty());
        return 0;
    }
    Require(!rig.line.Writes().empty() && rig.line.Writes().back().bytes == kEndOfFileByte);
    const std::size_t lines = rig.line.Writes().size() - 1;
    Require(lines == static_cast<std::size_t>(check.linesSent));
    Require(lines <= static_cast<std::size_t>(check.lines));
    std::int64_t bytes = 0;
    int pauses = 0;
    for (std::size_t i = 0; i < rig.line.Writes().size(); ++i) {
        const std::string& out = rig.line.Writes()[i].bytes;
        bytes += static_cast<std::int64_t>(out.size());
        if (i < lines)
            Require(out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0);
        else
            Require(out == kEndOfFileByte);
        // Only a block pause waits idle between two sends.
        if (i > 0 && rig.idleWaitsAtWrite[i] != rig.idleWaitsAtWrite[i - 1]) ++pauses;
    }
    Require(bytes == check.bytesSent);
    Require(pauses == check.blockPauses);
    Require(rig.form.ProgressBar1.Value == rig.form.ProgressBar1.Max);
    return 0;
}

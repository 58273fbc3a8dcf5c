#pragma once
// A main window on the virtual host, with ports that tests set up: which
// exist, and whether opening them succeeds. Nothing arrives on their lines.

#include <memory>
#include <string>

#include "link/Link.h"
#include "startup/RunState.h"
#include "support/ScriptedLine.h"
#include "support/TempDir.h"
#include "support/TestHost.h"
#include "ui/Frmdown.h"

namespace mirvok::test {

struct WindowBench {
    TestHost host;
    ScriptedPorts ports{host.Clock()};
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

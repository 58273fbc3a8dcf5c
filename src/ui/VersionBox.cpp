#include "VersionBox.h"

#include "Frmdown.h"
#include "startup/Host.h"
#include "startup/RunState.h"

namespace mirvok {

std::string VersionBoxText(const std::string& iniPath) {
    const std::string newline = "\r\n";
    const std::string version = std::string("Ver ") + kVersionText;
    return "Title       \t" + std::string(kAppTitle) + newline + newline +  //
           "Version     " + version + newline + newline +                   //
           "Description " + kFileDescription + newline + newline +          //
           kCopyright + newline + newline +                                 //
           "Settings    " + iniPath;
}

void Frmdown::MnuVer_Click() {
    window.host.MsgBox(VersionBoxText(window.run.IniPath), MsgIcon::Information, kVersionBoxTitle);
}

}  // namespace mirvok

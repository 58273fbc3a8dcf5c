#include "VersionBox.h"

#include "Frmdown.h"
#include "startup/Host.h"

namespace mirvok {

std::string VersionBoxText() {
    const std::string newline = "\r\n";
    const std::string version = std::string("Ver ") + kVersionText;
    return "Title       \t" + std::string(kAppTitle) + newline + newline +  //
           "Version     " + version + newline + newline +                   //
           "Description " + kFileDescription + newline + newline +          //
           kCopyright;
}

void Frmdown::MnuVer_Click() {
    window.host.MsgBox(VersionBoxText(), MsgIcon::Information, kVersionBoxTitle);
}

}  // namespace mirvok

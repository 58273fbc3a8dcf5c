#include "ProgramWindow.h"

#include "startup/RunState.h"

namespace mirvok {

ProgramWindow::ProgramWindow(RunState& run)
    : ports_(run.IniPath),
      remotePorts_(ports_, run.IniPath, remote::ReportOnStandardError),
      link_(remotePorts_),
      frm_(host_, link_, run) {
    frm_.Form_Load();
    view_ = std::make_unique<MainView>(frm_, &host_);
    view_->show();
}

}  // namespace mirvok

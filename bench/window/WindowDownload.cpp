// mirvok-window-download: the mirvok window driven as an operator drives it,
// for the benchmark. It loads the given settings file, opens the file given
// as the window's command line, sets the block check boxes to the mask,
// presses ﾀﾞｳﾝﾛｰﾄﾞ開始 and answers every message box with its first button
// (OK, Yes, Retry). It ends when the download handler has returned.
//
//     mirvok-window-download SETTINGS_FILE S_RECORD_FILE MASK
//
// MASK is nine 0/1 characters, block 0 first; 111111111 sends the whole file
// with the block selection off. Run it with QT_QPA_PLATFORM=offscreen where
// no display is wanted.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <string>

#include "download/BlockMask.h"
#include "link/serial/EarlyPortDiscovery.h"
#include "startup/RunState.h"
#include "startup/StartupMain.h"
#include "ui/qt/MainView.h"
#include "ui/qt/ProgramWindow.h"
#include "ui/qt/WindowFont.h"

namespace {

// Often enough that an answered box costs the transfer little.
constexpr int kBoxAnswerIntervalMs = 20;

// The first button of an open message box: the one a --yes answer takes.
void AnswerOpenBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    for (QAbstractButton* button : box->buttons()) {
        const QMessageBox::ButtonRole role = box->buttonRole(button);
        if (role == QMessageBox::AcceptRole || role == QMessageBox::YesRole) {
            button->click();
            return;
        }
    }
}

// A click on the widget, as the operator's mouse would give it.
bool ClickWidget(const mirvok::MainView& view, const std::string& control) {
    auto* button = qobject_cast<QAbstractButton*>(view.WidgetOf(control));
    if (!button || !button->isEnabled()) {
        std::fprintf(stderr, "mirvok-window-download: %s cannot be clicked\n", control.c_str());
        return false;
    }
    button->click();
    return true;
}

bool SetChecked(const mirvok::MainView& view, const std::string& control, bool checked) {
    auto* box = qobject_cast<QAbstractButton*>(view.WidgetOf(control));
    if (box && box->isChecked() == checked) return true;
    return ClickWidget(view, control);
}

bool ChooseBlocks(const mirvok::MainView& view, const std::string& mask) {
    const bool selective = mask != mirvok::kWholeFileMask;
    if (!SetChecked(view, "BLKCheck1", selective)) return false;
    if (!selective) return true;
    for (int k = 0; k < mirvok::kBlockCount; ++k)
        if (!SetChecked(view, "BLK_Address(" + std::to_string(k) + ")",
                        mask[static_cast<std::size_t>(k)] == '1'))
            return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const mirvok::serial::EarlyPortDiscovery portDiscovery;  // as the mirvok program does
    QApplication app(argc, argv);
    if (argc != 4 || !mirvok::IsBlockMask(argv[3])) {
        std::fprintf(stderr, "usage: mirvok-window-download SETTINGS_FILE S_RECORD_FILE MASK\n");
        return 2;
    }
    mirvok::UseWindowFont(app);

    mirvok::RunState run;
    run.IniPath = argv[1];
    run.CommandLine = argv[2];
    mirvok::LoadOrCreateSettings(run);

    mirvok::ProgramWindow window(run);
    const mirvok::MainView& view = window.View();

    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, AnswerOpenBox);
    answering.start(kBoxAnswerIntervalMs);

    int exitCode = 0;
    const std::string mask = argv[3];
    QTimer::singleShot(0, [&] {
        // The handler runs the whole download, yielding to the event loop.
        if (!ChooseBlocks(view, mask) || !ClickWidget(view, "CmdStart")) exitCode = 1;
        QApplication::quit();
    });
    QApplication::exec();
    return exitCode;
}

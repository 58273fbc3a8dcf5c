#include "MainView.h"

#include <QCoreApplication>
#include <cstdlib>

#include "QtHost.h"
#include "ui/Frmdown.h"

// The Qt view's construction and its look-ups; creating the widgets,
// mirroring the model, the operator's events and the menu bar each have a
// file of their own (MainViewControls, MainViewSync, MainViewEvents,
// MainViewMenus).

namespace mirvok {

namespace {

// While a handler yields to the event loop, the window is brought up to date
// at most this often.
constexpr int kSyncIntervalMs = 15;

}  // namespace

MainView::MainView(Frmdown& frm, QtHost* host) : frm_(frm), host_(host) {
    client_ = new QWidget(this);
    setCentralWidget(client_);
    BuildMenus();
    BuildControls();
    frm_.OnUnloaded = [this] { Unloaded(); };
    if (host_) {
        host_->SetParentWindow(this);
        host_->AfterEvents = [this] {
            if (sinceSync_.elapsed() >= kSyncIntervalMs) Sync();
        };
        host_->Refresh = [this] { Sync(); };
    }
    sinceSync_.start();
    Sync();
}

MainView::~MainView() {
    frm_.OnUnloaded = nullptr;
    if (host_) {
        host_->AfterEvents = nullptr;
        host_->Refresh = nullptr;
        host_->SetParentWindow(nullptr);
    }
}

// The close guard let the window go: the program ends. When an operation was
// running underneath, it is abandoned where it stands.
void MainView::Unloaded() {
    hide();
    if (depth_ > 1) std::exit(0);
    QCoreApplication::quit();
}

QWidget* MainView::WidgetOf(const std::string& name) const {
    for (const auto& [control, widget] : bindings_)
        if (control->Name == name) return widget;
    return nullptr;
}

}  // namespace mirvok

#pragma once
// The main window on screen. It holds no state of its own: every widget
// mirrors one control of the window model, placed at the model's twips, and
// every operator event goes to the model's handlers by control name. After
// each event, and while the handlers yield to the event loop, the widgets
// whose controls changed (by their change marks) are brought into line with
// the model again, and the widget the operator used, which may have changed
// itself.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPoint>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QAction;

namespace mirvok {

class Frmdown;
class QtHost;
class Control;
struct MenuItem;

class MainView : public QMainWindow {
public:
    // The host, when given, reports the handlers' yields so that the window
    // follows a running operation.
    MainView(Frmdown& frm, QtHost* host);
    ~MainView() override;

    // Brings the widgets, menus and the window that changed since the last
    // call into line with the model.
    void Sync();

    QWidget* WidgetOf(const std::string& controlName) const;
    QAction* ActionOf(const std::string& menuItemName) const;
    QWidget* Client() const { return client_; }

protected:
    // The window's own events, and the widgets' events that have no signal
    // (MainViewEvents.cpp).
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction and look-ups (MainView.cpp).
    void Unloaded();

    // Runs a model event from the operator's use of `source`, then shows its
    // effect; the source is brought into line too, as it may have changed
    // itself (a check box ticks itself before the model says so).
    template <class Event>
    void Forward(QObject* source, Event&& event) {
        touched_.push_back(source);
        ++depth_;
        event();
        --depth_;
        Sync();
    }
    bool Touched(const QObject* object) const;

    // Creating the widgets (MainViewControls.cpp).
    void BuildControls();
    QWidget* CreateWidget(Control& control, QWidget* parent);
    void ConnectEvents(Control& control, QWidget* widget);
    void BuildFocusOrder();

    // Mirroring the model (MainViewSync.cpp).
    void SyncWindow();
    void SyncControl(Control& control, QWidget* widget);
    void SyncContent(Control& control, QWidget* widget);
    void SyncTabStops();
    void SyncFocus();
    void ParkFocus();

    // The menu bar (MainViewMenus.cpp).
    void BuildMenus();
    void SyncMenus(bool all);

    Frmdown& frm_;
    QtHost* host_;
    QWidget* client_ = nullptr;
    std::vector<std::pair<Control*, QWidget*>> bindings_;
    std::map<const Control*, QWidget*> widgets_;
    std::map<const QObject*, Control*> controlOf_;
    std::vector<std::pair<MenuItem*, QAction*>> actions_;
    int depth_ = 0;  // model events running, nested ones included
    bool syncing_ = false;
    QPoint appliedPosition_{-1000000, -1000000};
    const Control* appliedFocus_ = nullptr;
    std::uint64_t painted_ = 0;            // the change clock when the widgets were last brought into line
    std::vector<const QObject*> touched_;  // what the operator used since then
    QElapsedTimer sinceSync_;
};

}  // namespace mirvok

#pragma once
// The main window on screen. It holds no state of its own: every widget
// mirrors one control of the window model, placed at the model's twips, and
// every operator event goes to the model's handlers by control name. After
// each event, and while the handlers yield to the event loop, the widgets are
// brought into line with the model again.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPoint>
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

    // Brings every widget, menu and the window itself into line with the model.
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

    // Runs a model event, then shows its effect.
    template <class Event>
    void Forward(Event&& event) {
        ++depth_;
        event();
        --depth_;
        Sync();
    }

    // Creating the widgets (MainViewControls.cpp).
    void BuildControls();
    QWidget* CreateWidget(Control& control, QWidget* parent);
    void ConnectEvents(Control& control, QWidget* widget);
    void BuildFocusOrder();

    // Mirroring the model (MainViewSync.cpp).
    void SyncWindow();
    void SyncControl(Control& control, QWidget* widget);
    void SyncContent(Control& control, QWidget* widget);
    void SyncFocus();
    void ParkFocus();

    // The menu bar (MainViewMenus.cpp).
    void BuildMenus();
    void SyncMenus();

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
    QElapsedTimer sinceSync_;
};

}  // namespace mirvok

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>

#include "MainView.h"
#include "ViewUnits.h"
#include "ui/Focus.h"
#include "ui/Frmdown.h"

// The Qt view's events that the widgets have no signal for (focus, the right
// button, a click in the file box, the arrow keys in an option group), and the
// window's own: close, move and minimise.

namespace mirvok {

bool MainView::eventFilter(QObject* watched, QEvent* event) {
    auto it = controlOf_.find(watched);
    if (it == controlOf_.end() || syncing_) return QMainWindow::eventFilter(watched, event);
    const std::string name = it->second->Name;
    switch (event->type()) {
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool inside = static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
            if (inside && mouse->button() == Qt::RightButton)
                Forward(watched, [&] { frm_.RightButtonUp(name); });
            else if (inside && mouse->button() == Qt::LeftButton && it->second->Kind == ControlKind::TextBox)
                Forward(watched, [&] { frm_.Click(name); });
            break;
        }
        case QEvent::KeyPress: {
            const auto* press = static_cast<QKeyEvent*>(event);
            const int key = press->key();
            const bool alt = press->modifiers() & Qt::AltModifier;
            const bool opensList = (key == Qt::Key_F4 && !press->modifiers()) ||
                                   (alt && (key == Qt::Key_Down || key == Qt::Key_Up));
            if (opensList) {
                if (const ListControl* list = DropDownFrom(frm_.form, *it->second)) {
                    static_cast<QComboBox*>(widgets_.at(list))->showPopup();
                    return true;
                }
            }
            const bool arrow =
                key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
            if (arrow && it->second->Kind == ControlKind::OptionButton) {
                Forward(watched, [&] { frm_.MoveInGroup(name, key == Qt::Key_Up || key == Qt::Key_Left); });
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
            Forward(watched, [&] { frm_.Focus(name, true); });
            break;
        case QEvent::FocusOut:
            Forward(watched, [&] { frm_.Focus(name, false); });
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainView::closeEvent(QCloseEvent* event) {
    if (!frm_.Unloaded()) Forward(this, [&] { frm_.Unload(); });
    if (frm_.Unloaded())
        event->accept();
    else
        event->ignore();
}

void MainView::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (syncing_) return;
    frm_.form.Left = Twips(pos().x());
    frm_.form.Top = Twips(pos().y());
    appliedPosition_ = QPoint(frm_.form.Left, frm_.form.Top);
}

void MainView::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    frm_.form.State = isMinimized()   ? WindowState::Minimized
                      : isMaximized() ? WindowState::Maximized
                                      : WindowState::Normal;
}

}  // namespace mirvok

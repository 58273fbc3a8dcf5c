#include "MainView.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdlib>

#include "PaintedWidgets.h"
#include "QtHost.h"
#include "QtText.h"
#include "ViewUnits.h"
#include "ui/Focus.h"
#include "ui/Frmdown.h"
#include "ui/TickHeight.h"

namespace mirvok {

namespace {

// While a handler yields to the event loop, the window is brought up to date
// at most this often.
constexpr int kSyncIntervalMs = 15;

// A background shows in every state of the control.
void SetBackground(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    if (w->palette().color(QPalette::Active, role) == colour && w->autoFillBackground()) return;
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// A colour of the enabled control; a disabled one keeps the style's greyed look.
void SetColour(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    if (w->palette().color(QPalette::Active, role) == colour &&
        w->palette().color(QPalette::Inactive, role) == colour)
        return;
    QPalette p = w->palette();
    p.setColor(QPalette::Active, role, colour);
    p.setColor(QPalette::Inactive, role, colour);
    w->setPalette(p);
}

QRect ShownRect(const Control& c) {
    QRect r = PxRect(c);
    const ShownSpan span = TickSpan(c, r.top(), r.height(), kMinTickHeightPx);
    r.moveTop(span.top);
    r.setHeight(span.height);
    return r;
}

void SyncItems(QComboBox* box, const ListControl& list) {
    bool same = box->count() == list.ListCount();
    for (int i = 0; same && i < list.ListCount(); ++i)
        same = box->itemText(i) == Q(list.Items[static_cast<std::size_t>(i)].text);
    if (!same) {
        box->clear();
        for (const auto& item : list.Items) box->addItem(Q(item.text));
    }
    if (box->currentIndex() != list.ListIndex) box->setCurrentIndex(list.ListIndex);
}

void SyncItems(QListWidget* box, const ListControl& list) {
    bool same = box->count() == list.ListCount();
    for (int i = 0; same && i < list.ListCount(); ++i)
        same = box->item(i)->text() == Q(list.Items[static_cast<std::size_t>(i)].text);
    if (!same) {
        box->clear();
        for (const auto& item : list.Items) box->addItem(Q(item.text));
    }
    if (box->currentRow() != list.ListIndex) box->setCurrentRow(list.ListIndex);
}

void SyncLineEdit(QLineEdit* edit, const std::string& text, int caret) {
    const QString wanted = Q(text);
    if (edit->text() != wanted) edit->setText(wanted);
    const int at = std::clamp(caret, 0, static_cast<int>(wanted.size()));
    if (edit->cursorPosition() != at) edit->setCursorPosition(at);
}

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

template <class Event>
void MainView::Forward(Event&& event) {
    ++depth_;
    event();
    --depth_;
    Sync();
}

// ---- Building.

void MainView::BuildMenus() {
    std::map<const MenuItem*, QMenu*> menus;
    const std::vector<MenuItem*> items = frm_.form.AllMenuItems();
    for (MenuItem* item : items) {
        QAction* action = nullptr;
        if (!item->Parent) {
            const bool hasItems =
                std::any_of(items.begin(), items.end(), [&](const MenuItem* m) { return m->Parent == item; });
            if (hasItems) {
                QMenu* menu = menuBar()->addMenu(Q(item->Caption));
                menus[item] = menu;
                action = menu->menuAction();
            } else {
                action = menuBar()->addAction(Q(item->Caption));
            }
        } else if (item->Separator) {
            action = menus.at(item->Parent)->addSeparator();
        } else {
            action = menus.at(item->Parent)->addAction(Q(item->Caption));
        }
        if (!item->Separator && !menus.count(item)) {
            const std::string name = item->Name;
            connect(action, &QAction::triggered, this,
                    [this, name] { Forward([&] { frm_.ChooseMenu(name); }); });
        }
        action->setObjectName(Q(item->Name));
        actions_.emplace_back(item, action);
    }
}

void MainView::BuildControls() {
    for (Control* c : frm_.form.AllControls()) {
        QWidget* parent = c->Container ? widgets_.at(c->Container) : client_;
        QWidget* w = CreateWidget(*c, parent);
        w->setObjectName(Q(c->Name));
        widgets_[c] = w;
        controlOf_[w] = c;
        bindings_.emplace_back(c, w);
        ConnectEvents(*c, w);
    }
    // The file box lies over the history combo, whose drop-down button alone shows.
    widgets_.at(&frm_.form.TxXferFileName)->raise();
    BuildFocusOrder();
}

// The Tab key follows the model's order; what is no stop takes the focus
// only from a click.
void MainView::BuildFocusOrder() {
    for (auto& [control, widget] : bindings_)
        if (!TakesFocus(*control)) widget->setFocusPolicy(Qt::NoFocus);
    QWidget* previous = nullptr;
    for (const FocusPlace& place : FocusOrder(frm_.form)) {
        for (Control* c : place.members) {
            QWidget* w = widgets_.at(c);
            w->setFocusPolicy(place.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
            if (previous) setTabOrder(previous, w);
            previous = w;
        }
    }
}

QWidget* MainView::CreateWidget(Control& c, QWidget* parent) {
    switch (c.Kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            if (frm_.form.FramedLabel(c)) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setAlignment(Qt::AlignVCenter |
                                (frm_.form.CentredLabel(c) ? Qt::AlignHCenter : Qt::AlignLeft));
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case ControlKind::CaptionBox: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setContentsMargins(3, 0, 3, 0);
            return label;
        }
        case ControlKind::Button: {
            // Enter presses the focused button, as in a Windows window.
            auto* button = new QPushButton(parent);
            button->setAutoDefault(true);
            return button;
        }
        case ControlKind::TextBox:
            return new QLineEdit(parent);
        case ControlKind::ComboList:
            return new QComboBox(parent);
        case ControlKind::ComboEdit: {
            auto* box = new QComboBox(parent);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            return box;
        }
        case ControlKind::ListBox:
            return new QListWidget(parent);
        case ControlKind::CheckBox:
            return new QCheckBox(parent);
        case ControlKind::OptionButton: {
            auto* option = new QRadioButton(parent);
            option->setAutoExclusive(false);  // the model decides which one is selected
            return option;
        }
        case ControlKind::Panel:
            return new QFrame(parent);
        case ControlKind::Picture:
            return new IconPicture(
                &c == &frm_.form.ImgSTOP ? IconPicture::Icon::Stop : IconPicture::Icon::Start, parent);
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::Shape:
            return new ShapeWidget(parent);
        case ControlKind::Line:
            return new LineWidget(parent);
    }
    return new QWidget(parent);
}

void MainView::ConnectEvents(Control& c, QWidget* w) {
    const std::string name = c.Name;
    auto click = [this, name] { Forward([&] { frm_.Click(name); }); };
    auto forwardEdits = [this, name](QLineEdit* edit) {
        connect(edit, &QLineEdit::textEdited, this, [this, name, edit](const QString& text) {
            Forward([&] { frm_.EditText(name, text.toStdString(), edit->cursorPosition()); });
        });
    };
    if (TakesFocus(c)) w->installEventFilter(this);  // focus; right-button release, arrow keys
    switch (c.Kind) {
        case ControlKind::Button:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, this, click);
            break;
        case ControlKind::Picture:
            static_cast<IconPicture*>(w)->OnRelease = [click](Qt::MouseButton button) {
                if (button == Qt::LeftButton) click();
            };
            break;
        case ControlKind::ComboList:
        case ControlKind::ComboEdit: {
            auto* box = static_cast<QComboBox*>(w);
            connect(box, &QComboBox::activated, this,
                    [this, name](int index) { Forward([&] { frm_.Choose(name, index); }); });
            if (QLineEdit* edit = box->lineEdit()) forwardEdits(edit);
            break;
        }
        case ControlKind::TextBox:
            forwardEdits(static_cast<QLineEdit*>(w));
            break;
        default:
            break;
    }
}

// ---- Events the widgets have no signal for, and the window's own.

bool MainView::eventFilter(QObject* watched, QEvent* event) {
    auto it = controlOf_.find(watched);
    if (it == controlOf_.end() || syncing_) return QMainWindow::eventFilter(watched, event);
    const std::string name = it->second->Name;
    switch (event->type()) {
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool inside = static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
            if (inside && mouse->button() == Qt::RightButton)
                Forward([&] { frm_.RightButtonUp(name); });
            else if (inside && mouse->button() == Qt::LeftButton && it->second->Kind == ControlKind::TextBox)
                Forward([&] { frm_.Click(name); });
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            const bool arrow =
                key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
            if (arrow && it->second->Kind == ControlKind::OptionButton) {
                Forward([&] { frm_.MoveInGroup(name, key == Qt::Key_Up || key == Qt::Key_Left); });
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
            Forward([&] { frm_.Focus(name, true); });
            break;
        case QEvent::FocusOut:
            Forward([&] { frm_.Focus(name, false); });
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainView::closeEvent(QCloseEvent* event) {
    if (!frm_.Unloaded()) Forward([&] { frm_.Unload(); });
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

// The close guard let the window go: the program ends. When an operation was
// running underneath, it is abandoned where it stands.
void MainView::Unloaded() {
    hide();
    if (depth_ > 1) std::exit(0);
    QCoreApplication::quit();
}

// ---- Mirroring the model.

void MainView::Sync() {
    if (syncing_) return;
    syncing_ = true;
    KeepFocus(frm_.form);
    SyncWindow();
    for (auto& [control, widget] : bindings_) SyncControl(*control, widget);
    SyncMenus();
    SyncFocus();
    syncing_ = false;
    sinceSync_.restart();
}

// Each option group is one Tab stop, its landing button; the focus is where
// the model has it.
void MainView::SyncFocus() {
    for (const FocusPlace& place : FocusOrder(frm_.form)) {
        if (place.members.size() < 2) continue;
        const Control* landing = LandingOf(frm_.form, place);
        for (Control* c : place.members) {
            const Qt::FocusPolicy policy = c == landing ? Qt::StrongFocus : Qt::ClickFocus;
            if (widgets_.at(c)->focusPolicy() != policy) widgets_.at(c)->setFocusPolicy(policy);
        }
    }
    // Applied when the model moved it, or when the widgets lost it (a
    // disabled or hidden one), never while the operator moves it.
    const Control* focused = frm_.form.Focused;
    QWidget* now = focusWidget();
    const bool lost = !now || !now->isEnabled() || !now->isVisible();
    if (focused == appliedFocus_ && !lost) return;
    if (!focused || !Reachable(frm_.form, *focused)) return;
    appliedFocus_ = focused;
    QWidget* w = widgets_.at(focused);
    if (now != w && !w->isAncestorOf(now)) w->setFocus(Qt::OtherFocusReason);
}

void MainView::SyncWindow() {
    const FormState& f = frm_.form;
    if (windowTitle() != Q(f.Caption)) setWindowTitle(Q(f.Caption));
    const QSize client = ClientSizePx(f.Width, f.Height);
    if (client_->size() != client || client_->minimumSize() != client) {
        client_->setFixedSize(client);
        setFixedSize(client.width(), client.height() + menuBar()->sizeHint().height());
    }
    const QPoint position(f.Left, f.Top);
    if (position != appliedPosition_) {
        appliedPosition_ = position;
        move(Px(f.Left), Px(f.Top));
    }
}

void MainView::SyncControl(Control& c, QWidget* w) {
    const QSignalBlocker block(w);
    const QRect geometry = ShownRect(c);
    if (w->geometry() != geometry) w->setGeometry(geometry);
    // What lies out of the window's view is out of reach too.
    const bool inView = InView(frm_.form, c);
    if (w->isEnabledTo(w->parentWidget()) != (c.Enabled && inView)) w->setEnabled(c.Enabled && inView);
    if (w->isHidden() == (c.Visible && inView)) w->setVisible(c.Visible && inView);
    if (w->toolTip() != Q(c.ToolTip)) w->setToolTip(Q(c.ToolTip));
    const QColor back = ColourOf(c.BackColor);
    const QColor fore = ColourOf(c.ForeColor);

    switch (c.Kind) {
        case ControlKind::Label: {
            auto* label = static_cast<QLabel*>(w);
            if (label->text() != DisplayText(c.Caption)) label->setText(DisplayText(c.Caption));
            SetBackground(label, QPalette::Window, back);
            SetColour(label, QPalette::WindowText, fore);
            break;
        }
        case ControlKind::CaptionBox: {
            auto* label = static_cast<QLabel*>(w);
            const QString text = DisplayText(static_cast<TextBox&>(c).Text);
            if (label->text() != text) label->setText(text);
            SetBackground(label, QPalette::Window, back);
            break;
        }
        case ControlKind::Button: {
            auto* button = static_cast<QPushButton*>(w);
            if (button->text() != DisplayText(c.Caption)) button->setText(DisplayText(c.Caption));
            break;
        }
        case ControlKind::TextBox: {
            auto& box = static_cast<TextBox&>(c);
            auto* edit = static_cast<QLineEdit*>(w);
            SyncLineEdit(edit, box.Text, box.SelStart);
            SetBackground(edit, QPalette::Base, back);
            SetColour(edit, QPalette::Text, fore);
            break;
        }
        case ControlKind::ComboList:
        case ControlKind::ComboEdit: {
            auto& list = static_cast<ListControl&>(c);
            auto* box = static_cast<QComboBox*>(w);
            SyncItems(box, list);
            if (QLineEdit* edit = box->lineEdit()) {
                const QSignalBlocker blockEdit(edit);
                SyncLineEdit(edit, list.Text, list.SelStart);
            }
            SetBackground(box, QPalette::Base, back);
            SetBackground(box, QPalette::Button, back);
            SetColour(box, QPalette::Text, fore);
            SetColour(box, QPalette::ButtonText, fore);
            break;
        }
        case ControlKind::ListBox:
            SyncItems(static_cast<QListWidget*>(w), static_cast<ListControl&>(c));
            break;
        case ControlKind::CheckBox: {
            auto* box = static_cast<QCheckBox*>(w);
            if (box->text() != DisplayText(c.Caption)) box->setText(DisplayText(c.Caption));
            const bool checked = static_cast<CheckBox&>(c).Value == 1;
            if (box->isChecked() != checked) box->setChecked(checked);
            break;
        }
        case ControlKind::OptionButton: {
            auto* option = static_cast<QRadioButton*>(w);
            if (option->text() != DisplayText(c.Caption)) option->setText(DisplayText(c.Caption));
            const bool selected = static_cast<OptionButton&>(c).Value;
            if (option->isChecked() != selected) option->setChecked(selected);
            break;
        }
        case ControlKind::Panel: {
            auto* frame = static_cast<QFrame*>(w);
            // Flat: an etched single line, as a group's border. Raised: a 3-D panel.
            const int style = c.Raised ? (QFrame::Panel | QFrame::Raised) : (QFrame::Box | QFrame::Sunken);
            if (frame->frameStyle() != style) frame->setFrameStyle(style);
            if (frame->lineWidth() != (c.Raised ? 2 : 1)) frame->setLineWidth(c.Raised ? 2 : 1);
            SetBackground(frame, QPalette::Window, back);
            break;
        }
        case ControlKind::Picture: {
            // A picture acts only while its button does, and is drawn so.
            static_cast<IconPicture*>(w)->SetAvailable(frm_.form.ButtonOfPicture(c).EffectivelyEnabled());
            break;
        }
        case ControlKind::ProgressBar: {
            auto& model = static_cast<ProgressBar&>(c);
            auto* bar = static_cast<QProgressBar*>(w);
            if (bar->minimum() != model.Min || bar->maximum() != model.Max)
                bar->setRange(model.Min, model.Max);
            if (bar->value() != model.Value) bar->setValue(model.Value);
            break;
        }
        case ControlKind::Shape:
            static_cast<ShapeWidget*>(w)->SetFill(back);
            break;
        case ControlKind::Line:
            static_cast<LineWidget*>(w)->SetColour(fore);
            break;
    }
}

void MainView::SyncMenus() {
    for (auto& [item, action] : actions_) {
        if (item->Separator) {
            if (action->isVisible() != item->Visible) action->setVisible(item->Visible);
            continue;
        }
        if (action->text() != Q(item->Caption)) action->setText(Q(item->Caption));
        if (action->isEnabled() != item->Enabled) action->setEnabled(item->Enabled);
        if (action->isVisible() != item->Visible) action->setVisible(item->Visible);
        if (action->isCheckable() != item->Checked) action->setCheckable(item->Checked);
        if (action->isChecked() != item->Checked) action->setChecked(item->Checked);
    }
}

QWidget* MainView::WidgetOf(const std::string& name) const {
    for (const auto& [control, widget] : bindings_)
        if (control->Name == name) return widget;
    return nullptr;
}

QAction* MainView::ActionOf(const std::string& name) const {
    for (const auto& [item, action] : actions_)
        if (item->Name == name) return action;
    return nullptr;
}

}  // namespace mirvok

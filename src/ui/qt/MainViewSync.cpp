#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <algorithm>

#include "MainView.h"
#include "PaintedWidgets.h"
#include "QtText.h"
#include "ViewUnits.h"
#include "ui/Focus.h"
#include "ui/Frmdown.h"
#include "ui/TickHeight.h"

// Mirroring the model in the Qt view: the window's caption, size and place;
// each widget's place, reach and tooltip, then what its kind shows; the Tab
// stops and the focus.

namespace mirvok {

namespace {

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

// ---- What each kind of control shows.

void SyncLabel(QLabel* label, const Control& c) {
    if (label->text() != DisplayText(c.Caption)) label->setText(DisplayText(c.Caption));
    SetBackground(label, QPalette::Window, ColourOf(c.BackColor));
    SetColour(label, QPalette::WindowText, ColourOf(c.ForeColor));
}

void SyncCaptionBox(QLabel* label, const TextBox& box) {
    const QString text = DisplayText(box.Text);
    if (label->text() != text) label->setText(text);
    SetBackground(label, QPalette::Window, ColourOf(box.BackColor));
}

// The caption of a button, check box or option button.
void SyncCaption(QAbstractButton* button, const Control& c) {
    if (button->text() != DisplayText(c.Caption)) button->setText(DisplayText(c.Caption));
}

void SyncChecked(QAbstractButton* button, bool checked) {
    if (button->isChecked() != checked) button->setChecked(checked);
}

void SyncTextBox(QLineEdit* edit, const TextBox& box) {
    SyncLineEdit(edit, box.Text, box.SelStart);
    SetBackground(edit, QPalette::Base, ColourOf(box.BackColor));
    SetColour(edit, QPalette::Text, ColourOf(box.ForeColor));
}

void SyncCombo(QComboBox* box, const ListControl& list) {
    SyncItems(box, list);
    if (QLineEdit* edit = box->lineEdit()) {
        const QSignalBlocker blockEdit(edit);
        SyncLineEdit(edit, list.Text, list.SelStart);
    }
    const QColor back = ColourOf(list.BackColor);
    const QColor fore = ColourOf(list.ForeColor);
    SetBackground(box, QPalette::Base, back);
    SetBackground(box, QPalette::Button, back);
    SetColour(box, QPalette::Text, fore);
    SetColour(box, QPalette::ButtonText, fore);
}

// Flat: an etched single line, as a group's border. Raised: a 3-D panel.
void SyncPanel(QFrame* frame, const Control& c) {
    const int style = c.Raised ? (QFrame::Panel | QFrame::Raised) : (QFrame::Box | QFrame::Sunken);
    if (frame->frameStyle() != style) frame->setFrameStyle(style);
    if (frame->lineWidth() != (c.Raised ? 2 : 1)) frame->setLineWidth(c.Raised ? 2 : 1);
    SetBackground(frame, QPalette::Window, ColourOf(c.BackColor));
}

void SyncProgressBar(QProgressBar* bar, const ProgressBar& model) {
    if (bar->minimum() != model.Min || bar->maximum() != model.Max) bar->setRange(model.Min, model.Max);
    if (bar->value() != model.Value) bar->setValue(model.Value);
}

}  // namespace

// ---- The window and its widgets.

void MainView::Sync() {
    if (syncing_) return;
    syncing_ = true;
    KeepFocus(frm_.form);
    ParkFocus();
    const std::uint64_t now = ChangeClock::Now();
    if (now != painted_ || !touched_.empty()) {
        // The window's size decides what lies in view: every control then.
        const bool all = frm_.form.Mark > painted_;
        if (all) SyncWindow();
        for (auto& [control, widget] : bindings_)
            if (all || frm_.form.ShownMark(*control) > painted_ || Touched(widget))
                SyncControl(*control, widget);
        SyncMenus(all);
        SyncTabStops();
        painted_ = now;
        touched_.clear();
    }
    SyncFocus();
    syncing_ = false;
    sinceSync_.restart();
}

bool MainView::Touched(const QObject* object) const {
    for (const QObject* t : touched_)
        if (t == object ||
            (object->isWidgetType() && t && t->isWidgetType() &&
             static_cast<const QWidget*>(object)->isAncestorOf(static_cast<const QWidget*>(t))))
            return true;
    return false;
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
    SyncContent(c, w);
}

void MainView::SyncContent(Control& c, QWidget* w) {
    switch (c.Kind) {
        case ControlKind::Label:
            SyncLabel(static_cast<QLabel*>(w), c);
            break;
        case ControlKind::CaptionBox:
            SyncCaptionBox(static_cast<QLabel*>(w), static_cast<const TextBox&>(c));
            break;
        case ControlKind::Button:
            SyncCaption(static_cast<QPushButton*>(w), c);
            break;
        case ControlKind::TextBox:
            SyncTextBox(static_cast<QLineEdit*>(w), static_cast<const TextBox&>(c));
            break;
        case ControlKind::ComboList:
        case ControlKind::ComboEdit:
            SyncCombo(static_cast<QComboBox*>(w), static_cast<const ListControl&>(c));
            break;
        case ControlKind::ListBox:
            SyncItems(static_cast<QListWidget*>(w), static_cast<const ListControl&>(c));
            break;
        case ControlKind::CheckBox:
            SyncCaption(static_cast<QCheckBox*>(w), c);
            SyncChecked(static_cast<QCheckBox*>(w), static_cast<const CheckBox&>(c).Value == 1);
            break;
        case ControlKind::OptionButton:
            SyncCaption(static_cast<QRadioButton*>(w), c);
            SyncChecked(static_cast<QRadioButton*>(w), static_cast<const OptionButton&>(c).Value);
            break;
        case ControlKind::Panel:
            SyncPanel(static_cast<QFrame*>(w), c);
            break;
        case ControlKind::Picture:
            // A picture acts only while its button does, and is drawn so.
            static_cast<IconPicture*>(w)->SetAvailable(frm_.form.ButtonOfPicture(c).EffectivelyEnabled());
            break;
        case ControlKind::ProgressBar:
            SyncProgressBar(static_cast<QProgressBar*>(w), static_cast<const ProgressBar&>(c));
            break;
        case ControlKind::Shape:
            static_cast<ShapeWidget*>(w)->SetFill(ColourOf(c.BackColor));
            break;
        case ControlKind::Line:
            static_cast<LineWidget*>(w)->SetColour(ColourOf(c.ForeColor));
            break;
    }
}

// ---- Tab stops and focus.

// The model's focus rests on a control that can't take it (the pressed
// button, held by its operation): the keyboard waits on the client area,
// where a key does nothing, before the widget is disabled; Qt would
// otherwise hand the focus on to the next widget, one that acts.
void MainView::ParkFocus() {
    const Control* focused = frm_.form.Focused;
    if (!focused || Reachable(frm_.form, *focused)) return;
    QWidget* now = focusWidget();
    if (now && now != client_ && isAncestorOf(now)) client_->setFocus(Qt::OtherFocusReason);
}

// Each option group is one Tab stop, its landing button.
void MainView::SyncTabStops() {
    for (const FocusPlace& place : FocusOrder(frm_.form)) {
        if (place.members.size() < 2) continue;
        const Control* landing = LandingOf(frm_.form, place);
        for (Control* c : place.members) {
            const Qt::FocusPolicy policy = c == landing ? Qt::StrongFocus : Qt::ClickFocus;
            if (widgets_.at(c)->focusPolicy() != policy) widgets_.at(c)->setFocusPolicy(policy);
        }
    }
}

// The focus is where the model has it.
void MainView::SyncFocus() {
    // Applied when the model moved it, or when the widgets lost it (a
    // disabled or hidden one), never while the operator moves it.
    const Control* focused = frm_.form.Focused;
    QWidget* now = focusWidget();
    const bool lost = !now || now == client_ || !now->isEnabled() || !now->isVisible();
    if (focused == appliedFocus_ && !lost) return;
    if (!focused || !Reachable(frm_.form, *focused)) return;
    appliedFocus_ = focused;
    QWidget* w = widgets_.at(focused);
    if (now != w && !w->isAncestorOf(now)) w->setFocus(Qt::OtherFocusReason);
}

}  // namespace mirvok

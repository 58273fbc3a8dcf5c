#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "MainView.h"
#include "PaintedWidgets.h"
#include "QtText.h"
#include "ui/Focus.h"
#include "ui/Frmdown.h"

// Creating the widgets of the Qt view: one for each control of the model in
// its container, its signals wired to the model's handlers, and the Tab
// order.

namespace mirvok {

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
    auto click = [this, name, w] { Forward(w, [&] { frm_.Click(name); }); };
    auto forwardEdits = [this, name](QLineEdit* edit) {
        connect(edit, &QLineEdit::textEdited, this, [this, name, edit](const QString& text) {
            Forward(edit, [&] { frm_.EditText(name, text.toStdString(), edit->cursorPosition()); });
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
                    [this, name, box](int index) { Forward(box, [&] { frm_.Choose(name, index); }); });
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

}  // namespace mirvok

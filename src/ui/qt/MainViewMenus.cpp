#include <QAction>
#include <QMenuBar>
#include <algorithm>

#include "MainView.h"
#include "QtText.h"
#include "ui/Frmdown.h"

// The Qt view's menu bar: an action for each of the model's menu items, their
// captions, checks, greying and visibility kept in line, and a chosen item
// sent to the model.

namespace mirvok {

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
                    [this, name, action] { Forward(action, [&] { frm_.ChooseMenu(name); }); });
        }
        action->setObjectName(Q(item->Name));
        actions_.emplace_back(item, action);
    }
}

void MainView::SyncMenus(bool all) {
    for (auto& [item, action] : actions_) {
        if (!all && item->Mark <= painted_ && !Touched(action)) continue;
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

QAction* MainView::ActionOf(const std::string& name) const {
    for (const auto& [item, action] : actions_)
        if (item->Name == name) return action;
    return nullptr;
}

}  // namespace mirvok

#include <windows.h>

#include <algorithm>

#include "Win32View.h"
#include "Win32ViewIds.h"
#include "startup/WideText.h"
#include "ui/Frmdown.h"

// The Win32 view's menu bar: built from the model's menu items (again when
// one is shown or hidden), their captions, checks and greying kept in line,
// and a chosen item sent to the model.

namespace mirvok {

using namespace win32view;

void Win32View::BuildMenus() {
    HMENU old = menuBar_;
    menuBar_ = CreateMenu();
    menus_.clear();
    const std::vector<MenuItem*> items = frm_.form.AllMenuItems();
    std::map<const MenuItem*, HMENU> popups;
    std::map<HMENU, UINT> count;
    for (std::size_t i = 0; i < items.size(); ++i) {
        MenuItem* item = items[i];
        MenuBinding b;
        b.item = item;
        b.shown = item->Visible;
        HMENU owner = menuBar_;
        if (item->Parent) owner = popups.count(item->Parent) ? popups.at(item->Parent) : nullptr;
        if (!item->Visible || !owner) {
            menus_.push_back(b);
            continue;
        }
        const bool hasItems =
            std::any_of(items.begin(), items.end(), [&](const MenuItem* m) { return m->Parent == item; });
        const std::wstring caption = Wide(item->Caption);
        if (hasItems) {
            b.popup = CreatePopupMenu();
            popups[item] = b.popup;
            AppendMenuW(owner, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(b.popup), caption.c_str());
        } else if (item->Separator) {
            AppendMenuW(owner, MF_SEPARATOR, 0, nullptr);
        } else {
            b.command = kFirstMenuCommand + static_cast<UINT>(i);
            AppendMenuW(owner, MF_STRING, b.command, caption.c_str());
        }
        b.owner = owner;
        b.position = count[owner]++;
        menus_.push_back(b);
    }
    if (window_) SetMenu(window_, menuBar_);
    if (old) DestroyMenu(old);
}

void Win32View::SyncMenus(bool all) {
    bool rebuild = false;
    for (const MenuBinding& m : menus_) rebuild = rebuild || m.shown != m.item->Visible;
    if (rebuild) {
        BuildMenus();
        DrawMenuBar(window_);
    }
    bool barChanged = false;
    for (MenuBinding& m : menus_) {
        if (!m.owner || m.item->Separator) continue;
        if (!all && !rebuild && m.item->Mark <= painted_) continue;
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STATE;
        GetMenuItemInfoW(m.owner, m.position, TRUE, &info);
        const UINT wanted = (m.item->Checked ? MFS_CHECKED : 0u) | (m.item->Enabled ? 0u : MFS_GRAYED);
        const UINT shown = info.fState & (MFS_CHECKED | MFS_GRAYED);
        if (shown == wanted && m.caption == m.item->Caption) continue;
        const std::wstring caption = Wide(m.item->Caption);
        info.fMask = MIIM_STATE | MIIM_STRING;
        info.fState = wanted;
        info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
        SetMenuItemInfoW(m.owner, m.position, TRUE, &info);
        m.caption = m.item->Caption;
        barChanged = barChanged || m.owner == menuBar_;
    }
    if (barChanged) DrawMenuBar(window_);
}

void Win32View::OnMenuCommand(UINT command) {
    if (command < kFirstMenuCommand) return;
    const std::size_t index = command - kFirstMenuCommand;
    if (index < menus_.size() && menus_[index].command) {
        const std::string name = menus_[index].item->Name;
        Forward(nullptr, [&] { frm_.ChooseMenu(name); });
    }
}

UINT Win32View::MenuCommandOf(const std::string& name) const {
    for (const MenuBinding& m : menus_)
        if (m.item->Name == name) return m.command;
    return 0;
}

bool Win32View::MenuItemChecked(const std::string& name) const {
    for (const MenuBinding& m : menus_)
        if (m.item->Name == name && m.owner)
            return (GetMenuState(m.owner, m.position, MF_BYPOSITION) & MF_CHECKED) != 0;
    return false;
}

bool Win32View::MenuItemEnabled(const std::string& name) const {
    for (const MenuBinding& m : menus_)
        if (m.item->Name == name && m.owner)
            return (GetMenuState(m.owner, m.position, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) == 0;
    return false;
}

}  // namespace mirvok

#include "Focus.h"

#include <algorithm>

#include "ClientArea.h"

namespace mirvok {

namespace {

struct Span {
    int left, top, right, bottom;
    bool Empty() const { return left >= right || top >= bottom; }
};

Span Intersect(const Span& a, const Span& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

Span Absolute(const Control& c) {
    int left = c.Left, top = c.Top;
    for (const Control* k = c.Container; k; k = k->Container) {
        left += k->Left;
        top += k->Top;
    }
    return {left, top, left + c.Width, top + c.Height};
}

// Where the control shows in client coordinates, cut by its containers.
Span ShownSpan(const Control& c) {
    Span shown = Absolute(c);
    for (const Control* k = c.Container; k; k = k->Container) shown = Intersect(shown, Absolute(*k));
    return shown;
}

bool CanTakeFocus(const FormState& f, const Control& c) {
    return TakesFocus(c) && Reachable(f, c);
}

// The place that holds `c`, or -1.
int PlaceOf(const std::vector<FocusPlace>& order, const Control* c) {
    for (std::size_t i = 0; i < order.size(); ++i)
        if (std::find(order[i].members.begin(), order[i].members.end(), c) != order[i].members.end())
            return static_cast<int>(i);
    return -1;
}

}  // namespace

bool InView(const FormState& f, const Control& c) {
    const Span client{0, 0, ClientWidthTwips(f.Width), ClientHeightTwips(f.Height)};
    return !Intersect(ShownSpan(c), client).Empty();
}

bool Reachable(const FormState& f, const Control& c) {
    return c.EffectivelyEnabled() && c.EffectivelyVisible() && InView(f, c);
}

bool TakesFocus(const Control& c) {
    switch (c.Kind) {
        case ControlKind::Button:
        case ControlKind::TextBox:
        case ControlKind::ComboList:
        case ControlKind::ComboEdit:
        case ControlKind::ListBox:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            return true;
        default:
            return false;
    }
}

std::vector<FocusPlace> FocusOrder(FormState& f) {
    std::vector<FocusPlace> order;
    auto add = [&](Control& c) { order.push_back({{&c}}); };
    auto group = [&](auto& options) {
        FocusPlace place;
        for (int i = options.First(); i <= options.Last(); ++i) place.members.push_back(&options[i]);
        order.push_back(place);
    };
    // The top row, then the mode panel with the terminal settings.
    add(f.CmbComPort);
    add(f.CmndPortRefresh);
    add(f.CmbSms);
    group(f.Option2);
    add(f.CmdROMVer);
    add(f.CmbBaudRate);
    add(f.CmbParity);
    add(f.CmbDataBits);
    add(f.CmbStopBits);
    group(f.Option1);
    add(f.TxXferFileName);
    order.push_back({{&f.FileNameList}, false});
    add(f.CmdFile);
    // The block boxes stand in three columns of three: row by row.
    add(f.BLKCheck1);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) add(f.BLK_Address[column * 3 + row]);
    add(f.CmdStart);
    add(f.CmdStop);
    // The right-hand column.
    add(f.CmdROMBackup);
    add(f.CmdROMRecovery);
    add(f.Command1);
    add(f.CmdGetDSW);
    return order;
}

Control* LandingOf(const FormState& f, const FocusPlace& place) {
    for (Control* c : place.members)
        if (c->Kind == ControlKind::OptionButton && static_cast<OptionButton*>(c)->Value &&
            CanTakeFocus(f, *c))
            return c;
    for (Control* c : place.members)
        if (CanTakeFocus(f, *c)) return c;
    return nullptr;
}

Control* NextFocus(FormState& f, const Control* from, bool backwards) {
    const std::vector<FocusPlace> order = FocusOrder(f);
    const int count = static_cast<int>(order.size());
    const int at = PlaceOf(order, from);
    const int start = at >= 0 ? at : (backwards ? 0 : count - 1);
    for (int step = 1; step <= count; ++step) {
        const int i = ((start + (backwards ? -step : step)) % count + count) % count;
        if (!order[static_cast<std::size_t>(i)].tabStop) continue;
        if (Control* landing = LandingOf(f, order[static_cast<std::size_t>(i)])) return landing;
    }
    return nullptr;
}

OptionButton* NextInGroup(FormState& f, const Control& from, bool backwards) {
    const std::vector<FocusPlace> order = FocusOrder(f);
    const int at = PlaceOf(order, &from);
    if (at < 0 || from.Kind != ControlKind::OptionButton) return nullptr;
    const std::vector<Control*>& members = order[static_cast<std::size_t>(at)].members;
    const int count = static_cast<int>(members.size());
    const int start = static_cast<int>(std::find(members.begin(), members.end(), &from) - members.begin());
    for (int step = 1; step < count; ++step) {
        Control* c =
            members[static_cast<std::size_t>(((start + (backwards ? -step : step)) % count + count) % count)];
        if (CanTakeFocus(f, *c)) return static_cast<OptionButton*>(c);
    }
    return nullptr;
}

ListControl* DropDownFrom(FormState& f, const Control& c) {
    if (&c != &f.TxXferFileName || !Reachable(f, f.FileNameList)) return nullptr;
    return &f.FileNameList;
}

void PlaceStartFocus(FormState& f) {
    f.Focused = CanTakeFocus(f, f.CmdStart) ? &f.CmdStart : NextFocus(f, nullptr);
}

void KeepFocus(FormState& f) {
    if (!f.Focused) {
        PlaceStartFocus(f);
        return;
    }
    if (CanTakeFocus(f, *f.Focused)) return;
    // While an operation runs (it holds CmdStart), the focus stays on the
    // control that lost it, the pressed button, where a key does nothing:
    // moved on, it would land on a control that acts in the middle of the
    // operation. The operation places it when it gives the window back.
    if (!f.CmdStart.Enabled) return;
    if (Control* next = NextFocus(f, f.Focused)) f.Focused = next;
}

}  // namespace mirvok

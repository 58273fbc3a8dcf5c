#pragma once
// What the operator can reach with mouse and keyboard, and where the keyboard
// focus goes, decided here once for every view.
//
// A control that lies outside the window's client area at its present size
// (the right-hand column of the normal window) is out of reach: no click, no
// Tab, no key reaches it until the window is widened. The Tab key walks the
// stops in reading order, panel by panel, the right-hand column last; an
// option group is one stop, and the arrow keys move inside it. The focus
// never rests on a control that cannot take it: it moves on to the next one
// in Tab order, as a Windows dialog does.

#include <vector>

#include "window/FormState.h"

namespace mirvok {

// Some part of the control lies inside the client area and inside every
// container it sits in.
bool InView(const FormState& f, const Control& c);

// Enabled, visible and in view, with every container.
bool Reachable(const FormState& f, const Control& c);

// Buttons, text boxes, lists, check boxes and option buttons take the focus;
// labels, panels, pictures, shapes and lines do not.
bool TakesFocus(const Control& c);

// One place in the Tab order: a control, or an option group (its buttons in
// index order). The history combo, whose edit field lies under the file box,
// has its place for the mouse but is no Tab stop.
struct FocusPlace {
    std::vector<Control*> members;
    bool tabStop = true;
};

// Every control that can take the focus, in Tab order.
std::vector<FocusPlace> FocusOrder(FormState& f);

// The member of a place that the Tab key lands on: the selected option of a
// group when it is reachable, else its first reachable member; nullptr when
// none is.
Control* LandingOf(const FormState& f, const FocusPlace& place);

// The control that Tab (backwards: Shift+Tab) moves the focus to from
// `from`, wrapping at the ends; nullptr when no stop is reachable.
Control* NextFocus(FormState& f, const Control* from, bool backwards = false);

// The option an arrow key moves to within `from`'s group (wrapping, skipping
// what cannot be reached); nullptr when there is none other.
OptionButton* NextInGroup(FormState& f, const Control& from, bool backwards);

// The history list that F4 or Alt+Down (or Alt+Up) opens from the file box,
// which lies over the history combo's field so that the two look like one
// combo box; nullptr from another control, or while the list is out of reach.
// A combo box itself opens its own list on those keys.
ListControl* DropDownFrom(FormState& f, const Control& c);

// Where the focus rests at start-up: ﾀﾞｳﾝﾛｰﾄﾞ開始 when it is reachable,
// else the first stop.
void PlaceStartFocus(FormState& f);

// Moves the focus on when the focused control can no longer take it
// (disabled, hidden, out of view); with no focus, places it as at start-up.
// When nothing can take it, or while an operation holds CmdStart, the focus
// stays where it was; a view then parks the keyboard where keys do nothing.
void KeepFocus(FormState& f);

}  // namespace mirvok

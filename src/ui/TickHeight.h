#pragma once
// Check boxes and option buttons are laid out no taller than their text in
// places, which would cut their box. Every view shows them at least this tall
// (pixels at 96 dpi), centred on their laid-out place.

#include "window/Controls.h"

namespace mirvok {

inline constexpr int kMinTickHeightPx = 16;

struct ShownSpan {
    int top;
    int height;
};

// Where a control is shown vertically, from its laid-out top and height and
// the least height of a tick control in the view's pixels.
inline ShownSpan TickSpan(const Control& c, int top, int height, int minTickHeight) {
    const bool tick = c.Kind == ControlKind::CheckBox || c.Kind == ControlKind::OptionButton;
    if (!tick || height >= minTickHeight) return {top, height};
    return {top - (minTickHeight - height) / 2, minTickHeight};
}

}  // namespace mirvok

#pragma once
// The state of the window's controls as plain data: what the handlers read
// and change, and what the Qt view mirrors. Positions are in twips relative to
// the container; colours are 0x00BBGGRR values or system colours (0x800000nn).

#include <cstdint>
#include <string>
#include <vector>

namespace mirvok {

using Color = std::uint32_t;

constexpr Color Rgb(int r, int g, int b) {
    return static_cast<Color>(r) | (static_cast<Color>(g) << 8) | (static_cast<Color>(b) << 16);
}
inline constexpr Color kSysWindow = 0x80000005;      // window background
inline constexpr Color kSysButtonFace = 0x8000000F;  // button face
inline constexpr Color kSysWindowText = 0x80000008;
inline constexpr Color kCyan = Rgb(0, 255, 255);
inline constexpr Color kYellow = Rgb(255, 255, 0);
inline constexpr Color kGreen = Rgb(0, 255, 0);
inline constexpr Color kRed = Rgb(255, 0, 0);
inline constexpr Color kMagenta = Rgb(255, 0, 255);
inline constexpr Color kLightGreen = Rgb(128, 255, 128);
inline constexpr Color kLightGrey = Rgb(224, 224, 224);
inline constexpr Color kOrange = Rgb(255, 128, 0);
inline constexpr Color kBlue = Rgb(0, 0, 255);

enum class ControlKind {
    Label,
    Button,
    TextBox,
    CaptionBox,
    ComboList,
    ComboEdit,
    ListBox,
    CheckBox,
    OptionButton,
    Panel,
    Picture,
    ProgressBar,
    Shape,
    Line,
};

class Control {
public:
    Control(std::string name, ControlKind kind, Control* container = nullptr)
        : Name(std::move(name)), Kind(kind), Container(container) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    std::string Name;  // e.g. "Option1(3)"
    ControlKind Kind;
    Control* Container;

    bool Enabled = true;
    bool Visible = true;
    std::string Caption;
    std::string ToolTip;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    Color BackColor = kSysButtonFace;
    Color ForeColor = kSysWindowText;
    bool Raised = false;  // panels: 3-D look instead of a flat single-line border

    // Enabled, and every container it sits in enabled too.
    bool EffectivelyEnabled() const {
        for (const Control* c = this; c; c = c->Container)
            if (!c->Enabled) return false;
        return true;
    }
    bool EffectivelyVisible() const {
        for (const Control* c = this; c; c = c->Container)
            if (!c->Visible) return false;
        return true;
    }
    void Place(int left, int top, int width, int height) {
        Left = left;
        Top = top;
        Width = width;
        Height = height;
    }
};

class TextBox : public Control {
public:
    using Control::Control;
    std::string Text;
    int SelStart = 0;  // caret position in characters
};

class CheckBox : public Control {
public:
    using Control::Control;
    int Value = 0;  // 1 checked, 0 cleared
};

class OptionButton : public Control {
public:
    using Control::Control;
    bool Value = false;
};

class ProgressBar : public Control {
public:
    using Control::Control;
    int Min = 0;
    int Max = 100;
    int Value = 0;
};

// Drop-down lists, the editable history combo and the invisible list box.
class ListControl : public Control {
public:
    using Control::Control;
    struct Item {
        std::string text;
        std::int32_t data = 0;
    };
    std::vector<Item> Items;
    int ListIndex = -1;  // -1: nothing selected
    std::string Text;    // the edit text of an editable combo
    int SelStart = 0;

    void AddItem(std::string text, std::int32_t data = 0) { Items.push_back(Item{std::move(text), data}); }
    void InsertItem(int index, std::string text, std::int32_t data = 0) {
        Items.insert(Items.begin() + index, Item{std::move(text), data});
        if (ListIndex >= index) ++ListIndex;
    }
    void RemoveItem(int index) {
        Items.erase(Items.begin() + index);
        if (ListIndex == index)
            ListIndex = -1;
        else if (ListIndex > index)
            --ListIndex;
    }
    void Clear() {
        Items.clear();
        ListIndex = -1;
    }
    int ListCount() const { return static_cast<int>(Items.size()); }
    // The index of the first item that matches, or -1.
    template <class Match>
    int FindItem(Match match) const {
        for (int i = 0; i < ListCount(); ++i)
            if (match(Items[static_cast<std::size_t>(i)])) return i;
        return -1;
    }
    const Item* Selected() const {
        return ListIndex >= 0 && ListIndex < ListCount() ? &Items[ListIndex] : nullptr;
    }
};

struct MenuItem {
    MenuItem(std::string name, std::string caption, MenuItem* parent = nullptr, bool separator = false)
        : Name(std::move(name)), Caption(std::move(caption)), Parent(parent), Separator(separator) {}
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    std::string Name;
    std::string Caption;
    MenuItem* Parent;
    bool Separator;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;

    bool EffectivelyEnabled() const {
        for (const MenuItem* m = this; m; m = m->Parent)
            if (!m->Enabled) return false;
        return true;
    }
};

}  // namespace mirvok

#pragma once
// The state of the window's controls as plain data: what the handlers read
// and change, and what the Qt view mirrors. Positions are in twips relative to
// the container; colours are 0x00BBGGRR values or system colours (0x800000nn).

#include <atomic>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
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

// The change marks. Every change of a control's (or menu item's, or the
// window's) property stamps its owner with the next tick of one clock, so a
// view that keeps the tick of its last paint repaints only what was stamped
// after it, and nothing at all while the clock stands still.
class ChangeClock {
public:
    static std::uint64_t Now() { return now_.load(std::memory_order_relaxed); }
    static std::uint64_t Tick() { return now_.fetch_add(1, std::memory_order_relaxed) + 1; }

private:
    static inline std::atomic<std::uint64_t> now_{0};
};

// A property that stamps its owner's mark when it takes a different value.
// It reads as the value itself; a container is changed through Edit().
template <class T>
class Tracked {
public:
    explicit Tracked(std::uint64_t& mark, T value = T{}) : mark_(&mark), value_(std::move(value)) {}
    Tracked(const Tracked&) = delete;
    Tracked& operator=(const Tracked& other) { return *this = other.value_; }
    Tracked& operator=(T value) {
        if (value_ == value) return *this;
        value_ = std::move(value);
        *mark_ = ChangeClock::Tick();
        return *this;
    }
    operator const T&() const { return value_; }
    const T& get() const { return value_; }
    auto operator->() const {
        if constexpr (std::is_pointer_v<T>)
            return value_;
        else
            return &value_;
    }
    // Stamps the owner and gives the value to change in place.
    T& Edit() {
        *mark_ = ChangeClock::Tick();
        return value_;
    }

    // Reading a text or a list in place; any other reading through ->.
    auto size() const requires requires(const T& v) { v.size(); }
    { return value_.size(); }
    bool empty() const requires requires(const T& v) { v.empty(); }
    { return value_.empty(); }
    auto begin() const requires requires(const T& v) { v.begin(); }
    { return value_.begin(); }
    auto end() const requires requires(const T& v) { v.end(); }
    { return value_.end(); }
    decltype(auto) operator[](std::size_t i) const requires requires(const T& v) { v[i]; }
    { return value_[i]; }
    void clear() requires requires(T& v) { v.clear(); }
    { *this = T{}; }

    template <class U>
    requires(!std::is_same_v<U, Tracked>) && requires(const T& t, const U& u) { t == u; }
    friend bool operator==(const Tracked& a, const U& b) { return a.value_ == b; }
    friend bool operator==(const Tracked& a, const Tracked& b) { return a.value_ == b.value_; }
    template <class Out>
    friend Out& operator<<(Out& out, const Tracked& t) {
        return out << t.value_;
    }

private:
    std::uint64_t* mark_;
    T value_;
};

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
        : Name(std::move(name)), Kind(kind), Container(container), Mark(ChangeClock::Tick()) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    std::string Name;  // e.g. "Option1(3)"
    ControlKind Kind;
    Control* Container;
    std::uint64_t Mark;  // the tick of the last change of any property below or in a derived control

    Tracked<bool> Enabled{Mark, true};
    Tracked<bool> Visible{Mark, true};
    Tracked<std::string> Caption{Mark};
    Tracked<std::string> ToolTip{Mark};
    Tracked<int> Left{Mark}, Top{Mark}, Width{Mark}, Height{Mark};
    Tracked<Color> BackColor{Mark, kSysButtonFace};
    Tracked<Color> ForeColor{Mark, kSysWindowText};
    Tracked<bool> Raised{Mark, false};  // panels: 3-D look instead of a flat single-line border

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
    Tracked<std::string> Text{Mark};
    Tracked<int> SelStart{Mark, 0};  // caret position in characters
};

class CheckBox : public Control {
public:
    using Control::Control;
    Tracked<int> Value{Mark, 0};  // 1 checked, 0 cleared
};

class OptionButton : public Control {
public:
    using Control::Control;
    Tracked<bool> Value{Mark, false};
};

class ProgressBar : public Control {
public:
    using Control::Control;
    Tracked<int> Min{Mark, 0};
    Tracked<int> Max{Mark, 100};
    Tracked<int> Value{Mark, 0};
};

// Drop-down lists, the editable history combo and the invisible list box.
class ListControl : public Control {
public:
    using Control::Control;
    struct Item {
        std::string text;
        std::int32_t data = 0;
    };
    Tracked<std::vector<Item>> Items{Mark};
    Tracked<int> ListIndex{Mark, -1};  // -1: nothing selected
    Tracked<std::string> Text{Mark};   // the edit text of an editable combo
    Tracked<int> SelStart{Mark, 0};

    void AddItem(std::string text, std::int32_t data = 0) {
        Items.Edit().push_back(Item{std::move(text), data});
    }
    void InsertItem(int index, std::string text, std::int32_t data = 0) {
        std::vector<Item>& items = Items.Edit();
        items.insert(items.begin() + index, Item{std::move(text), data});
        if (ListIndex >= index) ListIndex = ListIndex + 1;
    }
    void RemoveItem(int index) {
        std::vector<Item>& items = Items.Edit();
        items.erase(items.begin() + index);
        if (ListIndex == index)
            ListIndex = -1;
        else if (ListIndex > index)
            ListIndex = ListIndex - 1;
    }
    void Clear() {
        Items.Edit().clear();
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
        return ListIndex >= 0 && ListIndex < ListCount() ? &Items[static_cast<std::size_t>(ListIndex.get())]
                                                         : nullptr;
    }
};

struct MenuItem {
    MenuItem(std::string name, std::string caption, MenuItem* parent = nullptr, bool separator = false)
        : Name(std::move(name)),
          Mark(ChangeClock::Tick()),
          Caption(Mark, std::move(caption)),
          Parent(parent),
          Separator(separator) {}
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    std::string Name;
    std::uint64_t Mark;  // the tick of the last change, as a control's
    Tracked<std::string> Caption;
    MenuItem* Parent;
    bool Separator;
    Tracked<bool> Checked{Mark, false};
    Tracked<bool> Enabled{Mark, true};
    Tracked<bool> Visible{Mark, true};

    bool EffectivelyEnabled() const {
        for (const MenuItem* m = this; m; m = m->Parent)
            if (!m->Enabled) return false;
        return true;
    }
};

}  // namespace mirvok

// The Win32 host: its dialogs as the operator answers them, its timers and
// yields on the real message queue, and the translations it makes for the
// Windows functions.

#include <windows.h>
#include <gtest/gtest.h>

#include <functional>

#include "startup/CommandLineFile.h"
#include "startup/Timer.h"
#include "startup/WideText.h"
#include "ui/win32/CommandLine.h"
#include "ui/win32/InputDialog.h"
#include "ui/win32/MessageBoxStyle.h"
#include "ui/win32/Win32Host.h"

namespace mirvok {
namespace {

// The operator: once a dialog with this title is up, `answer` runs on it.
class Operator {
public:
    Operator(std::wstring title, std::function<void(HWND)> answer)
        : title_(std::move(title)), answer_(std::move(answer)) {
        self_ = this;
        timer_ = SetTimer(nullptr, 0, 20, Look);
    }
    ~Operator() {
        KillTimer(nullptr, timer_);
        self_ = nullptr;
    }
    std::wstring text;  // the text the dialog showed

private:
    static void CALLBACK Look(HWND, UINT, UINT_PTR, DWORD) {
        if (!self_ || self_->done_) return;
        HWND dialog = FindWindowW(L"#32770", self_->title_.c_str());
        if (!dialog) return;
        self_->done_ = true;
        wchar_t shown[512] = {};
        GetDlgItemTextW(dialog, 0xFFFF, shown, 512);  // a message box's text
        self_->text = shown;
        self_->answer_(dialog);
    }
    static inline Operator* self_ = nullptr;
    std::wstring title_;
    std::function<void(HWND)> answer_;
    UINT_PTR timer_ = 0;
    bool done_ = false;
};

void Press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

TEST(Win32Host, AMessageBoxReturnsTheButtonPressed) {
    Win32Host host;
    Operator op(L"転送", [](HWND box) { Press(box, IDNO); });
    const MsgResult answer = host.MsgBox(
        MsgBoxRequest{"中止しますか？", "転送", MsgButtons::YesNo, MsgIcon::Warning, MsgDefault::Second});
    EXPECT_EQ(answer, MsgResult::No);
    EXPECT_EQ(op.text, L"中止しますか？");
}

TEST(Win32Host, AnUntitledMessageBoxCarriesTheApplicationTitle) {
    Win32Host host;
    Operator op(Wide(kAppTitle), [](HWND box) { Press(box, IDOK); });
    EXPECT_EQ(host.MsgBox("完了", MsgIcon::Information), MsgResult::OK);
    EXPECT_EQ(op.text, L"完了");
}

TEST(Win32Host, TheInputBoxReturnsTheTypedTextOrNothing) {
    Win32Host host;
    {
        Operator op(L"ｱｸｾｽｺｰﾄﾞ", [](HWND dialog) {
            SetDlgItemTextW(dialog, kInputTextId, L"31750");
            Press(dialog, IDOK);
        });
        EXPECT_EQ(host.InputBox("ｺｰﾄﾞを入力して下さい", "ｱｸｾｽｺｰﾄﾞ", "0"),
                  std::optional<std::string>("31750"));
    }
    {
        std::wstring shown, cancel;
        Operator op(L"ｱｸｾｽｺｰﾄﾞ", [&](HWND dialog) {
            wchar_t text[64] = {};
            GetDlgItemTextW(dialog, kInputTextId, text, 64);
            shown = text;
            GetDlgItemTextW(dialog, IDCANCEL, text, 64);
            cancel = text;
            Press(dialog, IDCANCEL);
        });
        EXPECT_EQ(host.InputBox("ｺｰﾄﾞを入力して下さい", "ｱｸｾｽｺｰﾄﾞ", "123"), std::nullopt);
        EXPECT_EQ(shown, L"123");
        EXPECT_EQ(cancel, L"ｷｬﾝｾﾙ");  // as the Qt host labels it
    }
}

TEST(Win32Host, TimersTickWhileTheHostYieldsAndStopWhenDisabled) {
    Win32Host host;
    Timer timer(host, 20, true);
    int ticks = 0;
    timer.OnTick = [&] { ++ticks; };
    const DWORD start = GetTickCount();
    while (ticks < 3 && GetTickCount() - start < 5000) host.IdleWait();
    EXPECT_GE(ticks, 3);
    timer.SetEnabled(false);
    const int stopped = ticks;
    const DWORD again = GetTickCount();
    while (GetTickCount() - again < 100) host.IdleWait();
    EXPECT_EQ(ticks, stopped);
}

TEST(Win32Host, TheMillisecondClockFollowsRealTime) {
    Win32Host host;
    const std::uint32_t before = host.Milliseconds();
    Sleep(50);
    const std::uint32_t passed = host.Milliseconds() - before;
    EXPECT_GE(passed, 45u);
    EXPECT_LT(passed, 1000u);
    const double now = host.SecondsSinceMidnight();
    EXPECT_GE(now, 0.0);
    EXPECT_LT(now, 86400.0);
}

TEST(Win32HostTranslations, MessageBoxStylesAndAnswers) {
    struct Row {
        MsgBoxRequest request;
        unsigned style;
    };
    const Row rows[] = {
        {{"", "", MsgButtons::OK, MsgIcon::None, MsgDefault::First}, MB_OK},
        {{"", "", MsgButtons::OK, MsgIcon::Error, MsgDefault::Second}, MB_OK | MB_ICONERROR},
        {{"", "", MsgButtons::OKCancel, MsgIcon::Information, MsgDefault::First},
         MB_OKCANCEL | MB_ICONINFORMATION},
        {{"", "", MsgButtons::YesNo, MsgIcon::Warning, MsgDefault::Second},
         MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2},
        {{"", "", MsgButtons::RetryCancel, MsgIcon::Error, MsgDefault::First}, MB_RETRYCANCEL | MB_ICONERROR},
    };
    for (const Row& row : rows)
        EXPECT_EQ(MessageBoxStyleOf(row.request) & ~static_cast<unsigned>(MB_SETFOREGROUND), row.style);

    EXPECT_EQ(MessageBoxResultOf(IDYES, MsgButtons::YesNo), MsgResult::Yes);
    EXPECT_EQ(MessageBoxResultOf(IDRETRY, MsgButtons::RetryCancel), MsgResult::Retry);
    // Closed without a button: the answer that leaves things as they are.
    EXPECT_EQ(MessageBoxResultOf(IDCANCEL, MsgButtons::OKCancel), MsgResult::Cancel);
    EXPECT_EQ(MessageBoxResultOf(IDCANCEL, MsgButtons::OK), MsgResult::OK);
    EXPECT_EQ(MessageBoxResultOf(0, MsgButtons::YesNo), MsgResult::No);
}

TEST(Win32HostTranslations, DialogFiltersBecomeZeroSeparatedPairs) {
    using namespace std::string_literals;
    EXPECT_EQ(FileDialogFilterOf("ROMﾌｧｲﾙ(*.rom)|*.ROM|全てのﾌｧｲﾙ(*.*)|*.*"),
              L"ROMﾌｧｲﾙ(*.rom)\0*.ROM\0全てのﾌｧｲﾙ(*.*)\0*.*\0\0"s);
    EXPECT_EQ(FileDialogFilterOf("AP|*.AP1;*.AP2|dangling"), L"AP\0*.AP1;*.AP2\0\0"s);
    EXPECT_EQ(FileDialogFilterOf(""), L"\0"s);
}

// Explorer and shortcuts quote a path with blanks: the window's file is the
// path inside the quotes.
TEST(Win32HostTranslations, AQuotedFileOnTheCommandLineIsThePathInside) {
    const struct {
        const wchar_t* line;
        const char* file;
    } rows[] = {
        {LR"("C:\Program Files\Mirvok\mirvok.exe" "C:\rom\reader firmware.s28")",
         R"(C:\rom\reader firmware.s28)"},
        {LR"(mirvok.exe "C:\ROM 書換\ｶｰﾄﾞ 読取.s28")", R"(C:\ROM 書換\ｶｰﾄﾞ 読取.s28)"},
        {LR"(mirvok.exe C:\rom\a.rom)", R"(C:\rom\a.rom)"},
    };
    for (const auto& row : rows) EXPECT_EQ(CommandLineFile(Utf8(ArgumentsOf(row.line))), row.file);
}

TEST(Win32HostTranslations, CommandLinesQuoteWhatTheStartedProgramSplits) {
    struct Row {
        std::vector<std::wstring> arguments;
        std::wstring line;
    };
    const Row rows[] = {
        {{L"/c", L"start", L"devmgmt.msc"}, LR"(C:\cmd.exe /c start devmgmt.msc)"},
        {{L"a b", L""}, LR"(C:\cmd.exe "a b" "")"},
        {{LR"(say "hi")"}, LR"(C:\cmd.exe "say \"hi\"")"},
        {{LR"(C:\dir with space\)"}, LR"(C:\cmd.exe "C:\dir with space\\")"},
        {{LR"(a\\b)"}, LR"(C:\cmd.exe a\\b)"},
    };
    for (const Row& row : rows) EXPECT_EQ(CommandLineOf(LR"(C:\cmd.exe)", row.arguments), row.line);
}

}  // namespace
}  // namespace mirvok

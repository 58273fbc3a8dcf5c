#include "InputDialog.h"

#include <vector>

#include "startup/WideText.h"
#include "ui/InputBoxButtons.h"

namespace mirvok {

namespace {

constexpr int kInputPromptId = 100;

// Dialog units, as the operators' input box is laid out.
constexpr short kDialogWidth = 236;
constexpr short kDialogHeight = 86;
constexpr WORD kFontPoints = 9;
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr int kMaxInputChars = 1024;

// A DLGTEMPLATE and its items, written as the WORD stream the dialog manager reads.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const std::wstring& font) {
        Dword(style | (font.empty() ? 0 : DS_SETFONT));
        Dword(0);
        countAt_ = words_.size();
        words_.push_back(0);
        Rect(0, 0, cx, cy);
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard dialog class
        Text(L"");
        if (!font.empty()) {
            words_.push_back(kFontPoints);
            Text(font);
        }
    }

    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              const std::wstring& text = std::wstring()) {
        if (words_.size() % 2) words_.push_back(0);  // items start on a DWORD
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Rect(x, y, cx, cy);
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        Text(text);
        words_.push_back(0);  // no creation data
        ++words_[countAt_];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Dword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void Rect(short x, short y, short cx, short cy) {
        for (short v : {x, y, cx, cy}) words_.push_back(static_cast<WORD>(v));
    }
    void Text(const std::wstring& text) {
        words_.insert(words_.end(), text.begin(), text.end());
        words_.push_back(0);
    }

    std::vector<WORD> words_;
    std::size_t countAt_ = 0;
};

struct Exchange {
    const InputRequest* request;
    std::wstring typed;
};

INT_PTR CALLBACK InputDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* exchange = reinterpret_cast<Exchange*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            SetWindowTextW(dialog, exchange->request->title.c_str());
            SetDlgItemTextW(dialog, kInputPromptId, exchange->request->prompt.c_str());
            SendDlgItemMessageW(dialog, kInputTextId, EM_LIMITTEXT, kMaxInputChars, 0);
            SetDlgItemTextW(dialog, kInputTextId, exchange->request->defaultText.c_str());
            HWND edit = GetDlgItem(dialog, kInputTextId);
            SetFocus(edit);
            SendMessageW(edit, EM_SETSEL, 0, -1);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                auto* exchange = reinterpret_cast<Exchange*>(GetWindowLongPtrW(dialog, DWLP_USER));
                wchar_t buffer[kMaxInputChars + 1] = {};
                GetDlgItemTextW(dialog, kInputTextId, buffer, kMaxInputChars + 1);
                exchange->typed = buffer;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

std::optional<std::wstring> RunInputDialog(HWND owner, const InputRequest& request) {
    DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, kDialogWidth,
                          kDialogHeight, request.fontFace);
    dialog.Item(SS_LEFT | SS_NOPREFIX, 7, 7, 170, 54, kInputPromptId, kStaticClass);
    const std::wstring ok = Wide(kInputBoxOkLabel), cancel = Wide(kInputBoxCancelLabel);
    dialog.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 183, 7, 46, 14, IDOK, kButtonClass, ok.c_str());
    dialog.Item(BS_PUSHBUTTON | WS_TABSTOP, 183, 25, 46, 14, IDCANCEL, kButtonClass, cancel.c_str());
    dialog.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 66, 222, 13, kInputTextId, kEditClass);
    Exchange exchange{&request, {}};
    const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner,
                                                   InputDialogProc, reinterpret_cast<LPARAM>(&exchange));
    if (answer != IDOK) return std::nullopt;
    return exchange.typed;
}

}  // namespace mirvok

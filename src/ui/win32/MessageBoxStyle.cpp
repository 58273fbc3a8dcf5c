#include "MessageBoxStyle.h"

#include <windows.h>

namespace mirvok {

unsigned MessageBoxStyleOf(const MsgBoxRequest& request) {
    unsigned style = MB_SETFOREGROUND;
    switch (request.buttons) {
        case MsgButtons::OK:
            style |= MB_OK;
            break;
        case MsgButtons::OKCancel:
            style |= MB_OKCANCEL;
            break;
        case MsgButtons::YesNo:
            style |= MB_YESNO;
            break;
        case MsgButtons::RetryCancel:
            style |= MB_RETRYCANCEL;
            break;
    }
    switch (request.icon) {
        case MsgIcon::Error:
            style |= MB_ICONERROR;
            break;
        case MsgIcon::Warning:
            style |= MB_ICONWARNING;
            break;
        case MsgIcon::Information:
            style |= MB_ICONINFORMATION;
            break;
        case MsgIcon::None:
            break;
    }
    if (request.defaultButton == MsgDefault::Second && request.buttons != MsgButtons::OK)
        style |= MB_DEFBUTTON2;
    return style;
}

MsgResult MessageBoxResultOf(int id, MsgButtons buttons) {
    switch (id) {
        case IDOK:
            return MsgResult::OK;
        case IDYES:
            return MsgResult::Yes;
        case IDNO:
            return MsgResult::No;
        case IDRETRY:
            return MsgResult::Retry;
        default:
            break;  // Cancel, Esc or the close box
    }
    return ClosedBoxAnswer(buttons);
}

}  // namespace mirvok

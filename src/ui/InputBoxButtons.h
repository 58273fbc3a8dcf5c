#pragma once
// The buttons of the input box (the access code prompt), labelled alike in
// every view.

namespace mirvok {

inline constexpr const char* kInputBoxOkLabel = "OK";
inline constexpr const char* kInputBoxCancelLabel = "ｷｬﾝｾﾙ";

}  // namespace mirvok

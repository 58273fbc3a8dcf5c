#pragma once
// The look of the window: one style on every platform and a Japanese font in
// which half-width katakana render, at the size the twips layout is made for.

class QApplication;

namespace mirvok {

void UseWindowFont(QApplication& app);

}  // namespace mirvok

#include "WindowFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStyleFactory>

namespace mirvok {

namespace {

// A little under 9 points at 96 dpi, the size the control positions were laid
// out for: the Latin letters of the Japanese fonts here are wider than those
// of the layout's original font, and every caption must fit its control.
constexpr int kFontPixelSize = 11;

// Families with Japanese glyphs, half-width katakana included, best first.
const char* const kJapaneseFamilies[] = {"Noto Sans CJK JP", "Noto Sans JP", "MS UI Gothic", "Meiryo UI",
                                         "Yu Gothic UI",     "IPAGothic",    "TakaoGothic"};

}  // namespace

void UseWindowFont(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    QFont font = app.font();
    const QStringList installed = QFontDatabase::families();
    for (const char* family : kJapaneseFamilies) {
        if (installed.contains(QLatin1String(family))) {
            font.setFamily(QLatin1String(family));
            break;
        }
    }
    font.setPixelSize(kFontPixelSize);
    app.setFont(font);
}

}  // namespace mirvok

#pragma once
// The model's UTF-8 texts as Qt strings.

#include <QString>
#include <string>

namespace mirvok {

inline QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Captions and message texts break their lines with CR LF; a label wants LF alone.
inline QString DisplayText(const std::string& text) {
    return Q(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace mirvok

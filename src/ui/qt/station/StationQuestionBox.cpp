#include "StationQuestionBox.h"

#include <QMessageBox>

#include "ui/qt/QtText.h"

namespace mirvok {

bool StationQuestionBox::AskYesNo(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Warning, Q(title), DisplayText(text), QMessageBox::Yes | QMessageBox::No,
                    parent_.data());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace mirvok

#pragma once
// The station window's questions as message boxes: a warning icon, Yes and
// No with No preselected, over the window that asks.

#include <QPointer>
#include <QWidget>

#include "stationwindow/StationForm.h"

namespace mirvok {

class StationQuestionBox final : public stationwindow::StationQuestions {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    bool AskYesNo(const std::string& text, const std::string& title) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace mirvok

#pragma once
// One port's tile in the station window: its name and adapter, its state on
// the state's colour, a progress bar, the figures of the running attempt,
// the exit code with its text, and a stop button. It shows a StationTile of
// the form and holds nothing else.

#include <QFrame>
#include <functional>

#include "stationwindow/StationForm.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace mirvok {

class StationTileWidget : public QFrame {
public:
    StationTileWidget(std::function<void()> stop, QWidget* parent);
    void Show(const stationwindow::StationTile& tile);

    QPushButton* StopButton() const { return stop_; }
    QLabel* StateLabel() const { return state_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* Figures() const { return figures_; }
    QLabel* Time() const { return time_; }
    QLabel* Ending() const { return ending_; }

private:
    QLabel* name_;
    QLabel* adapter_;
    QLabel* state_;
    QProgressBar* progress_;
    QLabel* figures_;
    QLabel* time_;
    QLabel* ending_;
    QPushButton* stop_;
    stationwindow::StationTile shown_;
    bool anyShown_ = false;
};

// "01:02": minutes and seconds.
QString ElapsedText(std::int64_t ms);

}  // namespace mirvok

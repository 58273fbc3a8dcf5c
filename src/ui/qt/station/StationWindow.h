#pragma once
// The station window on screen: the choices on the left (the firmware file
// and how it is sent, the ports, the station's options), the buttons, the
// totals, a tile per port and the last attempts on the right. It mirrors the
// StationForm and forwards the operator's events to its typed calls; while
// devices run, its timer moves the form on.

#include <QMainWindow>
#include <QTimer>
#include <vector>

#include "StationTileWidget.h"
#include "stationwindow/StationForm.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTreeWidget;

namespace mirvok {

class StationWindow : public QMainWindow, public stationwindow::StationFormObserver {
public:
    explicit StationWindow(stationwindow::StationForm& form, QWidget* parent = nullptr);
    ~StationWindow() override;

    // SIGTERM or the session's end: the devices are stopped as closing stops
    // them, without a question; the window closes once they have ended.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // For the view tests.
    QPushButton* StartAllButton() const { return startAll_; }
    QPushButton* StopAllButton() const { return stopAll_; }
    int TileCount() const { return static_cast<int>(tiles_.size()); }
    StationTileWidget* Tile(int i) const { return tiles_.at(static_cast<std::size_t>(i)); }
    QLabel* TotalsLabel() const { return totals_; }
    QLabel* NoticeLabel() const { return notice_; }
    QTreeWidget* AttemptList() const { return attempts_; }
    QListWidget* PortList() const { return ports_; }
    QLineEdit* FileEdit() const { return file_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormChanged(unsigned changes) override;
    void TileChanged(std::size_t index) override;

    void BuildChoices(QWidget* column);
    void BuildRun(QWidget* column);
    void SyncChoices();
    void SyncTiles();
    void SyncTotals();
    void SyncAttempts();
    void SyncRunning();
    void KeepFocus();
    void BrowseFirmware();
    void BrowseSaveFile(QLineEdit* edit, bool log);
    void Start();

    stationwindow::StationForm& form_;
    QTimer pump_;
    bool syncing_ = false;
    bool terminated_ = false;

    QWidget* choices_ = nullptr;
    QLineEdit* file_ = nullptr;
    QLabel* facts_ = nullptr;
    QComboBox* mode_ = nullptr;
    QLabel* rate_ = nullptr;
    QRadioButton* terminal_ = nullptr;
    QRadioButton* download_ = nullptr;
    QComboBox* wait_ = nullptr;
    QCheckBox* lineCheck_ = nullptr;
    std::vector<QCheckBox*> blocks_;
    QListWidget* ports_ = nullptr;
    QCheckBox* allPorts_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QCheckBox* watch_ = nullptr;
    QCheckBox* failFast_ = nullptr;
    QSpinBox* retries_ = nullptr;
    QCheckBox* identify_ = nullptr;
    QLineEdit* log_ = nullptr;
    QLineEdit* junit_ = nullptr;
    QPushButton* startAll_ = nullptr;
    QPushButton* stopAll_ = nullptr;
    QLabel* totals_ = nullptr;
    QLabel* notice_ = nullptr;
    QWidget* tileArea_ = nullptr;
    QGridLayout* tileGrid_ = nullptr;
    std::vector<StationTileWidget*> tiles_;
    QTreeWidget* attempts_ = nullptr;
};

}  // namespace mirvok

#include "StationWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>

#include "download/FileSelection.h"
#include "link/ComPortName.h"
#include "ui/qt/QtHost.h"
#include "ui/qt/QtText.h"

namespace mirvok {
namespace {

using stationwindow::StationChoices;
using stationwindow::StationTile;

constexpr int kPumpEveryMs = 20;
constexpr int kTileColumns = 3;

// The main window's captions of the download modes and the blocks.
constexpr std::array<const char*, 9> kModeCaptions = {"0: 9600,N,7,1", "1: 9600,E,7,1", "2: 9600,N,8,1",
                                                      "3:19200,N,7,1", "4:19200,E,7,1", "5:19200,N,8,1",
                                                      "6:38400,N,7,1", "7:57600,N,7,1", "8:115200,N,7,1"};
constexpr std::array<const char*, 9> kBlockCaptions = {" 0000～ FFFF", "10000～1FFFF", "20000～2FFFF",
                                                       "30000～3FFFF", "40000～4FFFF", "50000～5FFFF",
                                                       "60000～6FFFF", "70000～7FFFF", "80000～"};

QLabel* BuddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QString PortCaption(const stationwindow::PortChoice& p) {
    QString text = Q(ComPortName(p.info.number));
    if (!p.listed) return text + QStringLiteral("  (ありません)");
    const std::string& about = !p.info.description.empty() ? p.info.description : p.info.serialNumber;
    if (!p.info.devicePath.empty()) text += QStringLiteral("  ") + Q(p.info.devicePath);
    if (!about.empty()) text += QStringLiteral("  ") + Q(about);
    return text;
}

}  // namespace

StationWindow::StationWindow(stationwindow::StationForm& form, QWidget* parent)
    : QMainWindow(parent), form_(form) {
    setWindowTitle(QString::fromUtf8(stationwindow::kStationTitle));
    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    choices_ = new QWidget(central);
    auto* run = new QWidget(central);
    columns->addWidget(choices_);
    columns->addWidget(run, 1);
    setCentralWidget(central);
    BuildChoices(choices_);
    BuildRun(run);
    // A size for a few tiles, in the font's own units so that it grows with
    // the system's DPI and font.
    const int em = fontMetrics().height();
    QSize size(em * 68, em * 46);
    if (const QScreen* screen = this->screen()) size = size.boundedTo(screen->availableGeometry().size());
    resize(size);

    pump_.setInterval(kPumpEveryMs);
    QObject::connect(&pump_, &QTimer::timeout, this, [this] { form_.Pump(); });
    form_.Follow(this);
    SyncChoices();
    SyncTiles();
    SyncTotals();
    SyncAttempts();
    SyncRunning();
}

StationWindow::~StationWindow() {
    form_.Follow(nullptr);
}

// In reading order, which is also the tab order: each widget is made after
// the one before it.
void StationWindow::BuildChoices(QWidget* column) {
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* download = new QGroupBox(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ"), column);
    auto* grid = new QGridLayout(download);
    file_ = new QLineEdit(download);
    file_->setToolTip(QStringLiteral("ｶｰﾄﾞﾘｰﾀﾞROMﾌｧｲﾙ名を入力します。"));
    auto* browse = new QPushButton(QStringLiteral("参照(&R)"), download);
    browse->setToolTip(QStringLiteral("ROMﾌｧｲﾙを検索します。"));
    grid->addWidget(BuddyLabel(QStringLiteral("転送ﾌｧｲﾙ名(&F)"), file_, download), 0, 0);
    grid->addWidget(file_, 0, 1, 1, 2);
    grid->addWidget(browse, 0, 3);
    facts_ = new QLabel(download);
    facts_->setWordWrap(true);
    facts_->setTextFormat(Qt::PlainText);
    grid->addWidget(facts_, 1, 0, 1, 4);
    mode_ = new QComboBox(download);
    for (const char* caption : kModeCaptions) mode_->addItem(QString::fromUtf8(caption));
    mode_->setToolTip(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞﾓｰﾄﾞを選択します。"));
    rate_ = new QLabel(download);
    grid->addWidget(BuddyLabel(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞNo.(&M)"), mode_, download), 2, 0);
    grid->addWidget(mode_, 2, 1);
    grid->addWidget(rate_, 2, 2, 1, 2);
    // One tab stop for the two modes: the arrow keys move between them.
    auto* crMode = new QGroupBox(QStringLiteral("CRﾓｰﾄﾞ"), download);
    auto* crLayout = new QHBoxLayout(crMode);
    terminal_ = new QRadioButton(QStringLiteral("ﾀｰﾐﾅﾙﾓｰﾄﾞ(&T)"), crMode);
    download_ = new QRadioButton(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞﾓｰﾄﾞ(&D)"), crMode);
    crLayout->addWidget(terminal_);
    crLayout->addWidget(download_);
    grid->addWidget(crMode, 3, 0, 1, 4);
    wait_ = new QComboBox(download);
    for (const int ms : stationwindow::SendWaits())
        wait_->addItem(ms == 0 ? QStringLiteral("なし") : QStringLiteral("%1秒").arg(ms / 1000), ms);
    wait_->setToolTip(QStringLiteral("電文の送信間隔を指定します。"));
    lineCheck_ = new QCheckBox(QStringLiteral("ﾗｲﾝﾁｪｯｸ(&L)"), download);
    grid->addWidget(BuddyLabel(QStringLiteral("送信待ち(&W)"), wait_, download), 4, 0);
    grid->addWidget(wait_, 4, 1);
    grid->addWidget(lineCheck_, 4, 2, 1, 2);
    auto* blockBox = new QGroupBox(download);
    auto* blockGrid = new QGridLayout(blockBox);
    for (int i = 0; i < 9; ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(kBlockCaptions[static_cast<std::size_t>(i)]), blockBox);
        box->setToolTip(i < 2 ? QStringLiteral("ﾌｧｰﾑﾌﾞﾛｯｸ") : QStringLiteral("ｱﾌﾟﾘﾌﾞﾛｯｸ"));
        blockGrid->addWidget(box, i % 3, i / 3);
        blocks_.push_back(box);
    }
    grid->addWidget(BuddyLabel(QStringLiteral("ﾌﾞﾛｯｸ指定(&K)"), blocks_.front(), download), 5, 0, 1, 4);
    grid->addWidget(blockBox, 6, 0, 1, 4);
    layout->addWidget(download);

    auto* portBox = new QGroupBox(QStringLiteral("ﾎﾟｰﾄ"), column);
    auto* portGrid = new QGridLayout(portBox);
    ports_ = new QListWidget(portBox);
    ports_->setToolTip(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞする通信ﾎﾟｰﾄにﾁｪｯｸを付けます。"));
    allPorts_ = new QCheckBox(QStringLiteral("全て(&A)"), portBox);
    refresh_ = new QPushButton(QStringLiteral("更新(&U)"), portBox);
    refresh_->setToolTip(QStringLiteral("現在使用可能なポートを抽出します。"));
    portGrid->addWidget(BuddyLabel(QStringLiteral("通信ﾎﾟｰﾄ(&P)"), ports_, portBox), 0, 0);
    portGrid->addWidget(ports_, 1, 0, 1, 2);
    portGrid->addWidget(allPorts_, 2, 0);
    portGrid->addWidget(refresh_, 2, 1);
    layout->addWidget(portBox, 1);

    auto* optionBox = new QGroupBox(QStringLiteral("ｵﾌﾟｼｮﾝ"), column);
    auto* optionGrid = new QGridLayout(optionBox);
    watch_ = new QCheckBox(QStringLiteral("次のﾃﾞﾊﾞｲｽを待つ(&N)"), optionBox);
    failFast_ = new QCheckBox(QStringLiteral("最初の失敗で全て中止(&X)"), optionBox);
    retries_ = new QSpinBox(optionBox);
    retries_->setRange(0, stationwindow::kMostRetries);
    identify_ = new QCheckBox(QStringLiteral("先にROMﾊﾞｰｼﾞｮﾝを読む(&V)"), optionBox);
    log_ = new QLineEdit(optionBox);
    auto* logBrowse = new QPushButton(QStringLiteral("..."), optionBox);
    logBrowse->setToolTip(QStringLiteral("監査ﾛｸﾞのﾌｧｲﾙを選択します。"));
    junit_ = new QLineEdit(optionBox);
    auto* junitBrowse = new QPushButton(QStringLiteral("..."), optionBox);
    junitBrowse->setToolTip(QStringLiteral("JUnitﾚﾎﾟｰﾄのﾌｧｲﾙを選択します。"));
    optionGrid->addWidget(watch_, 0, 0, 1, 3);
    optionGrid->addWidget(failFast_, 1, 0, 1, 3);
    optionGrid->addWidget(BuddyLabel(QStringLiteral("再試行回数(&Y)"), retries_, optionBox), 2, 0);
    optionGrid->addWidget(retries_, 2, 1);
    optionGrid->addWidget(identify_, 3, 0, 1, 3);
    optionGrid->addWidget(BuddyLabel(QStringLiteral("監査ﾛｸﾞ(&G)"), log_, optionBox), 4, 0);
    optionGrid->addWidget(log_, 4, 1);
    optionGrid->addWidget(logBrowse, 4, 2);
    optionGrid->addWidget(BuddyLabel(QStringLiteral("JUnit(&J)"), junit_, optionBox), 5, 0);
    optionGrid->addWidget(junit_, 5, 1);
    optionGrid->addWidget(junitBrowse, 5, 2);
    layout->addWidget(optionBox);

    // The operator's changes go to the form; the form's answer is shown.
    auto changed = [this](auto&& apply) {
        return [this, apply](auto&&...) {
            if (syncing_) return;
            apply();
            SyncChoices();
        };
    };
    QObject::connect(file_, &QLineEdit::editingFinished, this,
                     changed([this] { form_.SetFile(file_->text().toStdString()); }));
    QObject::connect(browse, &QPushButton::clicked, this, [this] { BrowseFirmware(); });
    QObject::connect(mode_, &QComboBox::currentIndexChanged, this,
                     changed([this] { form_.SetMode(mode_->currentIndex()); }));
    QObject::connect(terminal_, &QRadioButton::toggled, this,
                     changed([this] { form_.SetTerminalMode(terminal_->isChecked()); }));
    QObject::connect(wait_, &QComboBox::currentIndexChanged, this,
                     changed([this] { form_.SetWait(wait_->currentData().toInt()); }));
    QObject::connect(lineCheck_, &QCheckBox::toggled, this,
                     changed([this] { form_.SetLineCheck(lineCheck_->isChecked()); }));
    for (QCheckBox* box : blocks_)
        QObject::connect(box, &QCheckBox::toggled, this, changed([this] {
                             std::string mask;
                             for (QCheckBox* b : blocks_) mask += b->isChecked() ? '1' : '0';
                             form_.SetBlocks(mask);
                         }));
    QObject::connect(ports_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (syncing_) return;
        form_.SetPortChecked(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
        SyncChoices();
    });
    QObject::connect(allPorts_, &QCheckBox::toggled, this,
                     changed([this] { form_.SetAllPorts(allPorts_->isChecked()); }));
    QObject::connect(refresh_, &QPushButton::clicked, this, [this] { form_.RefreshPorts(); });
    QObject::connect(watch_, &QCheckBox::toggled, this,
                     changed([this] { form_.SetWatch(watch_->isChecked()); }));
    QObject::connect(failFast_, &QCheckBox::toggled, this,
                     changed([this] { form_.SetFailFast(failFast_->isChecked()); }));
    QObject::connect(retries_, &QSpinBox::valueChanged, this,
                     changed([this] { form_.SetRetries(retries_->value()); }));
    QObject::connect(identify_, &QCheckBox::toggled, this,
                     changed([this] { form_.SetIdentify(identify_->isChecked()); }));
    QObject::connect(log_, &QLineEdit::editingFinished, this,
                     changed([this] { form_.SetLogPath(log_->text().toStdString()); }));
    QObject::connect(junit_, &QLineEdit::editingFinished, this,
                     changed([this] { form_.SetJunitPath(junit_->text().toStdString()); }));
    QObject::connect(logBrowse, &QPushButton::clicked, this, [this] { BrowseSaveFile(log_, true); });
    QObject::connect(junitBrowse, &QPushButton::clicked, this, [this] { BrowseSaveFile(junit_, false); });
}

void StationWindow::BuildRun(QWidget* column) {
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QHBoxLayout;
    startAll_ = new QPushButton(QStringLiteral("全て開始(&S)"), column);
    startAll_->setToolTip(QStringLiteral("選択した全てのﾎﾟｰﾄでﾀﾞｳﾝﾛｰﾄﾞを開始します。"));
    stopAll_ = new QPushButton(QStringLiteral("全て中止(&O)"), column);
    stopAll_->setToolTip(QStringLiteral("全てのﾀﾞｳﾝﾛｰﾄﾞを中止します。"));
    totals_ = new QLabel(column);
    buttons->addWidget(startAll_);
    buttons->addWidget(stopAll_);
    buttons->addSpacing(fontMetrics().height());
    buttons->addWidget(totals_, 1);
    layout->addLayout(buttons);

    auto* splitter = new QSplitter(Qt::Vertical, column);
    auto* scroll = new QScrollArea(splitter);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    tileArea_ = new QWidget(scroll);
    tileGrid_ = new QGridLayout(tileArea_);
    tileGrid_->setAlignment(Qt::AlignTop);
    scroll->setWidget(tileArea_);
    auto* lower = new QWidget(splitter);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    notice_ = new QLabel(lower);
    notice_->setTextFormat(Qt::PlainText);
    notice_->setWordWrap(true);
    QPalette red = notice_->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    notice_->setPalette(red);
    attempts_ = new QTreeWidget(lower);
    attempts_->setRootIsDecorated(false);
    attempts_->setUniformRowHeights(true);
    attempts_->setHeaderLabels({QStringLiteral("終了時刻"), QStringLiteral("ﾎﾟｰﾄ"), QStringLiteral("接続"),
                                QStringLiteral("試行"), QStringLiteral("終了ｺｰﾄﾞ"), QStringLiteral("結果"),
                                QStringLiteral("秒"), QStringLiteral("内容")});
    lowerLayout->addWidget(notice_);
    lowerLayout->addWidget(BuddyLabel(QStringLiteral("最近の試行(&H)"), attempts_, lower));
    lowerLayout->addWidget(attempts_);
    splitter->addWidget(scroll);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    const int em = fontMetrics().height();
    splitter->setSizes({em * 26, em * 12});
    attempts_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    attempts_->header()->setStretchLastSection(true);
    layout->addWidget(splitter, 1);

    QObject::connect(startAll_, &QPushButton::clicked, this, [this] { Start(); });
    QObject::connect(stopAll_, &QPushButton::clicked, this, [this] {
        form_.StopAll();
        KeepFocus();
    });
}

void StationWindow::Start() {
    // A file name typed and not yet left counts.
    if (file_->text().toStdString() != form_.Choices().file) form_.SetFile(file_->text().toStdString());
    form_.StartAll();
    KeepFocus();
}

void StationWindow::BrowseFirmware() {
    QStringList filters = NameFiltersOf(kFileFilter);
    filters << QStringLiteral("すべてのﾌｧｲﾙ (*)");
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("ﾌｧｲﾙを開く"), file_->text(),
                                                        filters.join(QStringLiteral(";;")));
    if (chosen.isEmpty()) return;
    form_.SetFile(chosen.toStdString());
    SyncChoices();
}

void StationWindow::BrowseSaveFile(QLineEdit* edit, bool log) {
    const QString chosen = QFileDialog::getSaveFileName(
        this, log ? QStringLiteral("監査ﾛｸﾞ") : QStringLiteral("JUnitﾚﾎﾟｰﾄ"), edit->text(),
        log ? QStringLiteral("JSON Lines (*.jsonl);;すべてのﾌｧｲﾙ (*)")
            : QStringLiteral("XML (*.xml);;すべてのﾌｧｲﾙ (*)"),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return;
    if (log)
        form_.SetLogPath(chosen.toStdString());
    else
        form_.SetJunitPath(chosen.toStdString());
    SyncChoices();
}

void StationWindow::FormChanged(unsigned changes) {
    if (changes & stationwindow::kChoicesChanged) SyncChoices();
    if (changes & stationwindow::kTilesChanged) SyncTiles();
    if (changes & stationwindow::kTotalsChanged) SyncTotals();
    if (changes & stationwindow::kAttemptsChanged) SyncAttempts();
    if (changes & stationwindow::kNoticeChanged) notice_->setText(Q(form_.Notice()));
    if (changes & stationwindow::kRunningChanged) SyncRunning();
    // Closed from the timer, out of the form's own call.
    if (changes & stationwindow::kMayClose) QTimer::singleShot(0, this, [this] { close(); });
}

void StationWindow::TileChanged(std::size_t index) {
    if (index < tiles_.size()) tiles_[index]->Show(form_.Tiles()[index]);
}

void StationWindow::SyncChoices() {
    syncing_ = true;
    const StationChoices& c = form_.Choices();
    if (!file_->hasFocus() || file_->text().toStdString() == c.file) file_->setText(Q(c.file));
    facts_->setText(Q(form_.FileSummary()));
    mode_->setCurrentIndex(c.mode);
    rate_->setText(QStringLiteral("%1 bps").arg(form_.Rate()));
    (c.terminalMode ? terminal_ : download_)->setChecked(true);
    wait_->setCurrentIndex(wait_->findData(c.waitMs));
    lineCheck_->setChecked(c.lineCheck);
    for (std::size_t i = 0; i < blocks_.size(); ++i) blocks_[i]->setChecked(c.blocks[i] == '1');
    const auto& ports = form_.Ports();
    bool sameList = ports_->count() == static_cast<int>(ports.size());
    for (int i = 0; sameList && i < ports_->count(); ++i)
        sameList =
            ports_->item(i)->data(Qt::UserRole).toInt() == ports[static_cast<std::size_t>(i)].info.number;
    if (!sameList) {
        const int row = ports_->currentRow();
        ports_->clear();
        for (const auto& p : ports) {
            auto* item = new QListWidgetItem(PortCaption(p), ports_);
            item->setData(Qt::UserRole, p.info.number);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        }
        ports_->setCurrentRow(std::min(std::max(row, 0), ports_->count() - 1));
    }
    for (int i = 0; i < ports_->count(); ++i) {
        const auto& p = ports[static_cast<std::size_t>(i)];
        ports_->item(i)->setText(PortCaption(p));
        ports_->item(i)->setCheckState(c.allPorts  ? (p.listed ? Qt::Checked : Qt::Unchecked)
                                       : p.checked ? Qt::Checked
                                                   : Qt::Unchecked);
    }
    allPorts_->setChecked(c.allPorts);
    // With "all" the run takes every port listed then; single checks say nothing.
    ports_->setEnabled(!c.allPorts);
    watch_->setChecked(c.watch);
    failFast_->setChecked(c.failFast);
    retries_->setValue(c.retries);
    identify_->setChecked(c.identify);
    if (!log_->hasFocus()) log_->setText(Q(c.logPath));
    if (!junit_->hasFocus()) junit_->setText(Q(c.junitPath));
    syncing_ = false;
}

void StationWindow::SyncTiles() {
    const auto& tiles = form_.Tiles();
    while (tiles_.size() > tiles.size()) {
        delete tiles_.back();
        tiles_.pop_back();
    }
    while (tiles_.size() < tiles.size()) {
        const std::size_t index = tiles_.size();
        auto* tile = new StationTileWidget(
            [this, index] {
                form_.StopPort(index);
                KeepFocus();
            },
            tileArea_);
        tileGrid_->addWidget(tile, static_cast<int>(index) / kTileColumns,
                             static_cast<int>(index) % kTileColumns);
        tiles_.push_back(tile);
    }
    // Tab order: the tiles' stop buttons follow Stop all, before the list of
    // attempts.
    QWidget* before = stopAll_;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        tiles_[i]->Show(tiles[i]);
        QWidget::setTabOrder(before, tiles_[i]->StopButton());
        before = tiles_[i]->StopButton();
    }
    QWidget::setTabOrder(before, attempts_);
    KeepFocus();
}

void StationWindow::SyncTotals() {
    const auto& t = form_.Totals();
    totals_->setText(QStringLiteral("完了 %1    失敗 %2    中止 %3    待ち %4")
                         .arg(t.done)
                         .arg(t.failed)
                         .arg(t.stopped)
                         .arg(t.waiting));
}

void StationWindow::SyncAttempts() {
    attempts_->clear();
    QList<QTreeWidgetItem*> rows;
    for (const auto& a : form_.Attempts()) {
        auto* row = new QTreeWidgetItem({Q(a.end), Q(ComPortName(a.port)), QString::number(a.connection),
                                         QString::number(a.attempt), QString::number(a.exitCode),
                                         Q(a.outcome), QString::number(a.seconds, 'f', 1), Q(a.text)});
        row->setToolTip(7, Q(a.record));
        const QColor tint = a.exitCode == 0 ? QColor(200, 255, 200) : QColor(255, 210, 210);
        for (int column = 0; column < row->columnCount(); ++column) row->setBackground(column, tint);
        rows << row;
    }
    attempts_->addTopLevelItems(rows);
}

void StationWindow::SyncRunning() {
    const bool running = form_.Running();
    choices_->setEnabled(!running);
    startAll_->setEnabled(!running);
    stopAll_->setEnabled(running);
    if (running)
        pump_.start();
    else
        pump_.stop();
    KeepFocus();
}

// Focus never lost: when the control that held it is disabled or gone, it
// goes to the button that does the next thing.
void StationWindow::KeepFocus() {
    const QWidget* now = focusWidget();
    if (now && now->isEnabled() && now->isVisible()) return;
    (form_.Running() ? stopAll_ : startAll_)->setFocus(Qt::OtherFocusReason);
}

void StationWindow::Terminate() {
    terminated_ = true;
    form_.Terminate();
}

void StationWindow::closeEvent(QCloseEvent* event) {
    if (form_.MayClose()) {
        event->accept();
        return;
    }
    switch (form_.Close()) {
        case stationwindow::CloseAnswer::Close:
            event->accept();
            return;
        case stationwindow::CloseAnswer::Refused:
        case stationwindow::CloseAnswer::Stopping:
            event->ignore();
            return;
    }
}

}  // namespace mirvok

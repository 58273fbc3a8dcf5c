#include "StationTileWidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSizePolicy>

#include "ui/qt/QtText.h"

namespace mirvok {

QString ElapsedText(std::int64_t ms) {
    if (ms < 0) ms = 0;
    const long long seconds = static_cast<long long>((ms + 500) / 1000);
    return QString::asprintf("%02lld:%02lld", seconds / 60, seconds % 60);
}

StationTileWidget::StationTileWidget(std::function<void()> stop, QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(this);
    name_ = new QLabel(this);
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    adapter_ = new QLabel(this);
    adapter_->setTextFormat(Qt::PlainText);
    // A long device path does not widen the tile: the tooltip shows it whole.
    adapter_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    state_ = new QLabel(this);
    state_->setAutoFillBackground(true);
    state_->setAlignment(Qt::AlignCenter);
    state_->setFrameShape(QFrame::Panel);
    state_->setFrameShadow(QFrame::Sunken);
    state_->setTextFormat(Qt::PlainText);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    figures_ = new QLabel(this);
    figures_->setTextFormat(Qt::PlainText);
    time_ = new QLabel(this);
    time_->setTextFormat(Qt::PlainText);
    ending_ = new QLabel(this);
    ending_->setTextFormat(Qt::PlainText);
    ending_->setWordWrap(true);
    ending_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    figures_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(fontMetrics().height() * 12);
    stop_ = new QPushButton(QStringLiteral("中止"), this);
    stop_->setToolTip(QStringLiteral("このﾎﾟｰﾄのﾀﾞｳﾝﾛｰﾄﾞを中止します。"));
    QObject::connect(stop_, &QPushButton::clicked, this, [stop = std::move(stop)] { stop(); });
    grid->addWidget(name_, 0, 0);
    grid->addWidget(adapter_, 0, 1, 1, 2);
    grid->addWidget(state_, 1, 0, 1, 2);
    grid->addWidget(stop_, 1, 2);
    grid->addWidget(progress_, 2, 0, 1, 3);
    grid->addWidget(figures_, 3, 0, 1, 3);
    grid->addWidget(time_, 4, 0, 1, 3);
    grid->addWidget(ending_, 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);
}

// Only what changed is set again: a running tile changes ten times a second,
// and every text set is laid out and painted anew.
void StationTileWidget::Show(const stationwindow::StationTile& t) {
    using stationwindow::TileState;
    const bool all = !anyShown_;
    const stationwindow::StationTile& was = shown_;
    if (all || t.name != was.name) name_->setText(Q(t.name));
    if (all || t.adapter != was.adapter) {
        adapter_->setText(Q(t.adapter));
        adapter_->setToolTip(Q(t.adapter));
    }
    if (all || t.stateText != was.stateText) state_->setText(Q(t.stateText));
    if (all || !(t.colour == was.colour)) {
        QPalette palette = state_->palette();
        palette.setColor(QPalette::Window, QColor(t.colour.red, t.colour.green, t.colour.blue));
        palette.setColor(QPalette::WindowText, Qt::black);
        state_->setPalette(palette);
    }
    if (all || t.percent != was.percent) progress_->setValue(t.percent);
    if (all || t.linesText != was.linesText || t.address != was.address || t.rateText != was.rateText) {
        QStringList figures;
        if (!t.linesText.empty()) figures << Q(t.linesText) + QStringLiteral(" 行");
        if (!t.address.empty()) figures << QStringLiteral("ADR ") + Q(t.address);
        if (!t.rateText.empty()) figures << Q(t.rateText);
        figures_->setText(figures.join(QStringLiteral("  ")));
    }
    const auto timed = [](const stationwindow::StationTile& x) {
        return x.state != TileState::Ready && x.state != TileState::Waiting && x.state != TileState::Gone;
    };
    if (all || t.elapsedMs != was.elapsedMs || t.attempt != was.attempt || t.connection != was.connection ||
        timed(t) != timed(was)) {
        QStringList time;
        if (timed(t)) time << QStringLiteral("Time ") + ElapsedText(t.elapsedMs);
        if (t.attempt > 1) time << QStringLiteral("試行 %1").arg(t.attempt);
        if (t.connection > 1) time << QStringLiteral("接続 %1").arg(t.connection);
        time_->setText(time.join(QStringLiteral("  ")));
    }
    if (all || t.ended != was.ended || t.exitCode != was.exitCode || t.exitText != was.exitText)
        ending_->setText(t.ended ? QStringLiteral("終了ｺｰﾄﾞ %1: ").arg(t.exitCode) + Q(t.exitText)
                                 : QString());
    if (all || t.canStop != was.canStop) stop_->setEnabled(t.canStop);
    shown_ = t;
    anyShown_ = true;
}

}  // namespace mirvok

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
    return QString::asprintf("%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                             static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
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

void StationTileWidget::Show(const stationwindow::StationTile& t) {
    name_->setText(Q(t.name));
    adapter_->setText(Q(t.adapter));
    adapter_->setToolTip(Q(t.adapter));
    state_->setText(Q(t.stateText));
    QPalette palette = state_->palette();
    palette.setColor(QPalette::Window, QColor(t.colour.red, t.colour.green, t.colour.blue));
    palette.setColor(QPalette::WindowText, Qt::black);
    state_->setPalette(palette);
    progress_->setValue(t.percent);
    QStringList figures;
    if (!t.linesText.empty()) figures << Q(t.linesText) + QStringLiteral(" 行");
    if (!t.address.empty()) figures << QStringLiteral("ADR ") + Q(t.address);
    if (!t.rateText.empty()) figures << Q(t.rateText);
    figures_->setText(figures.join(QStringLiteral("  ")));
    QStringList time;
    if (t.state != stationwindow::TileState::Ready && t.state != stationwindow::TileState::Waiting &&
        t.state != stationwindow::TileState::Gone)
        time << QStringLiteral("Time ") + ElapsedText(t.elapsedMs);
    if (t.attempt > 1) time << QStringLiteral("試行 %1").arg(t.attempt);
    if (t.connection > 1) time << QStringLiteral("接続 %1").arg(t.connection);
    time_->setText(time.join(QStringLiteral("  ")));
    ending_->setText(t.ended ? QStringLiteral("終了ｺｰﾄﾞ %1: ").arg(t.exitCode) + Q(t.exitText) : QString());
    stop_->setEnabled(t.canStop);
}

}  // namespace mirvok

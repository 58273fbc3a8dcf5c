#include "QtHost.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QTime>
#include <QTimer>

#include "QtText.h"
#include "startup/Timer.h"
#include "ui/InputBoxButtons.h"

namespace mirvok {

namespace {

// How long IdleWait waits for an event when none is pending, so that the
// waiting loops of the core do not keep a processor core busy.
constexpr int kIdleWaitMs = 1;

QMessageBox::Icon IconOf(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The buttons of a set, first and second.
std::pair<QMessageBox::StandardButton, QMessageBox::StandardButton> ButtonsOf(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OK:
            return {QMessageBox::Ok, QMessageBox::NoButton};
        case MsgButtons::OKCancel:
            return {QMessageBox::Ok, QMessageBox::Cancel};
        case MsgButtons::YesNo:
            return {QMessageBox::Yes, QMessageBox::No};
        case MsgButtons::RetryCancel:
            return {QMessageBox::Retry, QMessageBox::Cancel};
    }
    return {QMessageBox::Ok, QMessageBox::NoButton};
}

MsgResult ResultOf(QMessageBox::StandardButton button, MsgButtons set) {
    switch (button) {
        case QMessageBox::Ok:
            return MsgResult::OK;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Retry:
            return MsgResult::Retry;
        default:
            break;
    }
    return ClosedBoxAnswer(set);
}

}  // namespace

QStringList NameFiltersOf(const std::string& filter) {
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (pattern == QStringLiteral("*.*")) {
                patterns << QStringLiteral("*");
                continue;
            }
            patterns << pattern;
            if (pattern.toLower() != pattern) patterns << pattern.toLower();
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

QtHost::QtHost() : wakeUp_(std::make_unique<QTimer>()) {
    monotonic_.start();
    wakeUp_->setSingleShot(true);
    wakeUp_->setTimerType(Qt::PreciseTimer);
}

QtHost::~QtHost() = default;

void QtHost::DoEvents() {
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->processEvents(QEventLoop::AllEvents);
    if (AfterEvents) AfterEvents();
}

void QtHost::IdleWait() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher && !dispatcher->processEvents(QEventLoop::AllEvents)) {
        // Nothing was pending: sleep until an event comes, at most a moment.
        wakeUp_->start(kIdleWaitMs);
        dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        wakeUp_->stop();
    }
    if (AfterEvents) AfterEvents();
}

double QtHost::SecondsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

std::uint32_t QtHost::Milliseconds() {
    return static_cast<std::uint32_t>(monotonic_.elapsed() & 0xFFFFFFFF);
}

QString QtHost::TitleOf(const std::string& title) const {
    return Q(TitleOrAppTitle(title));
}

MsgResult QtHost::MsgBox(const MsgBoxRequest& request) {
    if (Refresh) Refresh();
    const auto [first, second] = ButtonsOf(request.buttons);
    QMessageBox box(IconOf(request.icon), TitleOf(request.title), DisplayText(request.text),
                    second == QMessageBox::NoButton ? QMessageBox::StandardButtons(first)
                                                    : QMessageBox::StandardButtons(first | second),
                    parent_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(
        request.defaultButton == MsgDefault::Second && second != QMessageBox::NoButton ? second : first);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    const auto button = clicked ? box.standardButton(clicked) : QMessageBox::NoButton;
    return ResultOf(button, request.buttons);
}

std::optional<std::string> QtHost::InputBox(const std::string& prompt, const std::string& title,
                                            const std::string& defaultText) {
    if (Refresh) Refresh();
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(TitleOf(title));
    dialog.setLabelText(DisplayText(prompt));
    dialog.setTextValue(Q(defaultText));
    dialog.setOkButtonText(Q(kInputBoxOkLabel));
    dialog.setCancelButtonText(Q(kInputBoxCancelLabel));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toStdString();
}

std::optional<std::string> QtHost::OpenFileDialog(const FileDialogRequest& request) {
    if (Refresh) Refresh();
    QFileDialog dialog(parent_, Q(request.title), Q(request.initialDir));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(NameFiltersOf(request.filter));
    if (!request.initialName.empty()) dialog.selectFile(Q(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

bool QtHost::StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                          bool minimized) {
    QProcess process;
    process.setProgram(Q(program));
    QStringList args;
    for (const std::string& a : arguments) args << Q(a);
    process.setArguments(args);
    (void)minimized;  // a window manager decides how a new program's window opens
    return process.startDetached();
}

void QtHost::AttachTimer(Timer& timer) {
    auto qtimer = std::make_unique<QTimer>();
    qtimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(qtimer.get(), &QTimer::timeout, [this, &timer] {
        timer.Fire();
        if (Refresh) Refresh();
    });
    timers_[&timer] = std::move(qtimer);
    TimerChanged(timer);
}

void QtHost::DetachTimer(Timer& timer) {
    timers_.erase(&timer);
}

void QtHost::TimerChanged(Timer& timer) {
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    if (timer.Enabled() && timer.Interval() > 0)
        it->second->start(timer.Interval());
    else
        it->second->stop();
}

}  // namespace mirvok

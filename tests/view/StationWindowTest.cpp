// The station window's Qt view over its form, driven by scripted children on
// virtual time: the tiles show the form's states, colours and figures, their
// stop buttons and the window's buttons reach the form, and closing asks.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <set>

#include "station/ExitCode.h"
#include "stationwindow/StationForm.h"
#include "support/SRecordMaker.h"
#include "support/TempDir.h"
#include "ui/qt/station/StationWindow.h"

namespace mirvok {
namespace {

using namespace stationwindow;

struct ChildState {
    int port = 0;
    std::string output;
    bool inputClosed = false;
    bool ended = false;
    int code = 0;
};

class FakeChild final : public station::ChildProcess {
public:
    explicit FakeChild(std::shared_ptr<ChildState> s) : s_(std::move(s)) {}
    bool ReadAvailable(std::string& out) override {
        out += s_->output;
        s_->output.clear();
        return !s_->ended;
    }
    void CloseInput() override { s_->inputClosed = true; }
    bool Ended(int& code) override {
        code = s_->code;
        return s_->ended;
    }
    void Kill() override { s_->ended = true; }

private:
    std::shared_ptr<ChildState> s_;
};

class Bench final : public station::StationClock,
                    public station::StationPorts,
                    public StationRun,
                    public StationQuestions {
public:
    test::TempDir dir;
    std::int64_t nowUs = 1000000;
    std::vector<std::shared_ptr<ChildState>> children;
    bool answerYes = false;
    int asked = 0;

    std::int64_t NowUs() override { return nowUs; }
    station::WallTime WallNow() override { return station::WallTime(std::chrono::microseconds(nowUs)); }
    std::vector<PortInfo> List() override {
        return {{1, "/dev/ttyUSB0", "FT232R USB UART", "A1"},
                {2, "/dev/ttyUSB1", "", "B2"},
                {3, "/dev/ttyS0", "", ""}};
    }
    station::LinesLook Lines(int) override { return station::LinesLook::On; }
    std::unique_ptr<station::ChildProcess> Start(const station::StationDevice& d, std::string&) override {
        children.push_back(std::make_shared<ChildState>());
        children.back()->port = d.port;
        return std::make_unique<FakeChild>(children.back());
    }
    station::AttemptRecord FallbackRecord(const station::StationDevice& d, station::WallTime end,
                                          double seconds) override {
        station::AttemptRecord r;
        r.start = d.attemptStart;
        r.end = end;
        r.port = d.port;
        r.seconds = seconds;
        return r;
    }
    bool AppendStarted(const station::StationDevice&) override { return true; }
    bool Append(const std::string&) override { return true; }
    bool WriteReport(const station::JunitSuite&) override { return true; }
    void Prepare(const StationChoices&) override {}
    bool AskYesNo(const std::string&, const std::string&) override {
        ++asked;
        return answerYes;
    }

    ChildState& Child(int port) {
        for (auto& c : children)
            if (c->port == port) return *c;
        static ChildState none;
        ADD_FAILURE() << "no child on COM" << port;
        return none;
    }
    void Say(int port, const std::string& line) { Child(port).output += line + "\n"; }
    void End(int port, int code) {
        Say(port, "{\"event\":\"result\",\"exit_code\":" + std::to_string(code) +
                      ",\"ending\":\"e\",\"text\":\"t" + std::to_string(port) + "\"}");
        Child(port).ended = true;
        Child(port).code = code;
    }
    void Wait(std::int64_t us, StationForm& form) {
        for (std::int64_t left = us; left > 0; left -= 20000) {
            nowUs += 20000;
            form.Pump();
        }
        QApplication::processEvents();
    }
};

class StationWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        StationChoices c;
        c.file = bench.dir.Write("fw.s28", test::JoinLines({test::S0(), test::S2(0x10000), test::S8()}));
        c.ports = {1, 2, 3};
        form.SetChoices(c);
        window = std::make_unique<StationWindow>(form);
        window->show();
        QApplication::processEvents();
    }

    QColor StateColour(int tile) const {
        return window->Tile(tile)->StateLabel()->palette().color(QPalette::Window);
    }

    Bench bench;
    StationForm form{StationFormServices{bench, bench, bench, bench}, bench.dir.File("Mirvok.ini")};
    std::unique_ptr<StationWindow> window;
};

TEST_F(StationWindowTest, TilesShowTheDevicesAndStopThem) {
    EXPECT_EQ(window->TileCount(), 3);
    EXPECT_EQ(window->PortList()->item(0)->checkState(), Qt::Checked);
    EXPECT_FALSE(window->StopAllButton()->isEnabled());
    QTest::mouseClick(window->StartAllButton(), Qt::LeftButton);
    ASSERT_TRUE(form.Running());
    EXPECT_FALSE(window->StartAllButton()->isEnabled());
    EXPECT_TRUE(window->StopAllButton()->isEnabled());
    EXPECT_FALSE(window->PortList()->isEnabled());

    bench.Say(
        1,
        "{\"event\":\"progress\",\"percent\":50,\"lines_sent\":5,\"lines_total\":10,\"address\":\"012300\","
        "\"bytes_per_second\":11300}");
    bench.Wait(1000000, form);
    StationTileWidget* tile = window->Tile(0);
    EXPECT_EQ(tile->StateLabel()->text(), QStringLiteral("送信中"));
    EXPECT_EQ(StateColour(0), QColor(255, 255, 0));
    EXPECT_EQ(tile->Progress()->value(), 50);
    EXPECT_TRUE(tile->Figures()->text().contains(QStringLiteral("5/10 行")));
    EXPECT_TRUE(tile->Figures()->text().contains(QStringLiteral("11.3 kB/s")));
    EXPECT_TRUE(tile->Time()->text().contains(QStringLiteral("Time 00:01")));

    QTest::mouseClick(window->Tile(1)->StopButton(), Qt::LeftButton);
    EXPECT_TRUE(bench.Child(2).inputClosed);
    EXPECT_FALSE(bench.Child(1).inputClosed);
    EXPECT_FALSE(window->Tile(1)->StopButton()->isEnabled());

    bench.End(1, kExitOk);
    bench.End(2, 130);
    bench.End(3, kExitPaRefused);
    bench.Wait(20000, form);
    EXPECT_EQ(StateColour(0), QColor(0, 255, 0));
    EXPECT_EQ(StateColour(1), QColor(192, 192, 192));
    EXPECT_EQ(StateColour(2), QColor(255, 0, 0));
    EXPECT_EQ(window->Tile(2)->Ending()->text(), QStringLiteral("終了ｺｰﾄﾞ %1: t3").arg(kExitPaRefused));
    EXPECT_EQ(window->TotalsLabel()->text(), QStringLiteral("完了 1    失敗 1    中止 1    待ち 0"));
    EXPECT_EQ(window->AttemptList()->topLevelItemCount(), 3);
    EXPECT_TRUE(window->StartAllButton()->isEnabled());
    EXPECT_TRUE(window->PortList()->isEnabled());
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(window->Tile(i)->StopButton()->isEnabled());
    // Focus never lost: it is on a control that can take it.
    ASSERT_NE(window->focusWidget(), nullptr);
    EXPECT_TRUE(window->focusWidget()->isEnabled());
}

TEST_F(StationWindowTest, StartIsRefusedWithoutAPort) {
    for (int i = 0; i < 3; ++i) window->PortList()->item(i)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(form.Choices().ports.empty());
    EXPECT_EQ(window->TileCount(), 0);
    QTest::mouseClick(window->StartAllButton(), Qt::LeftButton);
    EXPECT_FALSE(form.Running());
    EXPECT_EQ(window->NoticeLabel()->text(), QStringLiteral("通信ﾎﾟｰﾄを選択して下さい。"));
}

TEST_F(StationWindowTest, ClosingAsksThenStopsTheDevices) {
    QTest::mouseClick(window->StartAllButton(), Qt::LeftButton);
    window->close();
    EXPECT_EQ(bench.asked, 1);
    EXPECT_TRUE(window->isVisible());  // No: the devices go on
    EXPECT_FALSE(bench.Child(1).inputClosed);
    bench.answerYes = true;
    window->close();
    EXPECT_EQ(bench.asked, 2);
    EXPECT_TRUE(window->isVisible());  // until every device has ended
    for (int p : {1, 2, 3}) {
        EXPECT_TRUE(bench.Child(p).inputClosed);
        bench.End(p, 130);
    }
    bench.Wait(20000, form);
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(form.Totals().stopped, 3);
}

TEST_F(StationWindowTest, EveryMnemonicIsItsOwn) {
    std::set<QChar> seen;
    QStringList texts;
    for (auto* button : window->findChildren<QAbstractButton*>()) texts << button->text();
    for (auto* label : window->findChildren<QLabel*>())
        if (label->buddy()) texts << label->text();
    for (const QString& text : texts) {
        const auto match = QRegularExpression(QStringLiteral("&(.)")).match(text);
        if (!match.hasMatch()) continue;
        const QChar key = match.captured(1).at(0).toUpper();
        EXPECT_TRUE(seen.insert(key).second) << text.toStdString();
    }
    EXPECT_GE(seen.size(), 18u);
}

}  // namespace
}  // namespace mirvok

// The batch window on simulated devices: a row per device, the password typed once for all, a
// refusing device among good ones, Stop sparing the devices not yet started, and the upgrade
// skipping the device its file does not fit.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "ChildById.h"
#include "LayoutCheck.h"
#include "core/link/Session.h"
#include "devsim/Simulator.h"
#include "gui/ops/BatchWindow.h"
#include "gui/ops/Login.h"
#include "support/LoopbackPeer.h"

using namespace lm;
using namespace lm::gui;
using Id = BatchWindow::Id;

namespace {

constexpr int kDevices = 6;
constexpr std::size_t kRefuses = 1;
constexpr const char* kPassword = "s3cret";  // none of them is at factory settings

QString address(std::size_t i) {
    return QStringLiteral("127.0.94.%1").arg(21 + i);
}

}  // namespace

class BatchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        sim::SimulatorConfig config;
        config.devices = sim::demoDevices(kDevices, *parseIpv4("127.0.94.21"));
        for (std::size_t i = 0; i < config.devices.size(); ++i) {
            auto& device = config.devices[i];
            device.mac = *sim::parseMac("02:4C:55:C0:06:0" + std::to_string(i));  // zelvix-5206e*.bin
            device.shell.password = kPassword;
            device.shell.rebootDelayMs = 100;
            device.shell.commandLatencyMs = 100;  // long enough to press Stop while they work
        }
        config.devices[kRefuses].shell.faults.refusePassword = true;
        config.devices[5].mac = *sim::parseMac("02:4C:55:C1:06:05");  // zelvix-5407*.bin
        config.tftpPort = test::freeUdpPort();
        simulator_ = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        QVERIFY2(simulator_->start(&error), error.c_str());
        NetworkProfile profile;
        profile.telnetPort = simulator_->telnetPort();
        profile.discoveryPort = simulator_->discoveryPort();
        profile.tftpPort = simulator_->tftpPort();
        profile.interfaces = NetworkProfile::parseInterfaces("127.0.94.1/255.0.0.0");
        profile.echoSettingPath = dir_.filePath(QStringLiteral("none")).toStdString();  // allowed
        Timing timing = Timing::fast();
        timing.pauseScale = 0.05;
        session_ = std::make_unique<Session>(profile, timing);
    }
    void cleanupTestCase() { simulator_->stop(); }
    void init() {
        for (std::size_t i = 0; i < kDevices; ++i)
            QVERIFY(simulator_->waitUntilUp(i, Milliseconds(5000)));
    }

    // A row per device with its ID (asked of the device when the list had none), the password
    // typed once, and each row ending as its device did; no box and no password prompt on the way.
    void rowsTellEachDeviceAndThePasswordIsAskedOnce() {
        auto window = make(BatchWindow::Operation::Reboot, {0, 1, 2});
        auto* list = child<QTreeWidget>(*window, Id::Devices);
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->headerItem()->text(BatchWindow::kId), QStringLiteral("ID"));
        QCOMPARE(list->headerItem()->text(BatchWindow::kResult), QStringLiteral("Result"));
        QCOMPARE(list->topLevelItem(1)->text(BatchWindow::kAddress), address(1));
        QCOMPARE(list->topLevelItem(0)->text(BatchWindow::kStatus), QStringLiteral("Waiting"));
        auto* password = child<QLineEdit>(*window, Id::Password);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QVERIFY(child<QPushButton>(*window, Id::Start)->isDefault());
        QVERIFY(!child<QPushButton>(*window, Id::Stop)->isEnabled());
        QVERIFY(child<QWidget>(*window, Id::RomFile) == nullptr);

        const auto rebootsBefore = reboots();
        int prompts = 0;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&prompts] {
            if (auto* login = qobject_cast<Login*>(QApplication::activeModalWidget())) {
                ++prompts;
                login->reject();
            }
        });
        watch.start(10);
        QSignalSpy ended(window.get(), &BatchWindow::batchEnded);
        QTest::keyClicks(password, QString::fromLatin1(kPassword));
        QTest::mouseClick(child<QPushButton>(*window, Id::Start), Qt::LeftButton);
        QVERIFY(window->running());
        QVERIFY(!child<QPushButton>(*window, Id::Close)->isEnabled());
        window->reject();  // the close box while devices are at work
        QVERIFY(window->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        watch.stop();
        QCOMPARE(prompts, 0);
        QCOMPARE(boxes_, QStringList());
        QCOMPARE(results(*list), (QStringList{"OK", "refused: Please enter the correct password.", "OK"}));
        QCOMPARE(list->topLevelItem(2)->text(BatchWindow::kId), QStringLiteral("024C55-C00602"));
        const auto rebootsAfter = reboots();
        QCOMPARE(rebootsAfter[0], rebootsBefore[0] + 1);
        QCOMPARE(rebootsAfter[kRefuses], rebootsBefore[kRefuses]);
        QCOMPARE(rebootsAfter[2], rebootsBefore[2] + 1);
        QVERIFY(child<QPushButton>(*window, Id::Close)->isEnabled());
        QVERIFY(!child<QPushButton>(*window, Id::Start)->isEnabled());
        window->reject();
        QVERIFY(!window->isVisible());
    }

    // Each operation's window: its controls inside it, none over another, the upgrade's own only
    // in the upgrade's.
    void layoutOfEachOperation() {
        for (const auto operation : {BatchWindow::Operation::Reboot, BatchWindow::Operation::SetTime,
                                     BatchWindow::Operation::Upgrade}) {
            auto window = make(operation, {0, 2});
            QCOMPARE(layoutProblem(*window), QString());
            QCOMPARE(child<QWidget>(*window, Id::RomFile) != nullptr,
                     operation == BatchWindow::Operation::Upgrade);
        }
    }

    // Without the password nothing starts, and the status line says what is missing.
    void noPasswordNoStart() {
        auto window = make(BatchWindow::Operation::Reboot, {0, 2});
        const auto sessions = simulator_->counters(0).telnetSessions;
        QTest::mouseClick(child<QPushButton>(*window, Id::Start), Qt::LeftButton);
        QVERIFY(!window->running());
        QCOMPARE(child<QLabel>(*window, Id::StatusLine)->text(),
                 QStringLiteral("You must specify the administrator password."));
        QCOMPARE(simulator_->counters(0).telnetSessions, sessions);
    }

    // Stop while the jobs hold their first devices: those finish, the others are never reached.
    void stopSparesTheDevicesNotYetStarted() {
        auto window = make(BatchWindow::Operation::SetTime, {0, 2, 3, 4, 5, 1});
        std::vector<uint64_t> sessions;
        for (std::size_t i = 0; i < kDevices; ++i)
            sessions.push_back(simulator_->counters(i).telnetSessions);
        QSignalSpy ended(window.get(), &BatchWindow::batchEnded);
        QTest::keyClicks(child<QLineEdit>(*window, Id::Password), QString::fromLatin1(kPassword));
        QTest::mouseClick(child<QPushButton>(*window, Id::Start), Qt::LeftButton);
        QTRY_VERIFY(std::count_if(window->rows().begin(), window->rows().end(), [](const BatchRow& row) {
                        return row.state == BatchRow::State::Running;
                    }) == BatchWindow::kJobs);
        QTest::mouseClick(child<QPushButton>(*window, Id::Stop), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        auto* list = child<QTreeWidget>(*window, Id::Devices);
        QCOMPARE(results(*list), (QStringList{"OK", "OK", "OK", "OK", "cancelled", "cancelled"}));
        QCOMPARE(list->topLevelItem(4)->text(BatchWindow::kStatus), QStringLiteral("Not started"));
        QCOMPARE(simulator_->counters(5).telnetSessions, sessions[5]);
        QCOMPARE(simulator_->counters(kRefuses).telnetSessions, sessions[kRefuses]);
        QCOMPARE(boxes_, QStringList());
    }

    // One image for several devices: the device the file does not fit is skipped without a login;
    // clearing the erase box warns as the one-device window does.
    void upgradeSkipsTheDeviceTheFileDoesNotFit() {
        auto window = make(BatchWindow::Operation::Upgrade, {0, 5});
        const QString rom = dir_.filePath(QStringLiteral("zelvix-5206e-2.4.1.bin"));
        QFile image(rom);
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(QByteArray(40 * 512 + 3, '\x5a'));
        image.close();
        QTest::mouseClick(child<QCheckBox>(*window, Id::EraseConfig), Qt::LeftButton);
        QCOMPARE(boxes_.size(), 1);
        QVERIFY(!child<QCheckBox>(*window, Id::SaveNetwork)->isEnabled());
        child<QCheckBox>(*window, Id::EraseConfig)->setChecked(true);
        boxes_.clear();
        child<QLineEdit>(*window, Id::RomFile)->setText(rom);
        QTest::keyClicks(child<QLineEdit>(*window, Id::Password), QString::fromLatin1(kPassword));
        const auto sessions = simulator_->counters(5).telnetSessions;
        QSignalSpy ended(window.get(), &BatchWindow::batchEnded);
        QTest::mouseClick(child<QPushButton>(*window, Id::Start), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
        const QStringList shown = results(*child<QTreeWidget>(*window, Id::Devices));
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0], QStringLiteral("OK"));
        QVERIFY2(shown[1].startsWith(QStringLiteral("skipped: zelvix-5206e-2.4.1.bin is not for")),
                 qPrintable(shown[1]));
        QCOMPARE(simulator_->counters(5).telnetSessions, sessions);
        const auto flashes = simulator_->flashes(0);
        QVERIFY(!flashes.empty());
        QVERIFY(flashes.back().complete);
        QCOMPARE(flashes.back().bytes, uint64_t{40 * 512 + 3});
    }

private:
    // The window on the devices of indices, with the list's IDs for all but the third.
    std::unique_ptr<BatchWindow> make(BatchWindow::Operation operation, std::vector<std::size_t> indices) {
        boxes_.clear();
        std::vector<BatchDevice> devices;
        for (std::size_t n = 0; n < indices.size(); ++n) {
            const std::size_t i = indices[n];
            const std::string id = n == 2 ? "" : sim::identifierOf(simulator_->devices()[i]);
            devices.push_back({address(i).toStdString(), id, {}});
        }
        auto window = std::make_unique<BatchWindow>(*session_, operation, std::move(devices));
        window->setMessageBoxHandler(
            [this](QWidget*, const QString& text, const QString&, Question::Icon, Choices) {
                boxes_ << text;
                return Answer::Ok;
            });
        window->show();
        return window;
    }
    static QStringList results(const QTreeWidget& list) {
        QStringList shown;
        for (int row = 0; row < list.topLevelItemCount(); ++row)
            shown << list.topLevelItem(row)->text(BatchWindow::kResult);
        return shown;
    }
    std::vector<uint64_t> reboots() const {
        std::vector<uint64_t> counts;
        for (std::size_t i = 0; i < kDevices; ++i)
            counts.push_back(simulator_->counters(i).reboots);
        return counts;
    }

    QTemporaryDir dir_;
    std::unique_ptr<sim::Simulator> simulator_;
    std::unique_ptr<Session> session_;
    QStringList boxes_;
};

QTEST_MAIN(BatchWindowTest)
#include "BatchWindowTest.moc"

// Back Up Settings and Restore Settings in the batch window, on simulated devices that are not at
// factory settings and one that refuses the password: the file the backup writes, a compare-only
// restore that writes nothing, a restore that writes only the device that differs, and a device the
// plan leaves alone shown with its reason and never reached.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>

#include "ChildById.h"
#include "LayoutCheck.h"
#include "core/ProgramVersion.h"
#include "core/link/Session.h"
#include "devsim/Simulator.h"
#include "gui/ops/BatchWindow.h"

using namespace lm;
using namespace lm::gui;
using Id = BatchWindow::Id;

namespace {

constexpr std::size_t kDevices = 3;
constexpr std::size_t kRefuses = 2;
constexpr const char* kPassword = "s3cret";

std::string host(std::size_t i) {
    return "127.0.95." + std::to_string(31 + i);
}

QStringList column(const QTreeWidget& list, int column) {
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts << list.topLevelItem(i)->text(column);
    return texts;
}

}  // namespace

class SiteWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        sim::SimulatorConfig config;
        for (std::size_t i = 0; i < kDevices; ++i) {
            sim::DeviceConfig device;
            device.mac = *sim::parseMac("02:4C:55:C8:09:0" + std::to_string(i));
            device.address = *parseIpv4(host(i));
            device.shell.password = kPassword;
            device.shell.rebootDelayMs = 100;
            device.shell.files["/etc/config/network"] = "NETWORKING=yes\nHOSTNAME=door" + std::to_string(i) +
                                                        "\nGATEWAYDEV=eth0\nGATEWAY=127.0.0.1\n";
            config.devices.push_back(device);
        }
        config.devices[kRefuses].shell.faults.refusePassword = true;
        simulator_ = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        QVERIFY2(simulator_->start(&error), error.c_str());
        NetworkProfile profile;
        profile.telnetPort = simulator_->telnetPort();
        profile.discoveryPort = simulator_->discoveryPort();
        profile.interfaces = NetworkProfile::parseInterfaces("127.0.95.1/255.0.0.0");
        session_ = std::make_unique<Session>(profile, Timing::fast());
        for (std::size_t i = 0; i < kDevices; ++i)
            devices_.push_back({host(i), sim::identifierOf(simulator_->devices()[i]), {}});
    }
    void cleanupTestCase() { simulator_->stop(); }

    void backupWritesEveryDeviceAndWhyOneIsMissing() {
        const QString path = dir_.filePath(QStringLiteral("site.json"));
        BatchWindow window(*session_, BatchWindow::Operation::Backup, devices_);
        window.setSiteFile(path);
        window.show();
        QCOMPARE(layoutProblem(window), QString());
        QVERIFY(child<QWidget>(window, Id::CompareOnly) == nullptr);
        runToEnd(window);
        auto* list = child<QTreeWidget>(window, Id::Devices);
        QCOMPARE(column(*list, BatchWindow::kResult).mid(0, 2), (QStringList{"OK", "OK"}));
        QVERIFY(column(*list, BatchWindow::kResult)[kRefuses].startsWith(QStringLiteral("refused: ")));
        QCOMPARE(child<QLabel>(window, Id::StatusLine)->text(),
                 QStringLiteral("Saved the settings of 2 of 3 devices in %1.").arg(path));

        SiteFile site;
        QCOMPARE(QString::fromStdString(readSiteFile(path.toStdString(), site)), QString());
        QCOMPARE(site.programVersion, std::string(kProgramVersion));
        QCOMPARE(site.devices.size(), kDevices);
        QCOMPARE(site.devices[1].settings["hostname"].get<std::string>(), std::string("door1"));
        QVERIFY(site.devices[kRefuses].settings.is_null());
        QVERIFY(!site.devices[kRefuses].problem.empty());
        site_ = site;
    }

    // The file with device 0's host name changed, and a saved device nobody has any more.
    void compareOnlyWritesNothingAndLeavesTheMissingDeviceAlone() {
        QVERIFY(!site_.devices.empty());
        auto window = restoreWindow(true);
        auto* list = child<QTreeWidget>(*window, Id::Devices);
        QCOMPARE(layoutProblem(*window), QString());
        // Shown before the start, and never worked on.
        QCOMPARE(list->topLevelItem(3)->text(BatchWindow::kResult),
                 QStringLiteral("unreachable: the scan found no device 024C55-C80977"));
        const auto sessionsBefore = simulator_->counters(0).telnetSessions;
        runToEnd(*window);
        const QStringList results = column(*list, BatchWindow::kResult);
        QCOMPARE(results[0], QStringLiteral("OK: 1 setting would change"));
        QCOMPARE(results[1], QStringLiteral("OK: already matches"));
        QVERIFY(results[2].startsWith(QStringLiteral("skipped: its settings were not saved")));
        QVERIFY(list->topLevelItem(0)
                    ->toolTip(BatchWindow::kResult)
                    .contains(QStringLiteral("hostname: \"door0\" -> \"lobby\"")));
        QVERIFY(simulator_->counters(0).telnetSessions > sessionsBefore);
        QVERIFY(!wroteAnything(0));
        QVERIFY(networkFile(0).contains("HOSTNAME=door0"));
    }

    void restoreWritesOnlyTheDeviceThatDiffers() {
        auto window = restoreWindow(false);
        runToEnd(*window);
        const QStringList results = column(*child<QTreeWidget>(*window, Id::Devices), BatchWindow::kResult);
        QCOMPARE(results[0], QStringLiteral("OK: 1 setting written"));
        QCOMPARE(results[1], QStringLiteral("OK: already matches"));
        QVERIFY(networkFile(0).contains("HOSTNAME=lobby"));
        QVERIFY(!wroteAnything(1));
        QVERIFY(simulator_->waitUntilUp(0, Milliseconds(5000)));
    }

private:
    std::unique_ptr<BatchWindow> restoreWindow(bool compareOnly) {
        SiteFile site = site_;
        site.devices[0].settings["hostname"] = "lobby";
        SavedDevice gone = site.devices[1];
        gone.id = "024C55-C80977";
        site.devices.push_back(gone);
        std::vector<RestorePlanRow> plan = planRestore(site, {}, devices_, kProgramVersion);
        std::vector<BatchDevice> targets;
        for (const RestorePlanRow& row : plan)
            targets.push_back(row.target);
        auto window = std::make_unique<BatchWindow>(*session_, BatchWindow::Operation::Restore, targets);
        window->setRestorePlan(std::move(plan));
        child<QCheckBox>(*window, Id::CompareOnly)->setChecked(compareOnly);
        window->show();
        return window;
    }
    void runToEnd(BatchWindow& window) {
        QSignalSpy ended(&window, &BatchWindow::batchEnded);
        QTest::keyClicks(child<QLineEdit>(window, Id::Password), QString::fromLatin1(kPassword));
        QTest::mouseClick(child<QPushButton>(window, Id::Start), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
    }
    QString networkFile(std::size_t i) const {
        return QString::fromStdString(simulator_->fileText(i, "/etc/config/network").value_or(""));
    }
    bool wroteAnything(std::size_t i) const {
        const auto commands = simulator_->commands(i);
        return std::any_of(commands.begin(), commands.end(), [](const std::string& line) {
            return line.starts_with("mv ") || line.starts_with("config save") || line.starts_with("reboot");
        });
    }

    std::unique_ptr<sim::Simulator> simulator_;
    std::unique_ptr<Session> session_;
    std::vector<BatchDevice> devices_;
    SiteFile site_;
    QTemporaryDir dir_;
};

QTEST_MAIN(SiteWindowsTest)
#include "SiteWindowsTest.moc"

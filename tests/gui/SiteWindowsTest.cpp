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

#include "BatchRun.h"
#include "ChildById.h"
#include "LayoutCheck.h"
#include "core/ProgramVersion.h"
#include "core/link/Session.h"
#include "gui/ops/BatchWindow.h"
#include "support/SiteDevices.h"

using namespace lm;
using namespace lm::gui;
using Id = BatchWindow::Id;
using lm::test::siteDevices;
using lm::test::startSite;

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
        auto devices = siteDevices(kDevices, "127.0.95.", 31, 9, kPassword);
        devices[kRefuses].shell.faults.refusePassword = true;
        NetworkProfile profile;
        QCOMPARE(QString::fromStdString(startSite(std::move(devices), simulator_, profile)), QString());
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
    }

    void restoreWritesOnlyTheDeviceThatDiffers() {
        auto window = restoreWindow(false);
        runToEnd(*window);
        const QStringList results = column(*child<QTreeWidget>(*window, Id::Devices), BatchWindow::kResult);
        QCOMPARE(results[0], QStringLiteral("OK: 1 setting written"));
        QCOMPARE(results[1], QStringLiteral("OK: already matches"));
        QVERIFY(networkFile(0).contains("HOSTNAME=lobby"));
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
    static void runToEnd(BatchWindow& window) { runBatchToEnd(window, kPassword); }
    QString networkFile(std::size_t i) const {
        return QString::fromStdString(simulator_->fileText(i, "/etc/config/network").value_or(""));
    }
    bool wroteAnything(std::size_t i) const { return test::wroteAnything(*simulator_, i); }

    std::unique_ptr<sim::Simulator> simulator_;
    std::unique_ptr<Session> session_;
    std::vector<BatchDevice> devices_;
    SiteFile site_;
    QTemporaryDir dir_;
};

QTEST_MAIN(SiteWindowsTest)
#include "SiteWindowsTest.moc"

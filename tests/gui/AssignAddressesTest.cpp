// Assign Addresses on simulated devices that are not at factory settings: a plan moves the selected
// devices and each answers at its new address; a plan with two devices on one address, or with an
// address that already answers, is refused in the dialog before any device is reached; a device that
// refuses the password is shown as failed while the others move.
#include <QCheckBox>
#include <QFile>
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
#include "core/link/Session.h"
#include "devsim/Simulator.h"
#include "gui/app/Ipv4Field.h"
#include "gui/ops/AssignAddresses.h"
#include "gui/ops/BatchWindow.h"

using namespace lm;
using namespace lm::gui;
using Field = AssignAddresses::Id;
using Id = BatchWindow::Id;

namespace {

constexpr std::size_t kDevices = 3;
constexpr std::size_t kRefuses = 2;
constexpr const char* kPassword = "m0ve-it";

std::string host(std::size_t i) {
    return "127.0.97." + std::to_string(41 + i);
}

std::string moved(std::size_t i) {
    return "127.0.97." + std::to_string(61 + i);
}

QStringList column(const QTreeWidget& list, int column) {
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts << list.topLevelItem(i)->text(column);
    return texts;
}

// What the dialog's fields are given.
struct PlanFields {
    QString first;
    QString last;
    QString file;
    QString pattern;
    QString gateway;
};

}  // namespace

class AssignAddressesTest : public QObject {
    Q_OBJECT

private slots:
    // Each test starts from devices at their own addresses, with the site's password, names and gateway.
    void init() {
        sim::SimulatorConfig config;
        for (std::size_t i = 0; i < kDevices; ++i) {
            sim::DeviceConfig device;
            device.mac = *sim::parseMac("02:4C:55:C8:0A:0" + std::to_string(i));
            device.address = *parseIpv4(host(i));
            device.shell.password = kPassword;
            device.shell.rebootDelayMs = 100;
            device.shell.files["/etc/config/network"] = "NETWORKING=yes\nHOSTNAME=door" + std::to_string(i) +
                                                        "\nGATEWAYDEV=eth0\nGATEWAY=127.0.0.1\n"
                                                        "NTPSERVER=127.0.0.1\n";
            config.devices.push_back(device);
        }
        config.devices[kRefuses].shell.faults.refusePassword = true;
        simulator_ = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        QVERIFY2(simulator_->start(&error), error.c_str());
        profile_ = NetworkProfile();
        profile_.telnetPort = simulator_->telnetPort();
        profile_.discoveryPort = simulator_->discoveryPort();
        profile_.interfaces = NetworkProfile::parseInterfaces("127.0.97.1/255.0.0.0");
        session_ = std::make_unique<Session>(profile_, Timing::fast());
        devices_.clear();
        for (std::size_t i = 0; i < kDevices; ++i)
            devices_.push_back({host(i), sim::identifierOf(simulator_->devices()[i]), {}});
    }
    void cleanup() {
        session_.reset();
        simulator_->stop();
        simulator_.reset();
    }

    void planMovesTheSelectedDevicesAndEachAnswersThere() {
        // Selected in another order than their IDs: the range goes by ID.
        const std::vector<PlannedAddress> plan = acceptedPlan(
            {devices_[1], devices_[0]}, {"127.0.97.61", "127.0.97.69", {}, "cam-{n:02}", "127.0.0.1"});
        QCOMPARE(plan.size(), std::size_t(2));
        BatchWindow window(*session_, BatchWindow::Operation::AssignAddresses, devicesOf(plan));
        window.setAddressPlan(plan);
        window.show();
        QCOMPARE(layoutProblem(window), QString());
        auto* list = child<QTreeWidget>(window, Id::Devices);
        QCOMPARE(column(*list, BatchWindow::kAddress),
                 (QStringList{"127.0.97.41 -> 127.0.97.61", "127.0.97.42 -> 127.0.97.62"}));
        // Both addresses are seen whole, not elided.
        QVERIFY(list->columnWidth(BatchWindow::kAddress) >
                list->fontMetrics().horizontalAdvance(list->topLevelItem(0)->text(BatchWindow::kAddress)));
        runToEnd(window);

        QCOMPARE(column(*list, BatchWindow::kResult), (QStringList{"OK", "OK"}));
        QCOMPARE(child<QLabel>(window, Id::StatusLine)->text(),
                 QStringLiteral("2 of 2 devices answered where planned."));
        for (std::size_t i = 0; i < 2; ++i) {
            QCOMPARE(simulator_->address(i), parseIpv4(moved(i)));
            const QString network = networkFile(i);
            QVERIFY2(network.contains(QStringLiteral("HOSTNAME=cam-0%1").arg(i + 1)), qPrintable(network));
            // What the plan does not name stays as the device had it.
            QVERIFY2(network.contains(QStringLiteral("NTPSERVER=127.0.0.1")), qPrintable(network));
        }
        QCOMPARE(simulator_->address(kRefuses), parseIpv4(host(kRefuses)));
        QVERIFY(simulator_->commands(kRefuses).empty());
    }

    void refusedPlanReachesNoDeviceAndKeepsTheFields_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("reason");
        const QString header = QStringLiteral("id,ipAddress,netmask,gateway,hostname\n");
        QTest::newRow("duplicate") << QString() << QString()
                                   << header + QStringLiteral(
                                                   "024C55-C80A00,127.0.97.70,,,\n"
                                                   "024C55-C80A01,127.0.97.70,,,\n")
                                   << QString()
                                   << QStringLiteral(
                                          "127.0.97.70 is planned for both 024C55-C80A00 and 024C55-C80A01");
        // The device left out of the selection holds .43: it answers the probe.
        QTest::newRow("answering") << QStringLiteral("127.0.97.43") << QStringLiteral("127.0.97.50")
                                   << QString() << QString()
                                   << QStringLiteral("127.0.97.43 already answers on the network");
        QTest::newRow("too small") << QStringLiteral("127.0.97.70") << QStringLiteral("127.0.97.70")
                                   << QString() << QString()
                                   << QStringLiteral("the range holds 1 address for 2 devices");
        QTest::newRow("backwards") << QStringLiteral("127.0.97.79") << QStringLiteral("127.0.97.70")
                                   << QString() << QString()
                                   << QStringLiteral("the first not after the last");
        QTest::newRow("bad pattern") << QStringLiteral("127.0.97.70") << QStringLiteral("127.0.97.79")
                                     << QString() << QStringLiteral("cam-{")
                                     << QStringLiteral("the hostname pattern takes {n} or {n:0W}");
        QTest::newRow("neither") << QString() << QString() << QString() << QString()
                                 << QStringLiteral("Give a range of addresses or a plan file");
        QTest::newRow("both") << QStringLiteral("127.0.97.70") << QStringLiteral("127.0.97.79")
                              << header + QStringLiteral("024C55-C80A00,127.0.97.71,,,\n") << QString()
                              << QStringLiteral("Give a range of addresses or a plan file");
    }
    void refusedPlanReachesNoDeviceAndKeepsTheFields() {
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, rows);
        QFETCH(QString, pattern);
        QFETCH(QString, reason);
        QString file;
        if (!rows.isEmpty()) {
            file = dir_.filePath(QStringLiteral("plan.csv"));
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(rows.toUtf8());
        }
        AssignAddresses dialog(profile_, {devices_[0], devices_[1]});
        QStringList boxes;
        dialog.setMessageBoxHandler(
            [&boxes](QWidget*, const QString& text, const QString&, Question::Icon, Choices) {
                boxes << text;
                return Answer::Ok;
            });
        dialog.show();
        QCOMPARE(layoutProblem(dialog), QString());
        fill(dialog, {first, last, file, pattern, {}});
        QTest::mouseClick(child<QPushButton>(dialog, Field::Ok), Qt::LeftButton);

        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].contains(reason), qPrintable(boxes[0]));
        QVERIFY2(boxes[0].contains(QStringLiteral("Nothing was sent.")), qPrintable(boxes[0]));
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.plan().empty());
        QCOMPARE(child<QLineEdit>(dialog, Field::PlanFile)->text(), file);
        QCOMPARE(child<QLineEdit>(dialog, Field::HostnamePattern)->text(), pattern);
        if (!first.isEmpty()) QCOMPARE(child<Ipv4Field>(dialog, Field::FirstAddress)->addressText(), first);
        for (std::size_t i = 0; i < kDevices; ++i) {
            QVERIFY2(simulator_->commands(i).empty(), qPrintable(QString::number(i)));
            QVERIFY(simulator_->fileWrites(i).empty());
            QCOMPARE(simulator_->address(i), parseIpv4(host(i)));
        }
    }

    void refusingDeviceIsShownFailedWhileTheOthersMove() {
        const std::vector<PlannedAddress> plan =
            acceptedPlan(devices_, {"127.0.97.61", "127.0.97.63", {}, {}, {}});
        QCOMPARE(plan.size(), kDevices);
        BatchWindow window(*session_, BatchWindow::Operation::AssignAddresses, devicesOf(plan));
        window.setAddressPlan(plan);
        window.show();
        QCOMPARE(layoutProblem(window), QString());
        // Without a gateway the pages warn: accepted here, as the window offers.
        child<QCheckBox>(window, Id::AcceptWarnings)->setChecked(true);
        runToEnd(window);

        const QStringList results = column(*child<QTreeWidget>(window, Id::Devices), BatchWindow::kResult);
        QCOMPARE(results.mid(0, 2), (QStringList{"OK", "OK"}));
        QVERIFY2(results[kRefuses].startsWith(QStringLiteral("refused: ")), qPrintable(results[kRefuses]));
        QCOMPARE(child<QLabel>(window, Id::StatusLine)->text(),
                 QStringLiteral("2 of 3 devices answered where planned."));
        QCOMPARE(simulator_->address(0), parseIpv4(moved(0)));
        QCOMPARE(simulator_->address(1), parseIpv4(moved(1)));
        QCOMPARE(simulator_->address(kRefuses), parseIpv4(host(kRefuses)));
        // Names not given in the dialog are kept.
        QVERIFY2(networkFile(0).contains(QStringLiteral("HOSTNAME=door0")), qPrintable(networkFile(0)));
    }

private:
    static void fill(AssignAddresses& dialog, const PlanFields& fields) {
        QTest::keyClicks(child<QLineEdit>(dialog, Field::FirstAddress), fields.first);
        QTest::keyClicks(child<QLineEdit>(dialog, Field::LastAddress), fields.last);
        child<QLineEdit>(dialog, Field::PlanFile)->setText(fields.file);
        QTest::keyClicks(child<QLineEdit>(dialog, Field::HostnamePattern), fields.pattern);
        QTest::keyClicks(child<QLineEdit>(dialog, Field::Gateway), fields.gateway);
    }
    std::vector<PlannedAddress> acceptedPlan(std::vector<BatchDevice> selected, const PlanFields& fields) {
        AssignAddresses dialog(profile_, std::move(selected));
        QString box;
        dialog.setMessageBoxHandler(
            [&box](QWidget*, const QString& text, const QString&, Question::Icon, Choices) {
                box = text;
                return Answer::Ok;
            });
        dialog.show();
        fill(dialog, fields);
        QTest::mouseClick(child<QPushButton>(dialog, Field::Ok), Qt::LeftButton);
        if (!box.isEmpty() || dialog.result() != QDialog::Accepted) qWarning("refused: %s", qPrintable(box));
        // The check sent nothing to any device.
        for (std::size_t i = 0; i < kDevices; ++i)
            if (!simulator_->commands(i).empty()) return {};
        return dialog.result() == QDialog::Accepted ? dialog.plan() : std::vector<PlannedAddress>{};
    }
    static std::vector<BatchDevice> devicesOf(const std::vector<PlannedAddress>& plan) {
        std::vector<BatchDevice> devices;
        for (const PlannedAddress& row : plan)
            devices.push_back(row.device);
        return devices;
    }
    static void runToEnd(BatchWindow& window) { runBatchToEnd(window, kPassword); }
    QString networkFile(std::size_t i) const {
        return QString::fromStdString(simulator_->fileText(i, "/etc/config/network").value_or(""));
    }

    std::unique_ptr<sim::Simulator> simulator_;
    NetworkProfile profile_;
    std::unique_ptr<Session> session_;
    std::vector<BatchDevice> devices_;
    QTemporaryDir dir_;
};

QTEST_MAIN(AssignAddressesTest)
#include "AssignAddressesTest.moc"

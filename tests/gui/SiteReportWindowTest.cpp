// The site report window on simulated devices that are not at factory settings, one of which
// refuses the password: the file is asked for once, every device is read with the password typed,
// the status line tells what was written, and closing while reading writes nothing.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ChildById.h"
#include "LayoutCheck.h"
#include "devsim/Simulator.h"
#include "gui/diag/SiteReport.h"

using namespace lm;
using namespace lm::gui;
using C = SiteReportControl;

namespace {

constexpr std::size_t kDevices = 3;
constexpr std::size_t kRefuses = 1;
constexpr const char* kPassword = "s3cret";

}  // namespace

class SiteReportWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        sim::SimulatorConfig config;
        config.devices = sim::demoDevices(kDevices, *parseIpv4("127.0.95.21"));
        for (auto& device : config.devices) {
            device.shell.password = kPassword;
            device.shell.commandLatencyMs = 20;
        }
        config.devices[kRefuses].shell.faults.refusePassword = true;
        simulator_ = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        QVERIFY2(simulator_->start(&error), error.c_str());
        request_.profile.telnetPort = simulator_->telnetPort();
        request_.profile.discoveryPort = simulator_->discoveryPort();
        request_.profile.httpPort = simulator_->httpPort();
        request_.timing = Timing::fast();
        request_.timing.pauseScale = 0.05;
        for (std::size_t i = 0; i < kDevices; ++i) {
            DeviceRecord record;
            record.address = "127.0.95." + std::to_string(21 + i);
            record.id = "024C55-C0000" + std::to_string(i);
            record.deviceType = "Zelvix";
            record.version = "4.2.1";
            devices_.push_back(record);
        }
        devices_.push_back(devices_[0]);  // listed twice, reported once
    }
    void cleanupTestCase() { simulator_->stop(); }

    void controlsAreLaidOutAndWaitForAFile() {
        SiteReport window(devices_, request_);
        window.show();
        QCOMPARE(layoutProblem(window), QString());
        QCOMPARE(window.windowTitle(), QStringLiteral("Site Report"));
        QCOMPARE(child<QLineEdit>(window, C::Password)->echoMode(), QLineEdit::Password);
        QVERIFY(child<QPushButton>(window, C::Write)->isDefault());
        QVERIFY(!child<QCheckBox>(window, C::WithTests)->isChecked());
        QCOMPARE(child<QProgressBar>(window, C::Progress)->maximum(), int(kDevices));

        // Cancelling the file dialog reads nothing.
        int asked = 0;
        window.setSaveChooser([&asked](QWidget*, const QString&, const QString&, QString*) {
            ++asked;
            return QString();
        });
        QTest::mouseClick(child<QPushButton>(window, C::Write), Qt::LeftButton);
        QCOMPARE(asked, 1);
        QVERIFY(!window.shared()->running);
        QCOMPARE(window.statusText(), QStringLiteral("Press Write to choose the file."));
        QVERIFY(child<QPushButton>(window, C::Write)->isEnabled());
    }

    void writesEveryDeviceWithThePasswordTyped() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.html"));
        SiteReport window(devices_, request_);
        window.show();
        window.setSaveChooser([&path](QWidget*, const QString&, const QString&, QString*) { return path; });
        QSignalSpy finished(&window, &SiteReport::finished);
        QTest::keyClicks(child<QLineEdit>(window, C::Password), QString::fromLatin1(kPassword));
        child<QCheckBox>(window, C::WithTests)->setChecked(true);
        QTest::mouseClick(child<QPushButton>(window, C::Write), Qt::LeftButton);
        QVERIFY(!child<QPushButton>(window, C::Write)->isEnabled());
        QVERIFY(!child<QCheckBox>(window, C::WithTests)->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);

        // Failing: the device that refused, and the demo's Draviel6 that the production rules fail.
        QCOMPARE(window.statusText(),
                 QStringLiteral("Site report saved to %1 (3 devices, 2 failing).").arg(path));
        QCOMPARE(child<QProgressBar>(window, C::Progress)->value(), int(kDevices));
        QVERIFY(child<QPushButton>(window, C::Write)->isEnabled());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray html = file.readAll();
        QCOMPARE(html.count("<section class=\"card"), qsizetype(kDevices));
        QCOMPARE(html.count("Production verdict: "), qsizetype(kDevices));
        QCOMPARE(html.count("Not read: the device refused the password"), qsizetype(1));
    }

    void aFileThatCannotBeWrittenIsSaid() {
        const QString path = QStringLiteral("/nonexistent-folder/site.html");
        SiteReport window({devices_[0]}, request_);
        window.show();
        window.setSaveChooser([&path](QWidget*, const QString&, const QString&, QString*) { return path; });
        QSignalSpy finished(&window, &SiteReport::finished);
        QTest::keyClicks(child<QLineEdit>(window, C::Password), QString::fromLatin1(kPassword));
        QTest::mouseClick(child<QPushButton>(window, C::Write), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
        QVERIFY2(
            window.statusText().startsWith(QStringLiteral("The site report could not be saved to ") + path),
            qPrintable(window.statusText()));
    }

    void closingWhileReadingWritesNothing() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.html"));
        std::shared_ptr<SiteReport::Shared> shared;
        {
            SiteReport window(devices_, request_);
            window.show();
            window.setSaveChooser(
                [&path](QWidget*, const QString&, const QString&, QString*) { return path; });
            QTest::mouseClick(child<QPushButton>(window, C::Write), Qt::LeftButton);
            shared = window.shared();
            QVERIFY(shared->running);
            window.reject();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!shared->running, 60000);
        QVERIFY(!QFile::exists(path));
    }

private:
    std::unique_ptr<sim::Simulator> simulator_;
    SiteGatherRequest request_;
    std::vector<DeviceRecord> devices_;
};

QTEST_MAIN(SiteReportWindowTest)
#include "SiteReportWindowTest.moc"

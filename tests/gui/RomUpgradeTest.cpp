#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ChildById.h"
#include "Simulator.h"
#include "TftpClient.h"
#include "link/Session.h"
#include "ops/RomUpgrade.h"
#include "platform/Socket.h"

using namespace lm;
using namespace lm::gui;

namespace {

// A message box the dialog showed.
struct Shown {
    QString title, text;
    OperationUi::Icon icon;
    bool operator==(const Shown&) const = default;
};

constexpr const char* kZelvixXlId = "0012AB-C80001";  // model code 200
constexpr const char* kIdle = "Please enter the password and file name to use...";

uint16_t freeUdpPort() {
    auto socket = UdpSocket::open();
    return socket && socket->bind(htonl(INADDR_LOOPBACK), 0) ? socket->localPort() : 0;
}

}  // namespace

class RomUpgradeTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        NetworkProfile profile;
        profile.interfaces = NetworkProfile::parseInterfaces(
            "127.0.0.1/255.0.0.0,10.0.0.5/255.0.0.0,192.168.1.7/255.255.255.0");
        session_ = std::make_unique<Session>(profile, Timing::fast());
        shown_.clear();
    }

    // The opening fields, nothing clipped, and the file dialog's start and filter by model code.
    void openingAndBrowse() {
        const struct {
            const char* id;
            QString filter;
        } cases[] = {
            {kZelvixXlId, "Zelvix XL Binary Files (zelvixxl-*.bin);;All Binary Files (*.bin)"},
            {"Device  1", "All Binary Files (*.bin)"},
        };
        for (const auto& [id, filter] : cases) {
            const std::unique_ptr<RomUpgrade> dialog = make(id);
            QCOMPARE(child<QLineEdit>(*dialog, 1285)->text(), QStringLiteral("192.168.1.7"));
            for (const QWidget* text : dialog->findChildren<QWidget*>()) {
                if (qobject_cast<const QLabel*>(text) || qobject_cast<const QCheckBox*>(text))
                    QVERIFY2(text->sizeHint().width() <= text->width(), qPrintable(text->objectName()));
            }
            QStringList asked;  // start path, filter
            dialog->setFileChooser([&](QWidget*, const QString& start, const QString& offered) {
                asked = {start, offered};
                return QStringLiteral("/fw/chosen.bin");
            });
            QTest::mouseClick(child<QPushButton>(*dialog, 1245), Qt::LeftButton);
            QCOMPARE(asked, (QStringList{QDir::currentPath() + "/", filter}));
            QCOMPARE(child<QLineEdit>(*dialog, 1193)->text(), QStringLiteral("/fw/chosen.bin"));
        }
    }

    // The path in the field, chosen or typed, must carry the model's prefix in any case; otherwise
    // only Yes to the question starts the worker (which then stops at the empty password).
    void nameCheckBeforeStarting() {
        const struct {
            const char* id;
            QString path;
            int answer;
            bool asked, started;
        } cases[] = {
            {kZelvixXlId, "/fw/ZELVIXXL-1.2.bin", OperationUi::kNo, false, true},
            {kZelvixXlId, "/fw/draviel-1.2.bin", OperationUi::kNo, true, false},
            {kZelvixXlId, "/fw/draviel-1.2.bin", OperationUi::kYes, true, true},
            {"Device  1", "/fw/anything.BIN", OperationUi::kNo, false, true},
        };
        for (const auto& [id, path, answer, asked, started] : cases) {
            shown_.clear();
            answer_ = answer;
            const std::unique_ptr<RomUpgrade> dialog = make(id);
            child<QLineEdit>(*dialog, 1193)->setText(path);
            QTest::mouseClick(child<QPushButton>(*dialog, 1194), Qt::LeftButton);
            const Shown question{kMismatchTitle, kMismatchQuestion, OperationUi::Icon::Warning};
            QCOMPARE(shown_, asked ? QList<Shown>{question} : QList<Shown>{});
            QTRY_COMPARE(child<QLabel>(*dialog, 1018)->text(),
                         started ? "You must specify the administrator password." : kIdle);
            QTRY_VERIFY(!dialog->state()->running);
        }
    }

    // Clearing the erase box warns; the network box is enabled exactly while the erase box is checked.
    void eraseBoxRule() {
        const std::unique_ptr<RomUpgrade> dialog = make(kZelvixXlId);
        auto* erase = child<QCheckBox>(*dialog, 1233);
        auto* saveNetwork = child<QCheckBox>(*dialog, 1319);
        QVERIFY(erase->isChecked() && !saveNetwork->isChecked() && saveNetwork->isEnabled());
        QTest::mouseClick(erase, Qt::LeftButton);
        QCOMPARE(shown_, (QList<Shown>{{"Warning!", kKeepConfigWarning, OperationUi::Icon::Question}}));
        QVERIFY(!saveNetwork->isEnabled());
        QTest::mouseClick(erase, Qt::LeftButton);
        QCOMPARE(shown_.size(), 1);
        QVERIFY(saveNetwork->isEnabled());
    }

    // Against a simulated device: a small image is flashed whole and the final message ends the
    // dialog; closed mid transfer, the dialog goes once the worker has stopped, showing nothing more.
    void upgradeAgainstDevice() {
        for (const bool closeMidTransfer : {false, true}) {
            shown_.clear();
            sim::SimulatorConfig config;
            config.devices = sim::demoDevices(1, *parseIpv4("127.0.93.41"));
            config.tftpPort = freeUdpPort();
            sim::Simulator simulator(std::move(config));
            std::string error;
            QVERIFY2(simulator.start(&error), error.c_str());
            QTemporaryDir dir;
            NetworkProfile profile;
            profile.telnetPort = simulator.telnetPort();
            profile.tftpPort = simulator.tftpPort();
            profile.interfaces = NetworkProfile::parseInterfaces("127.0.93.1/255.0.0.0");
            profile.echoSettingPath = dir.filePath("none").toStdString();  // unreadable: echo allowed
            session_ = std::make_unique<Session>(profile, Timing::fast());
            const QByteArray image(closeMidTransfer ? 2000000 : 100000, 'x');
            QFile file(dir.filePath("zelvixxl-test.bin"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
            file.close();

            const std::unique_ptr<RomUpgrade> dialog = make(kZelvixXlId, "127.0.93.41");
            QCOMPARE(child<QLineEdit>(*dialog, 1285)->text(), QStringLiteral("127.0.93.1"));
            child<QLineEdit>(*dialog, 1193)->setText(file.fileName());
            QTest::keyClicks(child<QLineEdit>(*dialog, 1192), QStringLiteral("vorna"));
            auto* bar = child<QProgressBar>(*dialog, 1196);
            connect(bar, &QProgressBar::valueChanged, dialog.get(), [&](int value) {
                if (closeMidTransfer && value == 1) QTimer::singleShot(0, dialog.get(), &QDialog::close);
            });
            QSignalSpy finished(dialog.get(), &QDialog::finished);
            QTest::mouseClick(child<QPushButton>(*dialog, 1194), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
            QCOMPARE(bar->maximum(), int(image.size() / 512 / 32 + 1));
            if (closeMidTransfer) {
                QVERIFY(!dialog->state()->running);
                QCOMPARE(bar->value(), 1);
                QCOMPARE(child<QLabel>(*dialog, 1018)->text(),
                         QStringLiteral("ROM file transfer in progress..."));
                QCOMPARE(shown_, QList<Shown>{});
            } else {
                QCOMPARE(dialog->result(), int(QDialog::Accepted));
                QCOMPARE(shown_.size(), 1);
                QCOMPARE(shown_[0].title, QStringLiteral("Firmware Upgrade"));
                QTRY_COMPARE(simulator.flashes(0).size(), std::size_t(1));
                const sim::FlashRecord flash = simulator.flashes(0).front();
                QVERIFY(flash.complete);
                QCOMPARE(flash.bytes, uint64_t(image.size()));
                QCOMPARE(flash.crc32, sim::crc32(std::string_view(image.constData(), image.size())));
            }
            simulator.stop();
        }
    }

private:
    std::unique_ptr<RomUpgrade> make(const char* id,
                                     const QString& address = QStringLiteral("192.168.1.50")) {
        auto dialog = std::make_unique<RomUpgrade>(*session_, nullptr, QString::fromLatin1(id), address, "");
        dialog->setMessageBoxHandler([this](QWidget*, const QString& text, const QString& title,
                                            OperationUi::Icon icon, OperationUi::Buttons buttons) {
            shown_ << Shown{title, text, icon};
            return buttons == OperationUi::Buttons::YesNo ? answer_ : OperationUi::kOk;
        });
        dialog->show();
        return dialog;
    }

    std::unique_ptr<Session> session_;
    QList<Shown> shown_;
    int answer_ = OperationUi::kNo;
};

QTEST_MAIN(RomUpgradeTest)
#include "RomUpgradeTest.moc"

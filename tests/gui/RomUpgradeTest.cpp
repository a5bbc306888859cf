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

// A message box the dialog showed: title, text, icon and buttons.
struct Shown {
    QString title, text;
    OperationUi::Icon icon;
    OperationUi::Buttons buttons;
    bool operator==(const Shown&) const = default;
};

InterfaceRow row(const char* address) {
    return {*parseIpv4(address), *parseIpv4("255.255.255.0"), 1};
}

constexpr const char* kZelvixXlId = "0012AB-C80001";  // model code 200
constexpr const char* kFinalMessage =
    "You have completed the ROM upgrade process,\nhowever the device will take about\n"
    "1 minute more to finish.  DO NOT TURN OFF\nITS POWER for at least 1 minute!";

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
        profile.interfaces = std::vector<InterfaceRow>{row("127.0.0.1"), row("10.0.0.5"), row("192.168.1.7")};
        session_ = std::make_unique<Session>(profile, Timing::fast());
        shown_.clear();
        answer_ = OperationUi::kNo;
    }

    // The opening state, and the file dialog's start and filter for a known and an unknown model.
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
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Upgrade Firmware"));
            QCOMPARE(child<QLineEdit>(*dialog, 1195)->text(), QStringLiteral("192.168.1.50"));
            QCOMPARE(child<QLineEdit>(*dialog, 1285)->text(), QStringLiteral("192.168.1.7"));
            QCOMPARE(child<QLineEdit>(*dialog, 1192)->echoMode(), QLineEdit::Password);
            QCOMPARE(child<QProgressBar>(*dialog, 1196)->value(), 0);
            QVERIFY(child<QPushButton>(*dialog, 1194)->isDefault());
            QVERIFY(child<QPushButton>(*dialog, 1)->isHidden());
            QCOMPARE(child<QLabel>(*dialog, 1018)->text(),
                     QStringLiteral("Please enter the password and file name to use..."));
            // Nothing clipped, at whatever scale this runs.
            for (const QWidget* text : dialog->findChildren<QWidget*>()) {
                if (qobject_cast<const QLabel*>(text) || qobject_cast<const QCheckBox*>(text))
                    QVERIFY2(text->isHidden() || text->sizeHint().width() <= text->width(),
                             qPrintable(QStringLiteral("%1 %2 < %3")
                                            .arg(text->objectName())
                                            .arg(text->width())
                                            .arg(text->sizeHint().width())));
            }
            auto* romFile = child<QLineEdit>(*dialog, 1193);
            QCOMPARE(romFile->text(), QDir::currentPath() + "/");

            QStringList asked;  // start path, filter
            dialog->setFileChooser([&](QWidget*, const QString& start, const QString& offered) {
                asked = {start, offered};
                return QStringLiteral("/fw/chosen.bin");
            });
            QTest::mouseClick(child<QPushButton>(*dialog, 1245), Qt::LeftButton);
            QCOMPARE(asked, (QStringList{QDir::currentPath() + "/", filter}));
            QCOMPARE(romFile->text(), QStringLiteral("/fw/chosen.bin"));
            // Cancelled: the field keeps its path.
            dialog->setFileChooser([](QWidget*, const QString&, const QString&) { return QString(); });
            QTest::mouseClick(child<QPushButton>(*dialog, 1245), Qt::LeftButton);
            QCOMPARE(romFile->text(), QStringLiteral("/fw/chosen.bin"));
        }
    }

    // The path in the field, chosen or typed, is checked against the model's prefix without regard
    // to case; a mismatch asks, and anything but Yes starts nothing.
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
            {"Device  1", "/fw/anything.img", OperationUi::kNo, true, false},
        };
        for (const auto& [id, path, answer, asked, started] : cases) {
            shown_.clear();
            answer_ = answer;
            const std::unique_ptr<RomUpgrade> dialog = make(id);
            child<QLineEdit>(*dialog, 1193)->setText(path);
            auto* upgrade = child<QPushButton>(*dialog, 1194);
            QTest::mouseClick(upgrade, Qt::LeftButton);
            const QList<Shown> question{{"Firmware Upgrade Version Mismatch", kMismatchQuestion,
                                         OperationUi::Icon::Warning, OperationUi::Buttons::YesNo}};
            QCOMPARE(shown_, asked ? question : QList<Shown>{});
            // Started, the worker stops at the empty password field.
            const QString status = started
                                       ? QStringLiteral("You must specify the administrator password.")
                                       : QStringLiteral("Please enter the password and file name to use...");
            QTRY_COMPARE(child<QLabel>(*dialog, 1018)->text(), status);
            QTRY_VERIFY(!dialog->state()->running);
            QVERIFY(upgrade->isEnabled());
        }
    }

    // Clearing the erase box warns; the network box is enabled exactly while the erase box is checked.
    void eraseBoxRule() {
        const std::unique_ptr<RomUpgrade> dialog = make(kZelvixXlId);
        auto* erase = child<QCheckBox>(*dialog, 1233);
        auto* saveNetwork = child<QCheckBox>(*dialog, 1319);
        QVERIFY(erase->isChecked());
        QVERIFY(!saveNetwork->isChecked());
        QVERIFY(saveNetwork->isEnabled());
        const Shown warning{"Warning!", kKeepConfigWarning, OperationUi::Icon::Question,
                            OperationUi::Buttons::Ok};
        QTest::mouseClick(erase, Qt::LeftButton);
        QCOMPARE(shown_, QList<Shown>{warning});
        QVERIFY(!saveNetwork->isEnabled());
        QTest::mouseClick(erase, Qt::LeftButton);
        QCOMPARE(shown_.size(), 1);
        QVERIFY(saveNetwork->isEnabled());
    }

    // Against a simulated device: a whole upgrade of a small image ends with the final message and
    // the image flashed byte for byte; closed mid transfer, the dialog goes once the worker has
    // stopped, and nothing more is shown.
    void upgradeAgainstDevice() {
        const struct {
            qsizetype bytes;
            bool closeMidTransfer;
        } cases[] = {{100000, false}, {2000000, true}};
        for (const auto& [bytes, closeMidTransfer] : cases) {
            shown_.clear();
            sim::SimulatorConfig config;
            config.devices = sim::demoDevices(1, *parseIpv4("127.0.93.41"));
            config.tftpPort = freeUdpPort();
            sim::Simulator simulator(std::move(config));
            std::string error;
            QVERIFY2(simulator.start(&error), error.c_str());
            NetworkProfile profile;
            profile.telnetPort = simulator.telnetPort();
            profile.tftpPort = simulator.tftpPort();
            profile.interfaces = NetworkProfile::parseInterfaces("127.0.93.1/255.0.0.0");
            QTemporaryDir dir;
            profile.echoSettingPath = dir.filePath("echo-setting").toStdString();  // none: echo is allowed
            session_ = std::make_unique<Session>(profile, Timing::fast());

            const QByteArray image(bytes, 'x');
            QFile file(dir.filePath("zelvixxl-test.bin"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == bytes);
            file.close();
            const std::unique_ptr<RomUpgrade> dialog = make(kZelvixXlId, "127.0.93.41");
            QCOMPARE(child<QLineEdit>(*dialog, 1285)->text(), QStringLiteral("127.0.93.1"));
            child<QLineEdit>(*dialog, 1193)->setText(file.fileName());
            QTest::keyClicks(child<QLineEdit>(*dialog, 1192), QStringLiteral("vorna"));
            auto* bar = child<QProgressBar>(*dialog, 1196);
            if (closeMidTransfer) {
                connect(bar, &QProgressBar::valueChanged, dialog.get(), [&dialog](int value) {
                    if (value == 1) QTimer::singleShot(0, dialog.get(), &QDialog::close);
                });
            }
            QSignalSpy finished(dialog.get(), &QDialog::finished);
            QTest::mouseClick(child<QPushButton>(*dialog, 1194), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
            QCOMPARE(bar->maximum(), int(bytes / 512 / 32 + 1));
            if (closeMidTransfer) {
                // Closing waited for the worker, which left the window alone from then on.
                QVERIFY(!dialog->state()->running);
                QCOMPARE(dialog->result(), int(QDialog::Rejected));
                QCOMPARE(bar->value(), 1);
                QCOMPARE(child<QLabel>(*dialog, 1018)->text(),
                         QStringLiteral("ROM file transfer in progress..."));
                QCOMPARE(shown_, QList<Shown>{});
            } else {
                QCOMPARE(dialog->result(), int(QDialog::Accepted));
                QCOMPARE(shown_, (QList<Shown>{{"Firmware Upgrade", kFinalMessage,
                                                OperationUi::Icon::Information, OperationUi::Buttons::Ok}}));
                QTRY_COMPARE(simulator.flashes(0).size(), std::size_t(1));
                const sim::FlashRecord flash = simulator.flashes(0).front();
                QVERIFY(flash.complete);
                QCOMPARE(flash.bytes, uint64_t(bytes));
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
            shown_ << Shown{title, text, icon, buttons};
            return buttons == OperationUi::Buttons::Ok ? OperationUi::kOk : answer_;
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

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "ChildById.h"
#include "link/Session.h"
#include "ops/RomUpgrade.h"

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

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "discovery/EnterIP.h"

using lm::gui::EnterIP;

class EnterIPTest : public QObject {
    Q_OBJECT

private slots:
    void opensWithEmptyAddressAndPort80() {
        EnterIP dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Manual IP Entry"));
        QCOMPARE(field(dialog, 1190)->text(), QString());
        QCOMPARE(field(dialog, 1086)->text(), QStringLiteral("80"));
        QCOMPARE(dialog.addressText(), QStringLiteral("0.0.0.0"));
        QVERIFY(button(dialog, 1)->isDefault());
    }

    // What is typed, key by key, and the address that OK produces.
    void okBuildsTheAddress_data() {
        QTest::addColumn<QString>("typedAddress");
        QTest::addColumn<QString>("typedPort");  // replaces "80"; "-" keeps it
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("shown");  // what the field holds after typing
        QTest::newRow("port 8080") << "192.168.5.9"
                                   << "8080"
                                   << "192.168.5.9:8080"
                                   << "192.168.5.9";
        QTest::newRow("port 80 kept") << "192.168.5.9"
                                      << "-"
                                      << "192.168.5.9"
                                      << "192.168.5.9";
        QTest::newRow("port 80 typed") << "192.168.5.9"
                                       << "80"
                                       << "192.168.5.9"
                                       << "192.168.5.9";
        QTest::newRow("port empty") << "192.168.5.9"
                                    << ""
                                    << "192.168.5.9"
                                    << "192.168.5.9";
        QTest::newRow("blank address") << ""
                                       << "-"
                                       << ""
                                       << "";
        QTest::newRow("blank address with a port") << ""
                                                   << "8080"
                                                   << ""
                                                   << "";
        QTest::newRow("blank fields read as 0") << "10..5"
                                                << "-"
                                                << "10.0.5.0"
                                                << "10..5";
        QTest::newRow("octets above 255 refused") << "300.1.2.3"
                                                  << "-"
                                                  << "30.1.2.3"
                                                  << "30.1.2.3";
        QTest::newRow("letters refused") << "10.0.a0.5"
                                         << "-"
                                         << "10.0.0.5"
                                         << "10.0.0.5";
        QTest::newRow("fifth field refused") << "1.2.3.4.5"
                                             << "-"
                                             << "1.2.3.45"
                                             << "1.2.3.45";
        QTest::newRow("letters in port refused") << "10.0.0.5"
                                                 << "8x1"
                                                 << "10.0.0.5:81"
                                                 << "10.0.0.5";
        QTest::newRow("port 080") << "10.0.0.5"
                                  << "080"
                                  << "10.0.0.5:080"
                                  << "10.0.0.5";
    }
    void okBuildsTheAddress() {
        QFETCH(QString, typedAddress);
        QFETCH(QString, typedPort);
        QFETCH(QString, address);
        QFETCH(QString, shown);
        EnterIP dialog;
        dialog.show();
        QLineEdit* addressField = field(dialog, 1190);
        QTest::keyClicks(addressField, typedAddress);
        QCOMPARE(addressField->text(), shown);
        if (typedPort != QLatin1String("-")) {
            QLineEdit* port = field(dialog, 1086);
            port->selectAll();
            QTest::keyClick(port, Qt::Key_Backspace);
            QTest::keyClicks(port, typedPort);
        }
        QTest::mouseClick(button(dialog, 1), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.address(), address);
    }

    void enterAcceptsCancelGivesNothing() {
        EnterIP accepted;
        accepted.show();
        QTest::keyClicks(field(accepted, 1190), QStringLiteral("127.0.0.5"));
        QTest::keyClick(field(accepted, 1190), Qt::Key_Return);
        QCOMPARE(accepted.result(), int(QDialog::Accepted));
        QCOMPARE(accepted.address(), QStringLiteral("127.0.0.5"));

        EnterIP cancelled;
        cancelled.show();
        QTest::keyClicks(field(cancelled, 1190), QStringLiteral("127.0.0.5"));
        QTest::mouseClick(button(cancelled, 2), Qt::LeftButton);
        QCOMPARE(cancelled.result(), int(QDialog::Rejected));
        QCOMPARE(cancelled.address(), QString());
    }

private:
    static QLineEdit* field(QWidget& dialog, int id) {
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("id%1").arg(id));
        Q_ASSERT(edit);
        return edit;
    }
    static QPushButton* button(QWidget& dialog, int id) {
        auto* b = dialog.findChild<QPushButton*>(QStringLiteral("id%1").arg(id));
        Q_ASSERT(b);
        return b;
    }
};

QTEST_MAIN(EnterIPTest)
#include "EnterIPTest.moc"

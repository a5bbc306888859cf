#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ChildById.h"
#include "discovery/EnterIP.h"

using lm::gui::EnterIP;

class EnterIPTest : public QObject {
    Q_OBJECT

private slots:
    // What is typed, key by key, what the address field then shows, and the address OK produces.
    void okBuildsTheAddress_data() {
        QTest::addColumn<QString>("typedAddress");
        QTest::addColumn<QString>("typedPort");  // replaces "80"; "-" keeps it
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("address");
        struct Row {
            const char *name, *typedAddress, *typedPort, *shown, *address;
        };
        const Row rows[] = {
            {"port 8080", "192.168.5.9", "8080", "192.168.5.9", "192.168.5.9:8080"},
            {"port 80 kept", "192.168.5.9", "-", "192.168.5.9", "192.168.5.9"},
            {"blank fields read as 0", "10..5", "-", "10..5", "10.0.5.0"},
            {"octets above 255 refused", "300.1.2.3", "-", "30.1.2.3", "30.1.2.3"},
            {"fifth field refused", "1.2.3.4.5", "-", "1.2.3.45", "1.2.3.45"},
            {"letters in port refused", "10.0.0.5", "8x1", "10.0.0.5", "10.0.0.5:81"},
            {"blank address is none", "", "8080", "", ""},
        };
        for (const Row& r : rows)
            QTest::newRow(r.name) << QString(r.typedAddress) << QString(r.typedPort) << QString(r.shown)
                                  << QString(r.address);
    }
    void okBuildsTheAddress() {
        QFETCH(QString, typedAddress);
        QFETCH(QString, typedPort);
        QFETCH(QString, shown);
        QFETCH(QString, address);
        EnterIP dialog;
        dialog.show();
        QLineEdit* addressField = child<QLineEdit>(dialog, 1190);
        QTest::keyClicks(addressField, typedAddress);
        QCOMPARE(addressField->text(), shown);
        if (typedPort != QLatin1String("-")) {
            QLineEdit* port = child<QLineEdit>(dialog, 1086);
            port->selectAll();
            QTest::keyClick(port, Qt::Key_Backspace);
            QTest::keyClicks(port, typedPort);
        }
        QTest::mouseClick(child<QPushButton>(dialog, 1), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.address(), address);
    }
};

QTEST_MAIN(EnterIPTest)
#include "EnterIPTest.moc"

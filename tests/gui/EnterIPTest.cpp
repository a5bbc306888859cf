#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ChildById.h"
#include "gui/discovery/EnterIP.h"

using lm::gui::EnterIP;

class EnterIPTest : public QObject {
    Q_OBJECT

private slots:
    // What is typed, key by key, what the address field then shows, and the address OK produces.
    void okBuildsTheAddress() {
        const struct {
            const char *typedAddress, *typedPort;  // the port replaces "80"; "-" keeps it
            const char *shown, *address;
        } rows[] = {
            {"192.168.5.9", "8080", "192.168.5.9", "192.168.5.9:8080"},
            {"192.168.5.9", "-", "192.168.5.9", "192.168.5.9"},
            {"10..5", "-", "10..5", "10.0.5.0"},             // blank fields read as 0
            {"300.1.2.3", "-", "30.1.2.3", "30.1.2.3"},      // octets above 255 refused
            {"1.2.3.4.5", "-", "1.2.3.45", "1.2.3.45"},      // a fifth field refused
            {"10.0.0.5", "8x1", "10.0.0.5", "10.0.0.5:81"},  // letters in the port refused
            {"", "8080", "", ""},                            // a blank address is none
        };
        for (const auto& r : rows) {
            EnterIP dialog;
            dialog.show();
            QLineEdit* addressField = child<QLineEdit>(dialog, 1190);
            QTest::keyClicks(addressField, r.typedAddress);
            QCOMPARE(addressField->text(), QString(r.shown));
            if (QString(r.typedPort) != QLatin1String("-")) {
                QLineEdit* port = child<QLineEdit>(dialog, 1086);
                port->selectAll();
                QTest::keyClick(port, Qt::Key_Backspace);
                QTest::keyClicks(port, r.typedPort);
            }
            QTest::mouseClick(child<QPushButton>(dialog, 1), Qt::LeftButton);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.address(), QString(r.address));
        }
    }
};

QTEST_MAIN(EnterIPTest)
#include "EnterIPTest.moc"

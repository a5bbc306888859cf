#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ChildById.h"
#include "LayoutCheck.h"
#include "core/ProgramVersion.h"
#include "gui/app/CAboutDlg.h"
#include "gui/discovery/EnterIP.h"

using namespace lm::gui;

namespace {

// Where Tab goes from a control: the next one in the focus chain that takes focus by Tab.
QWidget* nextTabStop(QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (next != from && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

}  // namespace

class DialogTablesTest : public QObject {
    Q_OBJECT

private slots:
    void aboutBox() {
        CAboutDlg about;
        QCOMPARE(layoutProblem(about), QString());
        QCOMPARE(child<QLabel>(about, 1220)->text(), QStringLiteral("Lumetra Technologies Setup Tools"));
        QCOMPARE(child<QLabel>(about, 1316)->text(),
                 CAboutDlg::versionLine(lm::kProgramVersionMajor, lm::kProgramVersionMinor,
                                        lm::kProgramVersionPatch, lm::kProgramVersionTweak));
        QVERIFY(child<QPushButton>(about, 1)->isDefault());
    }

    // Tab goes address, port, OK, Cancel; Alt+H reaches the port; Enter presses OK.
    void manualEntryOrderAndKeys() {
        EnterIP entry;
        QCOMPARE(layoutProblem(entry), QString());
        QWidget* const order[] = {child<QLineEdit>(entry, 1190), child<QLineEdit>(entry, 1086),
                                  child<QPushButton>(entry, 1), child<QPushButton>(entry, 2)};
        for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
            QVERIFY(order[i]);
            QCOMPARE(nextTabStop(order[i]), order[i + 1]);
        }
        const QList<QLabel*> labels = entry.findChildren<QLabel*>();
        const auto port = std::find_if(labels.begin(), labels.end(), [](const QLabel* label) {
            return label->text() == QStringLiteral("&HTTP Port:");
        });
        QVERIFY(port != labels.end());
        QCOMPARE((*port)->buddy(), order[1]);
        QCOMPARE(child<QLineEdit>(entry, 1086)->text(), QStringLiteral("80"));
        QVERIFY(child<QPushButton>(entry, 1)->isDefault());
        QVERIFY(!child<QPushButton>(entry, 2)->isDefault());
    }
};

QTEST_MAIN(DialogTablesTest)
#include "DialogTablesTest.moc"

// The report's window as data: each of the report's keys shown in the control its label names.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTest>

#include "ChildById.h"
#include "core/link/Session.h"
#include "gui/diag/Report.h"

using namespace lm;
using namespace lm::gui;

class DiagWindowsTest : public QObject {
    Q_OBJECT

private slots:
    // Every field sits beside its own label and every rating box reads its own text: a key mapped to
    // another's control would show a value under the wrong name.
    void reportShowsEachKeyUnderItsName() {
        Session session(NetworkProfile{}, Timing::fast());
        Report report(session, QStringLiteral("024C55-C80031"), QStringLiteral("127.0.0.1"));
        QSet<int> ids;
        for (const ReportField& field : kReportFields) {
            const int id = static_cast<int>(Report::controlOf(field.field));
            ids.insert(id);
            auto* value = child<QLineEdit>(report, id);
            QVERIFY2(value != nullptr, field.key);
            QLabel* label = labelOf(report, value);
            QVERIFY2(label != nullptr, field.key);
            QCOMPARE(label->text(), QString::fromLatin1(field.label));
        }
        for (const ReportRating& rating : kReportRatings) {
            const int id = static_cast<int>(Report::controlOf(rating.check));
            ids.insert(id);
            auto* box = child<QCheckBox>(report, id);
            QVERIFY2(box != nullptr, rating.key);
            QCOMPARE(box->text(), QString::fromLatin1(rating.text));
            QVERIFY(!box->isChecked());
        }
        QCOMPARE(ids.size(), qsizetype(std::size(kReportFields) + std::size(kReportRatings)));
        // Before the worker runs: the device as the list names it, and the comments' first word.
        QCOMPARE(child<QLineEdit>(report, int(ReportControl::Mac))->text(), QStringLiteral("024C55-C80031"));
        QCOMPARE(child<QLineEdit>(report, int(ReportControl::Ip))->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(child<QLineEdit>(report, int(ReportControl::Comments))->text(), QStringLiteral("Static"));
        QCOMPARE(child<QLineEdit>(report, int(ReportControl::Uptime))->text(), QString());
    }
};

QTEST_MAIN(DiagWindowsTest)
#include "DiagWindowsTest.moc"

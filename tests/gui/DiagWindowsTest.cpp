// The report's and the production test's windows as data: the control table's kinds, and the
// report's keys each shown in the control its label names.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTreeWidget>

#include "ChildById.h"
#include "core/link/Session.h"
#include "gui/app/DialogUnits.h"
#include "gui/diag/ControlTable.h"
#include "gui/diag/Report.h"

using namespace lm;
using namespace lm::gui;

namespace {

// The label a field's line edit is the buddy of; null when none is.
QLabel* labelOf(QWidget& window, QWidget* field) {
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->buddy() == field) return label;
    return nullptr;
}

}  // namespace

class DiagWindowsTest : public QObject {
    Q_OBJECT

private slots:
    // Each kind gives its widget where the row says, tagged with the row's id (none for 0); texts
    // are shown as they are, never read as markup.
    void tableRowsMakeTheirControls() {
        QDialog dialog;
        const DialogUnits du(dialog);
        const QRect place(10, 20, 120, 12);
        const QString markup = QStringLiteral("<b>x</b>");
        const struct {
            ControlKind kind;
            int id;
            const char* className;
        } rows[] = {
            {ControlKind::Field, 501, "QLineEdit"},  {ControlKind::Check, 502, "QCheckBox"},
            {ControlKind::Group, 0, "QGroupBox"},    {ControlKind::Text, 0, "QLabel"},
            {ControlKind::Status, 503, "QLabel"},    {ControlKind::Button, 504, "QPushButton"},
            {ControlKind::List, 505, "QTreeWidget"},
        };
        for (const auto& r : rows) {
            QWidget* widget = addControl(dialog, r.kind, r.id, "<b>x</b>", place);
            QCOMPARE(widget->metaObject()->className(), r.className);
            QCOMPARE(widget->property("controlId").isValid(), r.id != 0);
            if (r.id != 0) QCOMPARE(child<QWidget>(dialog, r.id), widget);
            if (r.kind == ControlKind::Field) {
                // The label takes the first units, the value the rest of the row.
                QCOMPARE(widget->geometry(), du.rect(66, 20, 64, 12));
                QLabel* label = labelOf(dialog, widget);
                QVERIFY(label != nullptr);
                QCOMPARE(label->geometry(), du.rect(10, 22, kFieldLabel, 8));
                QVERIFY(static_cast<QLineEdit*>(widget)->isReadOnly());
            } else {
                QCOMPARE(widget->geometry(), du.rect(10, 20, 120, 12));
            }
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                QCOMPARE(label->textFormat(), Qt::PlainText);
                QCOMPARE(label->text(), markup);
                QCOMPARE(label->wordWrap(), r.kind == ControlKind::Text);
            }
            if (auto* box = qobject_cast<QCheckBox*>(widget)) {
                QCOMPARE(box->text(), markup);
                QCOMPARE(box->focusPolicy(), Qt::NoFocus);
            }
        }
    }

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

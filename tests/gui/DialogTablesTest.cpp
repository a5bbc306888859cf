#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "ChildById.h"
#include "LayoutCheck.h"
#include "core/ProgramVersion.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/DialogControls.h"
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
    // Each kind gives its widget where the row says, tagged with the row's id (none for 0 or
    // below); texts are shown as they are, and never read as markup where the row says so.
    void tableRowsMakeTheirControls() {
        enum class Id { Mine = -1, None = 0, A = 501, B, C, D, E, F, G, H, I, J, K, L, M };
        using Kd = ControlKind;
        const DialogRect at{10, 20, 120, 12};
        constexpr const char* x = "<b>x</b>";
        const struct {
            DialogControl row;
            const char* className;
        } cases[] = {
            {{Kd::Reading, Id::A, x, at}, "QLineEdit"},
            {{Kd::Verdict, Id::B, x, at}, "QCheckBox"},
            {{Kd::CheckBox, Id::C, x, at, kChecked}, "QCheckBox"},
            {{Kd::Group, Id::None, x, at}, "QGroupBox"},
            {{Kd::Text, Id::None, x, at, kPlainText}, "QLabel"},
            {{Kd::Label, Id::D, x, at, kPlainText}, "QLabel"},
            {{Kd::Button, Id::E, x, at, kDefaultButton | kDisabled}, "QPushButton"},
            {{Kd::List, Id::F, nullptr, at}, "QTreeWidget"},
            {{Kd::Progress, Id::G, nullptr, at, kNoBarText}, "QProgressBar"},
            {{Kd::Log, Id::H, nullptr, at}, "QPlainTextEdit"},
            {{Kd::Password, Id::I, nullptr, at}, "QLineEdit"},
            {{Kd::StatusField, Id::J, nullptr, at}, "QLineEdit"},
            {{Kd::Address, Id::K, nullptr, at}, "lm::gui::Ipv4Field"},
            {{Kd::LineEdit, Id::L, "80", at}, "QLineEdit"},
            {{Kd::Picture, Id::Mine, nullptr, at}, "QLabel"},
        };
        const QString markup = QString::fromLatin1(x);
        for (const auto& c : cases) {
            QDialog dialog;
            const DialogUnits du(dialog);
            const DialogControls controls(dialog, std::span(&c.row, 1));
            const int id = c.row.id.value;
            const DialogControl& r = c.row;
            QWidget* widget = id != 0 ? controls.get(r.id) : dialog.findChildren<QWidget*>().value(0);
            QVERIFY2(widget != nullptr, c.className);
            QCOMPARE(widget->metaObject()->className(), c.className);
            QCOMPARE(widget->property("controlId").isValid(), id > 0);
            if (id > 0) QCOMPARE(child<QWidget>(dialog, id), widget);
            QCOMPARE(widget->isEnabled(), !(r.flags & kDisabled));
            if (r.kind == Kd::Reading) {
                // The label takes the first units, the value the rest of the row.
                QCOMPARE(widget->geometry(),
                         du.rect(10 + kReadingLabel + 2, 20, 120 - kReadingLabel - 2, 12));
                QLabel* label = labelOf(dialog, widget);
                QVERIFY(label != nullptr);
                QCOMPARE(label->geometry(), du.rect(10, 22, kReadingLabel, 8));
                QCOMPARE(label->text(), markup);
            } else {
                QCOMPARE(widget->geometry(), du.rect(10, 20, 120, 12));
            }
            if (auto* field = qobject_cast<QLineEdit*>(widget)) {
                const bool readOnly = r.kind == Kd::Reading || r.kind == Kd::StatusField;
                QCOMPARE(field->isReadOnly(), readOnly);
                QCOMPARE(field->echoMode() == QLineEdit::Password, r.kind == Kd::Password);
                if (r.kind == Kd::LineEdit) QCOMPARE(field->text(), QStringLiteral("80"));
            }
            if (auto* label = qobject_cast<QLabel*>(widget); label && r.text) {
                QCOMPARE(label->textFormat(), Qt::PlainText);
                QCOMPARE(label->text(), markup);
                QCOMPARE(label->wordWrap(), r.kind == Kd::Text);
            }
            if (auto* box = qobject_cast<QCheckBox*>(widget)) {
                QCOMPARE(box->text(), markup);
                // A verdict is shown, not chosen.
                QCOMPARE(box->focusPolicy() == Qt::NoFocus, r.kind == Kd::Verdict);
                QCOMPARE(box->isChecked(), bool(r.flags & kChecked));
            }
            if (auto* button = qobject_cast<QPushButton*>(widget)) QVERIFY(button->isDefault());
            if (auto* bar = qobject_cast<QProgressBar*>(widget)) QVERIFY(!bar->isTextVisible());
        }
    }

    // A label marked as the next control's buddy hands its mnemonic on; the focus flag puts the
    // focus where the dialog opens.
    void buddiesAndFocus() {
        enum class Id { None = 0, Field = 601, Other = 602 };
        const DialogControl table[] = {
            {ControlKind::Label, Id::None, "&Name:", {0, 0, 40, 8}, kBuddyOfNext},
            {ControlKind::LineEdit, Id::Field, nullptr, {42, 0, 40, 13}},
            {ControlKind::Label, Id::None, "Plain:", {0, 20, 40, 8}},
            {ControlKind::LineEdit, Id::Other, nullptr, {42, 20, 40, 13}, kFocus},
        };
        QDialog dialog;
        const DialogControls controls(dialog, table);
        QCOMPARE(labelOf(dialog, controls.get(Id::Field))->text(), QStringLiteral("&Name:"));
        QCOMPARE(labelOf(dialog, controls.get(Id::Other)), nullptr);
        QCOMPARE(dialog.focusWidget(), controls.get(Id::Other));
    }

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

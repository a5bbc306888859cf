#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QSet>
#include <QString>
#include <QWidget>

// What is wrong with a dialog's hand-placed controls, empty when nothing: a control outside the
// dialog or over another one, an id used twice, a mnemonic used twice, a label's mnemonic that
// focuses nothing.
inline QString layoutProblem(const QWidget& dialog) {
    const QList<QWidget*> controls = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QSet<QString> ids;
    QSet<QChar> mnemonics;
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const QWidget* control = controls[i];
        const QString name = control->objectName() + QLatin1Char(' ') + control->metaObject()->className();
        if (!dialog.rect().contains(control->geometry()))
            return name + QStringLiteral(" lies outside the dialog");
        for (qsizetype j = i + 1; j < controls.size(); ++j)
            if (control->geometry().intersects(controls[j]->geometry()))
                return name + QStringLiteral(" overlaps ") + controls[j]->objectName();
        if (!control->objectName().isEmpty()) {
            if (ids.contains(control->objectName())) return name + QStringLiteral(" has its id twice");
            ids.insert(control->objectName());
        }
        const auto* label = qobject_cast<const QLabel*>(control);
        const auto* button = qobject_cast<const QAbstractButton*>(control);
        const QString text = label ? label->text() : button ? button->text() : QString();
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        if (amp < 0 || amp + 1 >= text.size()) continue;
        const QChar key = text[amp + 1].toLower();
        if (mnemonics.contains(key)) return name + QStringLiteral(" repeats the mnemonic ") + key;
        mnemonics.insert(key);
        if (label && !label->buddy()) return name + QStringLiteral(" has a mnemonic but no buddy");
    }
    return {};
}

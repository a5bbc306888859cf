#pragma once

#include <QLabel>
#include <QObject>
#include <QString>
#include <type_traits>

// A control or menu action by its command id: each is named "id<number>".
template <typename T>
T* child(QObject& parent, int id) {
    return parent.findChild<T*>(QStringLiteral("id%1").arg(id));
}

// The same by a dialog's id of its own kind.
template <typename T, typename Id>
requires std::is_enum_v<Id> T* child(QObject& parent, Id id) {
    return child<T>(parent, static_cast<int>(id));
}

// The label whose buddy a control is; null when none is.
inline QLabel* labelOf(QObject& window, const QWidget* control) {
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->buddy() == control) return label;
    return nullptr;
}

#pragma once

#include <QObject>
#include <QString>

// A control or menu action by its command id: each is named "id<number>".
template <typename T>
T* child(QObject& parent, int id) {
    return parent.findChild<T*>(QStringLiteral("id%1").arg(id));
}

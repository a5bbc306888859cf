#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

namespace lm::gui {

// The numeric resource id of a control or command, carried as the dynamic property "controlId"
// and as the object name "id<N>", so the window and its tests can find it by id.
class ControlId {
public:
    template <typename T>
    static T* tag(T* object, int id) {
        object->setProperty("controlId", id);
        object->setObjectName(QStringLiteral("id%1").arg(id));
        return object;
    }
};

}  // namespace lm::gui

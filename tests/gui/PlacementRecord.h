#pragma once

#include <QByteArray>
#include <QtEndian>
#include <cstdint>
#include <initializer_list>

// A "WindowPlacement" value written field by field, independently of the code under test.
inline QByteArray placementRecord(std::initializer_list<int32_t> fields) {
    QByteArray bytes;
    for (const int32_t f : fields) {
        char le[4];
        qToLittleEndian(f, le);
        bytes.append(le, 4);
    }
    return bytes;
}

#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gui/discovery/PictureLists.h"

namespace lm::gui {

// The rows of the device list as shown: group header rows and device items, with four columns.
// Replaced whole at every rebuild.
class DeviceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        RecordRole = Qt::UserRole + 1,  // the item's parameter: its record index
        HeaderRole,                     // true on a group header row
        GroupIdRole,
    };
    enum class Pictures { None, Small, Large };

    struct Row {
        bool header = false;
        int groupId = 0;
        std::size_t record = 0;
        uint32_t imageIndex = 0;
        QString label;  // column 0 as shown: the header text, or the item label of the view
        QString id;
        QString address;
        QString deviceType;
        QString version;
    };

    explicit DeviceListModel(const PictureLists& pictures, QObject* parent = nullptr);

    void reset(std::vector<Row> rows, Pictures pictures);
    // Shows picture imageIndex on the item of this record, if it is in the list.
    void setPicture(std::size_t record, uint32_t imageIndex);
    const Row& row(int r) const { return rows_[static_cast<std::size_t>(r)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QPixmap picture(uint32_t imageIndex) const;

    const PictureLists& pictureLists_;
    std::vector<Row> rows_;
    std::vector<int> rowOfRecord_;
    Pictures pictures_ = Pictures::None;
};

}  // namespace lm::gui

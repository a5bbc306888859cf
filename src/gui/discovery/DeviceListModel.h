#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/discovery/DeviceRecord.h"
#include "gui/discovery/PictureLists.h"

namespace lm::gui {

// The rows of the device list as shown: group header rows and device items, with four columns.
// Replaced whole at every rebuild. A row holds only indexes; its texts are read from the records
// when asked for, so a rebuild of 50,000 rows builds no strings.
class DeviceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        RecordRole = Qt::UserRole + 1,  // the item's parameter: its record index
        HeaderRole,                     // true on a group header row
        GroupIdRole,
    };
    enum class Pictures { None, Small, Large };
    using Records = std::shared_ptr<const std::vector<DeviceRecord>>;

    struct Row {
        uint32_t index = 0;  // the record's index, or on a header row the header's
        uint32_t imageIndex = 0;
        int groupId = 0;
        bool header = false;
    };

    explicit DeviceListModel(const PictureLists& pictures, QObject* parent = nullptr);

    // twoLineLabels: column 0 shows the ID and, under it, the address.
    void reset(Records records, std::vector<Row> rows, std::vector<QString> headers, Pictures pictures,
               bool twoLineLabels);
    // Shows picture imageIndex on the item of this record, if it is in the list.
    void setPicture(std::size_t record, uint32_t imageIndex);
    const Row& row(int r) const { return rows_[static_cast<std::size_t>(r)]; }
    // The record of an item row.
    const DeviceRecord& record(int r) const { return (*records_)[row(r).index]; }
    const std::vector<DeviceRecord>& records() const { return *records_; }
    const Records& sharedRecords() const { return records_; }
    // What a cell shows: the header text on a header row's column 0, else the record's field.
    QString text(int r, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QPixmap picture(uint32_t imageIndex) const;

    const PictureLists& pictureLists_;
    Records records_;
    std::vector<Row> rows_;
    std::vector<QString> headers_;
    std::vector<int> rowOfRecord_;
    Pictures pictures_ = Pictures::None;
    bool twoLineLabels_ = false;
};

// Device texts are 8-bit; Latin-1 maps every byte to one character and back.
QString text8(const std::string& bytes);

}  // namespace lm::gui

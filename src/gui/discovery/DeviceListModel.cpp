#include "gui/discovery/DeviceListModel.h"

#include <QFont>
#include <array>

namespace lm::gui {

namespace {

const std::array<const char*, 4> kColumns = {"ID", "IP Address", "Device Type", "Version"};

}  // namespace

QString text8(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

DeviceListModel::DeviceListModel(const PictureLists& pictures, QObject* parent)
    : QAbstractTableModel(parent),
      pictureLists_(pictures),
      records_(std::make_shared<const std::vector<DeviceRecord>>()) {}

void DeviceListModel::reset(Records records, std::vector<Row> rows, std::vector<QString> headers,
                            Pictures pictures, bool twoLineLabels) {
    beginResetModel();
    records_ = std::move(records);
    rows_ = std::move(rows);
    headers_ = std::move(headers);
    pictures_ = pictures;
    twoLineLabels_ = twoLineLabels;
    rowOfRecord_.assign(records_->size(), -1);
    for (std::size_t r = 0; r < rows_.size(); ++r)
        if (!rows_[r].header) rowOfRecord_[rows_[r].index] = static_cast<int>(r);
    endResetModel();
}

void DeviceListModel::setPicture(std::size_t record, uint32_t imageIndex) {
    if (record >= rowOfRecord_.size() || rowOfRecord_[record] < 0) return;
    const int r = rowOfRecord_[record];
    rows_[static_cast<std::size_t>(r)].imageIndex = imageIndex;
    const QModelIndex changed = index(r, 0);
    emit dataChanged(changed, changed, {Qt::DecorationRole});
}

QString DeviceListModel::text(int r, int column) const {
    const Row& shown = row(r);
    if (shown.header) return column == 0 ? headers_[shown.index] : QString();
    const DeviceRecord& device = (*records_)[shown.index];
    switch (column) {
        case 0:
            return twoLineLabels_ ? text8(device.id) + QLatin1Char('\n') + text8(device.address)
                                  : text8(device.id);
        case 1:
            return text8(device.address);
        case 2:
            return text8(device.deviceType);
        default:
            return text8(device.version);
    }
}

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DeviceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
}

QPixmap DeviceListModel::picture(uint32_t imageIndex) const {
    return pictures_ == Pictures::Large ? pictureLists_.large(imageIndex) : pictureLists_.small(imageIndex);
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const Row& r = rows_[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    if (role == HeaderRole) return r.header;
    if (role == GroupIdRole) return r.groupId;
    if (r.header) {
        if (column != 0) return {};
        if (role == Qt::DisplayRole) return text(index.row(), 0);
        if (role == Qt::FontRole) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return text(index.row(), column);
        case Qt::DecorationRole:
            if (column == 0 && pictures_ != Pictures::None) return picture(r.imageIndex);
            return {};
        case RecordRole:
            return static_cast<qulonglong>(r.index);
        default:
            return {};
    }
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= static_cast<int>(kColumns.size())) return {};
    return QString::fromLatin1(kColumns[static_cast<std::size_t>(section)]);
}

Qt::ItemFlags DeviceListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Headers take no part in selection or keyboard moves.
    if (row(index.row()).header) return Qt::ItemNeverHasChildren;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace lm::gui

#include "gui/discovery/DeviceListView.h"

#include <QActionGroup>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStackedLayout>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <tuple>

#include "core/discovery/DeviceMatch.h"
#include "core/discovery/FetchQueue.h"
#include "core/discovery/ListArrangement.h"
#include "core/discovery/ScanScope.h"
#include "gui/CommandTips.h"
#include "gui/Commands.h"
#include "gui/discovery/DeviceItemDelegate.h"
#include "gui/discovery/DeviceListModel.h"
#include "gui/discovery/SortArrowStyle.h"

namespace lm::gui {

namespace {

struct ViewCommand {
    int command;
    int view;
    const char* text;
};

// The "View" pop-up, in menu order.
constexpr std::array<ViewCommand, 5> kViews = {{{kThumbnails, ViewSettings::Thumbnails, "Thumbnails"},
                                                {kTiles, ViewSettings::Tiles, "Tiles"},
                                                {kIcons, ViewSettings::Icons, "Icons"},
                                                {kList, ViewSettings::List, "List"},
                                                {kDetails, ViewSettings::Details, "Details"}}};

constexpr std::array<const char*, 4> kArrangeTexts = {"ID", "IP Address", "Device Type", "Version"};

// An identifier beside a 48 x 48 preview picture, with the cell's margins as the style lays them out.
int idColumnWidth(QTreeView* tree) {
    QStyleOptionViewItem option;
    option.initFrom(tree);
    option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    option.text = QStringLiteral("000000-000000");
    option.decorationSize = QSize(PictureLists::kSmall, PictureLists::kSmall);
    return tree->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), tree).width();
}

}  // namespace

class DeviceListView::Impl : public QObject {
public:
    // The selected device as its texts: what survives a rebuild.
    struct Key {
        std::string id;
        std::string address;
        bool operator<(const Key& other) const {
            return std::tie(id, address) < std::tie(other.id, other.address);
        }
    };

    Impl(DeviceListView* owner, DeviceInventory& inv, PictureLists& lists, ViewSettings& viewSettings)
        : QObject(owner), q(owner), inventory(inv), pictures(lists), settings(viewSettings) {}

    QAbstractItemView* active() const {
        return settings.viewType == ViewSettings::Details ? static_cast<QAbstractItemView*>(details) : icons;
    }

    bool groupsShown() const { return settings.showGroups && settings.viewType != ViewSettings::List; }

    // The current row when it is selected, else the first selected: the one device most
    // commands act on.
    std::optional<int> selectedRow() const {
        const QItemSelectionModel* selection = active()->selectionModel();
        const QModelIndex current = selection->currentIndex();
        if (current.isValid() && selection->isRowSelected(current.row(), current.parent()))
            return current.row();
        const QModelIndexList selected = selection->selectedIndexes();
        if (selected.isEmpty()) return std::nullopt;
        return selected.front().row();
    }

    // Every selected device row, top to bottom; group headers left out.
    std::vector<int> selectedRows() const {
        std::set<int> rows;
        for (const QModelIndex& index : active()->selectionModel()->selectedIndexes())
            if (!index.data(DeviceListModel::HeaderRole).toBool()) rows.insert(index.row());
        return {rows.begin(), rows.end()};
    }

    // The selected devices, the current one first: what a rebuild selects again.
    std::vector<Key> selectedKeys() const {
        std::vector<Key> keys;
        const auto current = selectedRow();
        if (!current) return keys;
        const auto keyOf = [this](int row) {
            const DeviceRecord& record = model->record(row);
            return Key{record.id, record.address};
        };
        keys.push_back(keyOf(*current));
        for (const int row : selectedRows())
            if (row != *current) keys.push_back(keyOf(row));
        return keys;
    }

    Selection selectionOf(int row) const {
        return Selection{model->text(row, 0), model->text(row, 1), text8(model->record(row).id),
                         model->row(row).index};
    }

    void rebuild(const std::vector<Key>& keep) {
        q->setUpdatesEnabled(false);
        present(keep, std::make_shared<const std::vector<DeviceRecord>>(inventory.snapshot()));
        q->setUpdatesEnabled(true);
    }

    DeviceListModel::Row itemRow(std::size_t i, const std::vector<DeviceRecord>& records) const {
        return {static_cast<uint32_t>(i), records[i].imageIndex, arrangement->groupId(i), false};
    }

    // Arranges the records, puts them on screen and selects the remembered devices again.
    void present(const std::vector<Key>& keep, DeviceListModel::Records records) {
        arrangement.emplace(*records, settings.groupBy, settings.sortBy, settings.sortDescending);
        std::vector<DeviceListModel::Row> rows;
        std::vector<QString> headers;
        rows.reserve(records->size() + arrangement->groups().size());
        if (groupsShown()) {
            for (const auto& group : arrangement->groups()) {
                if (group.records.empty()) continue;
                rows.push_back({static_cast<uint32_t>(headers.size()), 0, group.id, true});
                headers.push_back(text8(group.header));
                for (const std::size_t i : group.records)
                    rows.push_back(itemRow(i, *records));
            }
        } else {
            for (const std::size_t i : arrangement->items())
                rows.push_back(itemRow(i, *records));
        }

        DeviceListModel::Pictures kind = DeviceListModel::Pictures::Small;
        if (settings.viewType == ViewSettings::Thumbnails || settings.viewType == ViewSettings::Tiles)
            kind = DeviceListModel::Pictures::Large;
        else if (settings.viewType == ViewSettings::Details && !settings.previewImage)
            kind = DeviceListModel::Pictures::None;
        const bool twoLines =
            settings.viewType != ViewSettings::Details && settings.viewType != ViewSettings::List;
        // Grid lines are not drawn between groups.
        delegate->configure(settings.viewType, settings.showGrid && !groupsShown(), settings.previewImage);
        model->reset(std::move(records), std::move(rows), std::move(headers), kind, twoLines);
        if (settings.viewType == ViewSettings::Details) {
            details->header()->setSortIndicator(
                settings.sortBy, settings.sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
            for (int r = 0; r < model->rowCount(); ++r)
                if (model->row(r).header) details->setFirstColumnSpanned(r, {}, true);
            fitToContents();
        }
        schedulePictureOrder();

        if (keep.empty() || keep.front().address.empty()) return;
        const std::set<Key> others(keep.begin() + 1, keep.end());
        QAbstractItemView* view = active();
        QItemSelection selection;
        bool currentFound = false;  // the first row with the current device's texts
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->row(r).header) continue;
            const DeviceRecord& record = model->record(r);
            const QModelIndex index = model->index(r, 0);
            if (!currentFound && record.id == keep.front().id && record.address == keep.front().address) {
                currentFound = true;
                view->selectionModel()->setCurrentIndex(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                view->scrollTo(index);
            } else if (others.contains({record.id, record.address})) {
                selection.select(index, index);
            }
        }
        view->selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void setView(int viewType) {
        const auto keep = selectedKeys();
        settings.viewType = std::clamp(viewType, 0, 4);
        stack->setCurrentWidget(active());
        rebuild(keep);
    }

    // The widest device text of each column as the Details view draws it, with the cell's margins
    // and the preview picture; group headings span their row and take no column's width. Texts are
    // measured by the sum of their characters' advances, then the widest few exactly, as shaping
    // every text of 50,000 rows would take most of a second.
    std::array<int, 4> contentWidths() const {
        const QFontMetrics metrics(details->font());
        const int margin =
            2 * (details->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, details) + 1);
        std::array<int, 256> advance{};
        for (std::size_t b = 0; b < advance.size(); ++b)
            advance[b] = metrics.horizontalAdvance(QChar(static_cast<char16_t>(b)));
        const auto estimate = [&advance](const std::string& text) {
            int width = 0;
            for (const char ch : text)
                width += advance[static_cast<unsigned char>(ch)];
            return width;
        };
        const auto fields = [](const DeviceRecord& r) {
            return std::array<const std::string*, 4>{&r.id, &r.address, &r.deviceType, &r.version};
        };
        std::array<int, 4> widest{};
        for (const DeviceRecord& record : model->records()) {
            const auto texts = fields(record);
            for (std::size_t c = 0; c < 4; ++c)
                widest[c] = std::max(widest[c], estimate(*texts[c]));
        }
        // Kerning may make a text a little wider or narrower than the sum of its characters.
        constexpr int kExactly = 16;
        std::array<int, 4> near{};
        for (std::size_t c = 0; c < 4; ++c)
            near[c] = widest[c] - 2 * metrics.averageCharWidth();
        std::array<int, 4> measured{};
        for (const DeviceRecord& record : model->records()) {
            const auto texts = fields(record);
            for (std::size_t c = 0; c < 4; ++c) {
                if (measured[c] == kExactly || estimate(*texts[c]) < near[c]) continue;
                widest[c] = std::max(widest[c], metrics.horizontalAdvance(text8(*texts[c])));
                ++measured[c];
            }
        }
        if (settings.previewImage) widest[0] += PictureLists::kSmall + margin;
        for (std::size_t c = 0; c < 4; ++c)
            widest[c] = std::max(widest[c] + margin, details->header()->sectionSizeHint(static_cast<int>(c)));
        return widest;
    }

    // No column narrower than the widest thing it shows; the last one also fills what is left.
    void fitToContents() {
        QHeaderView* header = details->header();
        const std::array<int, 4> widths = contentWidths();
        int used = 0;
        for (int c = 0; c < 3; ++c) {
            header->resizeSection(c, std::max(header->sectionSize(c), widths[static_cast<std::size_t>(c)]));
            used += header->sectionSize(c);
        }
        header->resizeSection(3, std::max(widths[3], details->viewport()->width() - used));
    }

    void menuCommand(int id) {
        if (!q->handleViewCommand(id)) emit q->command(id);
    }

    QAction* addItem(QMenu* menu, const char* text, int id) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        action->setData(id);
        action->setObjectName(QStringLiteral("id%1").arg(id));
        action->setProperty("controlId", id);
        action->setToolTip(commandTip(id));
        const CommandState state = q->commandState(id);
        action->setEnabled(state.enabled);
        if (state.checked) {
            action->setCheckable(true);
            action->setChecked(*state.checked);
        }
        connect(action, &QAction::triggered, this, [this, id] { menuCommand(id); });
        return action;
    }

    // "All", then each named interface once with its first address; the loopback host is never
    // scanned, so it is not offered.
    void addInterfaceChoices(QMenu* menu) {
        auto* group = new QActionGroup(menu);
        const auto choice = [this, menu, group](const QString& text, const std::string& name) {
            QAction* action = menu->addAction(text);
            action->setObjectName(QStringLiteral("interface:") + QString::fromStdString(name));
            action->setCheckable(true);
            action->setChecked(settings.scanInterface == name);
            group->addAction(action);
            connect(action, &QAction::triggered, this, [this, name] { settings.scanInterface = name; });
        };
        choice(QStringLiteral("All"), {});
        menu->addSeparator();
        std::vector<std::string> listed;
        for (const InterfaceRow& row : interfaceSource ? interfaceSource() : std::vector<InterfaceRow>{}) {
            if (row.name.empty() || row.address == htonl(INADDR_LOOPBACK) ||
                std::find(listed.begin(), listed.end(), row.name) != listed.end())
                continue;
            listed.push_back(row.name);
            choice(QString::fromStdString(interfaceLabel(row)), row.name);
        }
        // A chosen interface that is gone stays the choice until another is made, and says so.
        const std::string& chosen = settings.scanInterface;
        if (!chosen.empty() && std::find(listed.begin(), listed.end(), chosen) == listed.end())
            choice(QString::fromStdString(chosen) + QStringLiteral(" (not present)"), chosen);
    }

    // The first and last rows on screen.
    std::optional<std::pair<int, int>> rowsOnScreen() const {
        const int rows = model->rowCount();
        const int height = active()->viewport()->height();
        if (rows == 0 || height <= 0) return std::nullopt;
        if (active() == details) {
            // A tree finds the row at a point by walking from the top row shown.
            const QModelIndex top = details->indexAt(QPoint(0, 0));
            if (!top.isValid()) return std::nullopt;
            const QModelIndex bottom = details->indexAt(QPoint(0, height - 1));
            return std::pair(top.row(), bottom.isValid() ? bottom.row() : rows - 1);
        }
        // Icons leave gaps between them, but lie in model order, line by line, top to bottom.
        const auto rect = [this](int r) { return icons->visualRect(model->index(r, 0)); };
        const auto firstRow = [rows](const auto& below) {
            int lo = 0, hi = rows;
            while (lo < hi) {
                const int mid = lo + (hi - lo) / 2;
                if (below(mid))
                    hi = mid;
                else
                    lo = mid + 1;
            }
            return lo;
        };
        int first = firstRow([&](int r) { return rect(r).top() >= 0; });
        while (first > 0 && rect(first - 1).bottom() >= 0)  // partly shown at the top
            --first;
        const int end = firstRow([&](int r) { return rect(r).top() >= height; });
        if (end <= first) return std::nullopt;
        return std::pair(first, end - 1);
    }

    // Tells the listener, once the views have laid out what changed, unless the order is the same.
    void schedulePictureOrder() {
        if (pictureOrderListener && !pictureOrderTimer.isActive()) pictureOrderTimer.start();
    }

    void tellPictureOrder() {
        std::vector<uint64_t> keys;
        const auto& records = model->records();
        if (const auto shown = rowsOnScreen()) {
            for (const std::size_t r : rowsByNearness(static_cast<std::size_t>(model->rowCount()),
                                                      static_cast<std::size_t>(shown->first),
                                                      static_cast<std::size_t>(shown->second))) {
                const auto& row = model->row(static_cast<int>(r));
                if (!row.header && row.index < records.size()) keys.push_back(records[row.index].key);
            }
        }
        if (keys == pictureOrder) return;
        pictureOrder = keys;
        pictureOrderListener(std::move(keys));
    }

    DeviceListView* q;
    DeviceInventory& inventory;
    PictureLists& pictures;
    ViewSettings& settings;
    DeviceListModel* model = nullptr;
    DeviceItemDelegate* delegate = nullptr;
    QTreeView* details = nullptr;
    QListView* icons = nullptr;
    QStackedLayout* stack = nullptr;
    std::optional<ListArrangement> arrangement;
    std::function<std::vector<InterfaceRow>()> interfaceSource;
    std::function<void(std::vector<uint64_t>)> pictureOrderListener;
    std::vector<uint64_t> pictureOrder;  // as last told
    QTimer pictureOrderTimer;
};

DeviceListView::DeviceListView(DeviceInventory& inventory, PictureLists& pictures, ViewSettings& settings,
                               QWidget* parent)
    : QWidget(parent), impl_(new Impl(this, inventory, pictures, settings)) {
    Impl& d = *impl_;
    d.model = new DeviceListModel(pictures, this);
    d.delegate = new DeviceItemDelegate(this);

    d.details = new QTreeView(this);
    d.details->setObjectName(QStringLiteral("detailsView"));
    d.details->setModel(d.model);
    d.details->setItemDelegate(d.delegate);
    d.details->setRootIsDecorated(false);
    d.details->setItemsExpandable(false);
    d.details->setUniformRowHeights(false);
    d.details->setAllColumnsShowFocus(true);
    d.details->setSelectionBehavior(QAbstractItemView::SelectRows);
    d.details->setIconSize(QSize(PictureLists::kSmall, PictureLists::kSmall));
    d.details->setTextElideMode(Qt::ElideRight);
    QHeaderView* header = d.details->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    auto* arrows = new SortArrowStyle;
    arrows->setParent(header);
    header->setStyle(arrows);
    connect(header, &QHeaderView::sectionClicked, this, &DeviceListView::sortByColumn);

    d.icons = new QListView(this);
    d.icons->setObjectName(QStringLiteral("iconView"));
    d.icons->setModel(d.model);
    d.icons->setItemDelegate(d.delegate);
    d.icons->setViewMode(QListView::IconMode);
    d.icons->setFlow(QListView::LeftToRight);
    d.icons->setWrapping(true);
    d.icons->setMovement(QListView::Static);
    d.icons->setResizeMode(QListView::Adjust);
    d.icons->setSpacing(DeviceItemDelegate::kSpacing);
    d.icons->setUniformItemSizes(false);
    d.icons->setDragEnabled(false);
    d.icons->setMouseTracking(true);
    d.icons->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    d.icons->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(d.details), static_cast<QAbstractItemView*>(d.icons)}) {
        // Several devices may be chosen for the commands that work on each in turn.
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& position) {
            emit contextMenuRequested(view->viewport()->mapToGlobal(position));
        });
        connect(view, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
            if (!index.data(DeviceListModel::HeaderRole).toBool()) emit itemActivated();
        });
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &DeviceListView::selectionChanged);
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, &d, &Impl::schedulePictureOrder);
    }
    // A zero timer runs after the views' own delayed layout, and many scroll steps make one order.
    d.pictureOrderTimer.setSingleShot(true);
    d.pictureOrderTimer.setInterval(0);
    connect(&d.pictureOrderTimer, &QTimer::timeout, &d, &Impl::tellPictureOrder);

    d.stack = new QStackedLayout(this);
    d.stack->setContentsMargins(0, 0, 0, 0);
    d.stack->addWidget(d.details);
    d.stack->addWidget(d.icons);
    d.stack->setCurrentWidget(d.active());
    d.rebuild({});
}

void DeviceListView::rebuild() {
    impl_->rebuild(impl_->selectedKeys());
}

void DeviceListView::setView(int viewType) {
    impl_->setView(viewType);
}

int DeviceListView::view() const {
    return impl_->settings.viewType;
}

bool DeviceListView::handleViewCommand(int command, bool checked) {
    ViewSettings& s = impl_->settings;
    const auto view =
        std::find_if(kViews.begin(), kViews.end(), [command](const auto& v) { return v.command == command; });
    if (view != kViews.end()) {
        setView(view->view);
    } else if (command == kPreviewBox || command == kPreviewMenu) {
        s.previewImage = command == kPreviewBox ? checked : !s.previewImage;
        rebuild();
    } else if (command == kGrid) {
        s.showGrid = !s.showGrid;
        rebuild();
    } else if (command >= kArrangeById && command <= kArrangeByVersion) {
        s.groupBy = command - kArrangeById;
        rebuild();
    } else if (command >= kSortById && command <= kSortByVersion) {
        s.sortBy = command - kSortById;
        rebuild();
    } else if (command == kSortDescending) {
        s.sortDescending = !s.sortDescending;
        rebuild();
    } else if (command == kShowInGroups) {
        // Only the presentation changes: the records already read stay as they are.
        s.showGroups = !s.showGroups;
        setUpdatesEnabled(false);
        impl_->present(impl_->selectedKeys(), impl_->model->sharedRecords());
        setUpdatesEnabled(true);
    } else {
        return false;
    }
    emit viewSettingsChanged();
    return true;
}

DeviceListView::CommandState DeviceListView::commandState(int command) const {
    const ViewSettings& s = impl_->settings;
    const bool details = s.viewType == ViewSettings::Details;
    const bool list = s.viewType == ViewSettings::List;
    switch (command) {
        case kViewDevice:
        case kConfigureDevice:
        case kTelnet:
        case kSetTime:
        case kEraseConfiguration:
        case kUpgradeFirmware:
        case kReboot:
        case kAssignAddresses:
        case kSystemLog:
        case kDebugLog:
        case kActivityReport:
            return {selection().has_value(), {}};
        case kViewAllDevices:
        case kExportList:
        case kProductionTest:
        case kBackupSettings:
        case kRestoreSettings:
        case kSiteReport:
            return {itemCount() > 0, {}};
        case kPreviewMenu:
            return {details, s.previewImage};
        case kGrid:
            return {details && !s.showGroups, s.showGrid};
        case kShowInGroups:
            return {!list, s.showGroups && !list};
        case kSortDescending:
            return {true, s.sortDescending};
        default:
            break;
    }
    for (const auto& v : kViews)
        if (v.command == command) return {true, s.viewType == v.view};
    if (command >= kArrangeById && command <= kArrangeByVersion)
        return {true, s.groupBy == command - kArrangeById};
    if (command >= kSortById && command <= kSortByVersion) return {true, s.sortBy == command - kSortById};
    return {};
}

bool DeviceListView::findDevice(const QString& search, bool next) {
    Impl& d = *impl_;
    const int rows = d.model->rowCount();
    if (rows == 0) return false;
    const std::string wanted = search.toLatin1().toStdString();
    const int from = d.selectedRow().value_or(next ? -1 : 0);
    for (int step = next ? 1 : 0; step <= rows; ++step) {
        const int r = ((from + step) % rows + rows) % rows;
        const auto& row = d.model->row(r);
        if (row.header || !deviceMatches(d.model->record(r), wanted)) continue;
        const QModelIndex index = d.model->index(r, 0);
        QAbstractItemView* view = d.active();
        view->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view->scrollTo(index);
        return true;
    }
    return false;
}

void DeviceListView::sortByColumn(int column) {
    ViewSettings& s = impl_->settings;
    if (column < 0 || column > 3) return;
    s.sortDescending = column == s.sortBy ? !s.sortDescending : false;
    s.sortBy = column;
    rebuild();
}

void DeviceListView::thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) {
    // Sent from a fetch thread, the message may come after a prune moved its record: then the
    // index names another device, and the next rebuild shows the picture where it belongs.
    const auto record = impl_->inventory.at(recordIndex);
    if (!record || record->imageIndex != imageIndex) return;
    impl_->model->setPicture(recordIndex, imageIndex);
}

std::optional<DeviceListView::Selection> DeviceListView::selection() const {
    const auto row = impl_->selectedRow();
    if (!row) return std::nullopt;
    return impl_->selectionOf(*row);
}

std::vector<DeviceListView::Selection> DeviceListView::selections() const {
    std::vector<Selection> all;
    for (const int row : impl_->selectedRows()) {
        all.push_back(impl_->selectionOf(row));
    }
    return all;
}

int DeviceListView::itemCount() const {
    return static_cast<int>(impl_->model->records().size());
}

void DeviceListView::fitColumns() {
    QTreeView* tree = impl_->details;
    // The tree takes the list's size only once the layout has run.
    layout()->activate();
    const QFontMetrics metrics(tree->font());
    // Room for the cell's own margins beside each measured text.
    const int margin = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1);
    std::array<int, 4> widths = {idColumnWidth(tree),
                                 metrics.horizontalAdvance(QStringLiteral("255.255.255.255")),
                                 metrics.horizontalAdvance(QStringLiteral("XXXXXXXXXXXX")),
                                 metrics.horizontalAdvance(QStringLiteral("8.8.88-pre88"))};
    for (int& w : widths)
        w += margin;
    const int scrollBar = tree->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, tree);
    const int client = tree->width() - 2 * tree->frameWidth();
    const int excess = widths[0] + widths[1] + widths[2] + widths[3] + scrollBar - client;
    if (excess > 0) {
        const int d = (excess + 2) / 4;
        widths[0] -= excess - 3 * d;
        for (int c = 1; c < 4; ++c)
            widths[static_cast<std::size_t>(c)] -= d;
    }
    for (int c = 0; c < 4; ++c)
        tree->header()->resizeSection(c, std::max(widths[static_cast<std::size_t>(c)], 1));
    impl_->fitToContents();
}

void DeviceListView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The tree takes its new size from the layout first; a hidden one is fitted when shown.
    layout()->activate();
    if (impl_->settings.viewType == ViewSettings::Details) impl_->fitToContents();
    impl_->schedulePictureOrder();
}

void DeviceListView::setInterfaceSource(std::function<std::vector<InterfaceRow>()> source) {
    impl_->interfaceSource = std::move(source);
}

void DeviceListView::setPictureOrderListener(std::function<void(std::vector<uint64_t>)> listener) {
    impl_->pictureOrderListener = std::move(listener);
    impl_->pictureOrder.clear();
    impl_->schedulePictureOrder();
}

void DeviceListView::showContextMenu(const QPoint& globalPosition) {
    QMenu* menu = buildContextMenu();
    menu->exec(globalPosition);
    delete menu;
}

void DeviceListView::fillInterfaceMenu(QMenu* menu) {
    impl_->addInterfaceChoices(menu);
}

QMenu* DeviceListView::buildContextMenu() {
    Impl& d = *impl_;

    auto* menu = new QMenu(this);
    menu->setToolTipsVisible(true);
    menu->setDefaultAction(d.addItem(menu, "&View Device", kViewDevice));
    d.addItem(menu, "&Configure Device", kConfigureDevice);
    d.addItem(menu, "&Telnet", kTelnet);
    menu->addSeparator();

    QMenu* view = menu->addMenu(QStringLiteral("View"));
    auto* views = new QActionGroup(view);
    for (const auto& v : kViews)
        views->addAction(d.addItem(view, v.text, v.command));
    view->addSeparator();
    d.addItem(view, "Preview Image", kPreviewMenu);
    d.addItem(view, "Grid", kGrid);

    QMenu* arrange = menu->addMenu(QStringLiteral("Arrange Items By"));
    auto* arrangeBy = new QActionGroup(arrange);
    for (int c = 0; c < 4; ++c)
        arrangeBy->addAction(
            d.addItem(arrange, kArrangeTexts[static_cast<std::size_t>(c)], kArrangeById + c));
    arrange->addSeparator();
    d.addItem(arrange, "Show in Groups", kShowInGroups);

    d.addItem(menu, "Refresh", kRefresh);
    d.addItem(menu, "Scan Range...", kScanRange);
    QMenu* network = menu->addMenu(QStringLiteral("Network Interface"));
    network->menuAction()->setObjectName(QStringLiteral("id%1").arg(kNetworkInterface));
    fillInterfaceMenu(network);
    menu->addSeparator();

    QMenu* advanced = menu->addMenu(QStringLiteral("Advanced"));
    d.addItem(advanced, "Add Device...", kAddDevice);
    advanced->addSeparator();
    d.addItem(advanced, "Set Time...", kSetTime);
    d.addItem(advanced, "Erase Configuration...", kEraseConfiguration);
    d.addItem(advanced, "Upgrade Firmware...", kUpgradeFirmware);
    d.addItem(advanced, "Reboot...", kReboot);
    d.addItem(advanced, "Assign Addresses...", kAssignAddresses);
    advanced->addSeparator();
    d.addItem(advanced, "System Log File...", kSystemLog);
    d.addItem(advanced, "Debug Log File...", kDebugLog);
    d.addItem(advanced, "Activity Report...", kActivityReport);
    advanced->addSeparator();
    d.addItem(advanced, "View All Devices (Webpage)", kViewAllDevices);
    d.addItem(advanced, "Export List...", kExportList);
    menu->addSeparator();

    d.addItem(menu, "About Lumetra Tools...", kAbout);
    return menu;
}

}  // namespace lm::gui

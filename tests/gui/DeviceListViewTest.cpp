#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QTest>
#include <QTreeView>
#include <map>
#include <memory>

#include "ChildById.h"
#include "gui/discovery/DeviceListModel.h"
#include "gui/discovery/DeviceListView.h"

using lm::DeviceInventory;
using lm::gui::DeviceListModel;
using lm::gui::DeviceListView;
using lm::gui::PictureLists;
using lm::gui::ViewSettings;

namespace {

struct Device {
    const char* id;
    const char* address;
    const char* type;
    const char* version;
};

const Device kDevices[] = {
    {"024C55-C81111", "192.168.1.30", "ZelvixXL VGA", "2.1.0"},
    {"024C55-C10002", "10.0.0.77", "Zelvix", "2.0.4"},
    {"Device  1", "10.0.0.5:8080", "Unknown", "Unknown"},
    {"024C55-C80001", "10.0.0.10", "ZelvixXL VGA", "2.1.0"},
    {"024C55-C10001", "10.0.0.9", "Zelvix", "2.1.0"},
};

}  // namespace

class DeviceListViewTest : public QObject {
    Q_OBJECT

private:
    struct Fixture {
        DeviceInventory inventory;
        PictureLists pictures;
        ViewSettings settings;
        std::unique_ptr<DeviceListView> list;

        explicit Fixture(int view = ViewSettings::Details, bool populate = true) {
            settings.viewType = view;
            if (populate)
                for (const auto& d : kDevices)
                    inventory.add(d.id, d.address, d.type, d.version);
            list = std::make_unique<DeviceListView>(inventory, pictures, settings);
            list->resize(640, 400);
            list->setView(view);
            list->show();
        }
        QAbstractItemView* active() const {
            if (settings.viewType == ViewSettings::Details) return list->findChild<QTreeView*>("detailsView");
            return list->findChild<QListView*>("iconView");
        }
        // What the list shows, top to bottom: "[key]" for a group header, else the first label line.
        QStringList shown() const {
            QStringList out;
            const QAbstractItemModel* model = active()->model();
            for (int r = 0; r < model->rowCount(); ++r) {
                const QModelIndex index = model->index(r, 0);
                const QString text = index.data().toString();
                out << (index.data(DeviceListModel::HeaderRole).toBool() ? "[" + text + "]"
                                                                         : text.section('\n', 0, 0));
            }
            return out;
        }
        int rowOf(const QString& id, int nth = 0) const {
            const QAbstractItemModel* model = active()->model();
            for (int r = 0; r < model->rowCount(); ++r)
                if (model->index(r, 0).data().toString().section('\n', 0, 0) == id && nth-- == 0) return r;
            return -1;
        }
        void click(int row) {
            QAbstractItemView* view = active();
            const QModelIndex index = view->model()->index(row, 0);
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        }
        bool visible(const QString& id) const {
            QAbstractItemView* view = active();
            const QRect rect = view->visualRect(view->model()->index(rowOf(id), 0));
            return view->viewport()->rect().intersects(rect) && rect.isValid();
        }
    };

    // The context menu of a list in this view, with one item selected or none, or with no devices.
    static void expectMenu(int view, bool select, bool empty, const QList<int>& enabled,
                           const QList<int>& disabled, const QList<int>& checked,
                           const QList<int>& unchecked) {
        Fixture f(view, !empty);
        if (select) f.click(f.rowOf("024C55-C10002"));
        QCOMPARE(f.list->selection().has_value(), select);
        std::unique_ptr<QMenu> menu(f.list->buildContextMenu());
        for (int id : enabled)
            QVERIFY2(child<QAction>(*menu, id)->isEnabled(), qPrintable(QString::number(id)));
        for (int id : disabled)
            QVERIFY2(!child<QAction>(*menu, id)->isEnabled(), qPrintable(QString::number(id)));
        for (int id : checked)
            QVERIFY2(child<QAction>(*menu, id)->isChecked(), qPrintable(QString::number(id)));
        for (int id : unchecked)
            QVERIFY2(!child<QAction>(*menu, id)->isChecked(), qPrintable(QString::number(id)));
    }

private slots:
    // Sorted by address; the address with a port sorts after every plain one of its group. List view
    // shows no groups even when they are on. Headers cannot be selected; items carry their record index.
    void arrangementOnScreen() {
        const std::pair<int, QStringList> cases[] = {
            {ViewSettings::Details,
             {"[10.0.0.X]", "024C55-C10001", "024C55-C80001", "024C55-C10002", "Device  1", "[192.168.1.X]",
              "024C55-C81111"}},
            {ViewSettings::List,
             {"024C55-C10001", "024C55-C80001", "024C55-C10002", "024C55-C81111", "Device  1"}},
        };
        for (const auto& [view, expected] : cases) {
            Fixture f(view);
            f.settings.groupBy = 1;
            f.settings.sortBy = 1;
            f.list->rebuild();
            QCOMPARE(f.shown(), expected);
            const QAbstractItemModel* model = f.active()->model();
            for (int r = 0; r < model->rowCount(); ++r) {
                const QModelIndex index = model->index(r, 0);
                const bool header = index.data(DeviceListModel::HeaderRole).toBool();
                QCOMPARE(bool(model->flags(index) & Qt::ItemIsSelectable), !header);
                if (!header) {
                    const auto record = index.data(DeviceListModel::RecordRole).toULongLong();
                    QCOMPARE(index.data().toString().section('\n', 0, 0), QString(kDevices[record].id));
                }
            }
        }
    }

    void selectionSurvivesAdd() {
        Fixture f(ViewSettings::Details);
        f.settings.showGroups = false;
        f.settings.sortBy = 0;
        for (int i = 0; i < 40; ++i)
            f.inventory.add("024C55-C9" + std::to_string(1000 + i), "10.1.0." + std::to_string(i + 1),
                            "Zelvix", "2.1.0");
        f.list->rebuild();
        f.click(f.rowOf("024C55-C91035"));
        QVERIFY(f.list->selection().has_value());
        f.active()->scrollToTop();
        QVERIFY(!f.visible("024C55-C91035"));
        // A device that sorts first moves every row down by one.
        f.inventory.add("0000", "10.2.0.1", "Zelvix", "2.1.0");
        f.list->rebuild();
        const auto selection = f.list->selection();
        QVERIFY(selection.has_value());
        QCOMPARE(selection->column0, QString("024C55-C91035"));
        QCOMPARE(selection->column1, QString("10.1.0.36"));
        QCOMPARE(selection->recordIndex, std::size_t{5 + 35});
        QVERIFY(f.visible("024C55-C91035"));
    }

    // The selection follows the view; a rebuild selects the first item with the same texts.
    void selectionSurvivesViewChangeAndRebuild() {
        Fixture f(ViewSettings::Thumbnails);
        f.inventory.add("024C55-C80001", "10.0.0.10", "ZelvixXL VGA", "2.1.0");
        f.list->rebuild();
        f.click(f.rowOf("024C55-C80001", 1));
        QCOMPARE(f.list->selection()->recordIndex, std::size_t{5});
        f.list->rebuild();
        QCOMPARE(f.list->selection()->recordIndex, std::size_t{3});
        QCOMPARE(f.list->selection()->column0, QString("024C55-C80001\n10.0.0.10"));
        QCOMPARE(f.list->selection()->id, QString("024C55-C80001"));  // the ID alone, from the model
        QVERIFY(f.list->handleViewCommand(59411));
        QCOMPARE(f.list->view(), int(ViewSettings::Details));
        QVERIFY(f.list->selection().has_value());
        QCOMPARE(f.list->selection()->column0, QString("024C55-C80001"));
        QVERIFY(f.list->handleViewCommand(2017));  // groups off: no re-read, selection kept
        QCOMPARE(f.list->selection()->recordIndex, std::size_t{3});
    }

    void headerClicksSort() {
        Fixture f(ViewSettings::Details);
        f.settings.showGroups = false;
        f.list->rebuild();
        auto* tree = f.list->findChild<QTreeView*>("detailsView");
        QHeaderView* header = tree->header();
        auto clickColumn = [&](int c) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(c) + header->sectionSize(c) / 2,
                                     header->height() / 2));
        };
        struct Step {
            int column;
            bool descending;
            QStringList order;
        };
        // A second click reverses; another column starts ascending.
        const Step steps[] = {
            {1, false, {"024C55-C10001", "024C55-C80001", "024C55-C10002", "024C55-C81111", "Device  1"}},
            {1, true, {"Device  1", "024C55-C81111", "024C55-C10002", "024C55-C80001", "024C55-C10001"}},
            {3, false, {"024C55-C10002", "024C55-C81111", "024C55-C80001", "024C55-C10001", "Device  1"}},
        };
        for (const auto& step : steps) {
            clickColumn(step.column);
            QCOMPARE(f.settings.sortBy, step.column);
            QCOMPARE(f.settings.sortDescending, step.descending);
            QCOMPARE(header->sortIndicatorSection(), step.column);
            QCOMPARE(header->sortIndicatorOrder(),
                     step.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
            QCOMPARE(f.shown(), step.order);
        }
    }

    void menuStates() {
        const QList<int> operations{1009, 1002, 1318, 1321, 1322, 1194, 1234, 1186, 1320, 1319};
        const QList<int> always{2003, 2004, 2005, 59410, 59411, 2010, 2011, 2012, 2013, 1230, 1043, 1325};
        expectMenu(ViewSettings::List, false, false, always + QList<int>{1237},
                   operations + QList<int>{2017, 2006, 2020}, {59410, 2012, 2020}, {2017, 2006, 59411, 2003});
        expectMenu(ViewSettings::Details, true, false, always + operations + QList<int>{2017, 2006, 1237},
                   {2020}, {59411, 2017, 2020, 2012}, {2006, 59410, 2010});
        expectMenu(ViewSettings::Tiles, false, true, always + QList<int>{2017},
                   operations + QList<int>{1237, 2006, 2020}, {2004, 2017}, {59411});
    }

    void previewImageWithoutRescan() {
        Fixture f(ViewSettings::Details);
        const uint32_t slot =
            f.pictures.store(0, QImage(48, 48, QImage::Format_RGB32), QImage(160, 120, QImage::Format_RGB32));
        auto decoration = [&](const char* id = "024C55-C10002") {
            return f.active()->model()->index(f.rowOf(id), 0).data(Qt::DecorationRole).value<QPixmap>();
        };
        QVERIFY(decoration().isNull());
        QVERIFY(f.list->handleViewCommand(1317, true));
        QCOMPARE(decoration().size(), QSize(48, 48));
        // A picture that arrives now shows at once, in place.
        QImage red(48, 48, QImage::Format_RGB32);
        red.fill(Qt::red);
        const auto store = [&](uint32_t) {
            return f.pictures.store(slot, red, QImage(160, 120, QImage::Format_RGB32));
        };
        QVERIFY(f.inventory.completeThumbnail(f.inventory.snapshot()[1].key, store));
        // A message naming another record's picture (sent before a prune moved the records) changes nothing.
        f.list->thumbnailReady(0, slot);
        QVERIFY(decoration("024C55-C81111").toImage().pixelColor(24, 24) != QColor(Qt::red));
        f.list->thumbnailReady(1, slot);
        const QColor shown = decoration().toImage().pixelColor(24, 24);  // kept as JPEG: nearly red
        QVERIFY(shown.red() > 240 && shown.green() < 16 && shown.blue() < 16);
        QVERIFY(f.list->handleViewCommand(2006));
        QVERIFY(!f.settings.previewImage);
        QVERIFY(decoration().isNull());
        QCOMPARE(f.inventory.count(), std::size(kDevices));
    }

    // The pictures wanted first are those on screen, top to bottom, then the nearest off it; the
    // order follows a scroll.
    void pictureOrderFollowsTheScreen() {
        for (const int view : {int(ViewSettings::Thumbnails), int(ViewSettings::Details)}) {
            Fixture f(view, false);
            for (int i = 0; i < 300; ++i)
                f.inventory.add(QString("024C55-C8%1").arg(i, 4, 10, QChar('0')).toStdString(),
                                "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1),
                                "Zelvix", "2.1.0");
            std::map<uint64_t, QString> idOf;
            for (const auto& record : f.inventory.snapshot())
                idOf[record.key] = QString::fromStdString(record.id);
            std::vector<uint64_t> order;
            f.list->setPictureOrderListener(
                [&order](std::vector<uint64_t> keys) { order = std::move(keys); });
            f.list->rebuild();
            for (const bool atBottom : {false, true}) {
                if (atBottom) {
                    order.clear();
                    f.active()->scrollToBottom();
                }
                QTRY_VERIFY(!order.empty());
                QStringList onScreen;
                int firstShown = -1, lastShown = -1;
                const QAbstractItemModel* model = f.active()->model();
                for (int r = 0; r < model->rowCount(); ++r) {
                    const QModelIndex index = model->index(r, 0);
                    const QString id = index.data().toString().section('\n', 0, 0);
                    if (index.data(DeviceListModel::HeaderRole).toBool() || !f.visible(id)) continue;
                    onScreen << id;
                    if (firstShown < 0) firstShown = r;
                    lastShown = r;
                }
                QStringList wanted;
                for (const uint64_t key : order)
                    wanted << idOf.at(key);
                const QString context = QString("view %1%2").arg(view).arg(atBottom ? ", at the bottom" : "");
                QVERIFY2(onScreen.size() > 1 && wanted.size() > onScreen.size(), qPrintable(context));
                QVERIFY2(wanted.mid(0, onScreen.size()) == onScreen, qPrintable(context));
                const int next = atBottom ? firstShown - 1 : lastShown + 1;
                QVERIFY2(
                    wanted[onScreen.size()] == model->index(next, 0).data().toString().section('\n', 0, 0),
                    qPrintable(context));
            }
        }
    }
};

QTEST_MAIN(DeviceListViewTest)
#include "DeviceListViewTest.moc"

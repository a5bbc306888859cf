#include <QActionGroup>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "discovery/DeviceListModel.h"
#include "discovery/DeviceListView.h"

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

// Every action of a menu and its pop-ups, by command id.
QAction* findAction(QMenu* menu, int id) {
    for (QAction* action : menu->findChildren<QAction*>())
        if (action->data().toInt() == id) return action;
    return nullptr;
}

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

private slots:
    void arrangementOnScreen_data() {
        QTest::addColumn<int>("view");
        QTest::addColumn<int>("groupBy");
        QTest::addColumn<int>("sortBy");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<bool>("groups");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("address groups, address order")
            << int(ViewSettings::Details) << 1 << 1 << false << true
            << QStringList{"[10.0.0.X]", "024C55-C10001", "024C55-C80001", "024C55-C10002",
                           "Device  1",  "[192.168.1.X]", "024C55-C81111"};
        QTest::newRow("address groups, descending")
            << int(ViewSettings::Thumbnails) << 1 << 1 << true << true
            << QStringList{"[10.0.0.X]",    "Device  1",     "024C55-C10002", "024C55-C80001",
                           "024C55-C10001", "[192.168.1.X]", "024C55-C81111"};
        QTest::newRow("id groups") << int(ViewSettings::Tiles) << 0 << 0 << false << true
                                   << QStringList{"[024C55-C1]", "024C55-C10001", "024C55-C10002",
                                                  "[024C55-C8]", "024C55-C80001", "024C55-C81111",
                                                  "[Device  1]", "Device  1"};
        QTest::newRow("type groups, version descending")
            << int(ViewSettings::Icons) << 2 << 3 << true << true
            << QStringList{"[Unknown]",     "Device  1",      "[Zelvix]",      "024C55-C10001",
                           "024C55-C10002", "[ZelvixXL VGA]", "024C55-C81111", "024C55-C80001"};
        QTest::newRow("no groups in List view")
            << int(ViewSettings::List) << 2 << 1 << false << true
            << QStringList{"024C55-C10001", "024C55-C80001", "024C55-C10002", "024C55-C81111", "Device  1"};
        QTest::newRow("groups off") << int(ViewSettings::Details) << 2 << 0 << true << false
                                    << QStringList{"Device  1", "024C55-C81111", "024C55-C80001",
                                                   "024C55-C10002", "024C55-C10001"};
    }
    void arrangementOnScreen() {
        QFETCH(int, view);
        QFETCH(int, groupBy);
        QFETCH(int, sortBy);
        QFETCH(bool, descending);
        QFETCH(bool, groups);
        QFETCH(QStringList, expected);
        Fixture f(view);
        f.settings.groupBy = groupBy;
        f.settings.sortBy = sortBy;
        f.settings.sortDescending = descending;
        f.settings.showGroups = groups;
        f.list->rebuild();
        QCOMPARE(f.shown(), expected);
        // Headers cannot be selected; items carry their record index.
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

    void labelsPerView_data() {
        QTest::addColumn<int>("view");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QSize>("picture");
        QTest::newRow("Thumbnails") << int(ViewSettings::Thumbnails) << "Device  1\n10.0.0.5:8080"
                                    << QSize(160, 120);
        QTest::newRow("Tiles") << int(ViewSettings::Tiles) << "Device  1\n10.0.0.5:8080" << QSize(160, 120);
        QTest::newRow("Icons") << int(ViewSettings::Icons) << "Device  1\n10.0.0.5:8080" << QSize(48, 48);
        QTest::newRow("List") << int(ViewSettings::List) << "Device  1" << QSize(48, 48);
        QTest::newRow("Details") << int(ViewSettings::Details) << "Device  1" << QSize(0, 0);
    }
    void labelsPerView() {
        QFETCH(int, view);
        QFETCH(QString, label);
        QFETCH(QSize, picture);
        Fixture f(view);
        const QModelIndex index = f.active()->model()->index(f.rowOf("Device  1"), 0);
        QCOMPARE(index.data().toString(), label);
        QCOMPARE(index.data(Qt::DecorationRole).value<QPixmap>().size(), picture);
        QCOMPARE(index.siblingAtColumn(1).data().toString(), QString("10.0.0.5:8080"));
        QCOMPARE(index.siblingAtColumn(2).data().toString(), QString("Unknown"));
        QCOMPARE(index.siblingAtColumn(3).data().toString(), QString("Unknown"));
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

    void sameTextsReselectFirst() {
        Fixture f(ViewSettings::Icons);
        f.inventory.add("024C55-C10001", "10.0.0.9", "Zelvix", "2.1.0");
        f.list->rebuild();
        f.click(f.rowOf("024C55-C10001", 1));
        QCOMPARE(f.list->selection()->recordIndex, std::size_t{5});
        f.list->rebuild();
        QCOMPARE(f.list->selection()->recordIndex, std::size_t{4});
        QCOMPARE(f.list->selection()->column0, QString("024C55-C10001\n10.0.0.9"));
    }

    void selectionSurvivesViewChange() {
        Fixture f(ViewSettings::Thumbnails);
        f.click(f.rowOf("024C55-C80001"));
        QCOMPARE(f.list->selection()->column0, QString("024C55-C80001\n10.0.0.10"));
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
            int sortBy;
            bool descending;
            QStringList order;
        };
        const Step steps[] = {
            {1, 1, false, {"024C55-C10001", "024C55-C80001", "024C55-C10002", "024C55-C81111", "Device  1"}},
            {1, 1, true, {"Device  1", "024C55-C81111", "024C55-C10002", "024C55-C80001", "024C55-C10001"}},
            {1, 1, false, {"024C55-C10001", "024C55-C80001", "024C55-C10002", "024C55-C81111", "Device  1"}},
            {0, 0, false, {"024C55-C10001", "024C55-C10002", "024C55-C80001", "024C55-C81111", "Device  1"}},
            {0, 0, true, {"Device  1", "024C55-C81111", "024C55-C80001", "024C55-C10002", "024C55-C10001"}},
            {3, 3, false, {"024C55-C10002", "024C55-C81111", "024C55-C80001", "024C55-C10001", "Device  1"}},
        };
        for (const auto& step : steps) {
            clickColumn(step.column);
            QCOMPARE(f.settings.sortBy, step.sortBy);
            QCOMPARE(f.settings.sortDescending, step.descending);
            QCOMPARE(header->sortIndicatorSection(), step.column);
            QCOMPARE(header->sortIndicatorOrder(),
                     step.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
            QCOMPARE(f.shown(), step.order);
        }
    }

    void menuStates_data() {
        QTest::addColumn<int>("view");
        QTest::addColumn<bool>("groups");
        QTest::addColumn<bool>("select");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<QList<int>>("enabled");
        QTest::addColumn<QList<int>>("disabled");
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<QList<int>>("unchecked");
        const QList<int> operations{1009, 1002, 1318, 1321, 1322, 1194, 1234, 1186, 1320, 1319};
        const QList<int> always{2003, 2004, 2005, 59410, 59411, 2010, 2011, 2012, 2013, 1230, 1043, 1325};
        QTest::newRow("List, nothing selected")
            << int(ViewSettings::List) << true << false << false << (always + QList<int>{1237})
            << (operations + QList<int>{2017, 2006, 2020}) << QList<int>{59410, 2012, 2020}
            << QList<int>{2017, 2006, 59411, 2003};
        QTest::newRow("Details, groups, selected")
            << int(ViewSettings::Details) << true << true << false
            << (always + operations + QList<int>{2017, 2006, 1237}) << QList<int>{2020}
            << QList<int>{59411, 2017, 2020, 2012} << QList<int>{2006, 59410, 2010};
        QTest::newRow("Details, no groups")
            << int(ViewSettings::Details) << false << true << false << QList<int>{2020, 2006, 2017}
            << QList<int>{} << QList<int>{2020} << QList<int>{2017};
        QTest::newRow("Tiles, empty list")
            << int(ViewSettings::Tiles) << true << false << true << (always + QList<int>{2017})
            << (operations + QList<int>{1237, 2006, 2020}) << QList<int>{2004, 2017} << QList<int>{59411};
    }
    void menuStates() {
        QFETCH(int, view);
        QFETCH(bool, groups);
        QFETCH(bool, select);
        QFETCH(bool, empty);
        QFETCH(QList<int>, enabled);
        QFETCH(QList<int>, disabled);
        QFETCH(QList<int>, checked);
        QFETCH(QList<int>, unchecked);
        Fixture f(view, !empty);
        f.settings.showGroups = groups;
        f.list->rebuild();
        if (select) f.click(f.rowOf("024C55-C10002"));
        QCOMPARE(f.list->selection().has_value(), select);
        std::unique_ptr<QMenu> menu(f.list->buildContextMenu());
        for (int id : enabled)
            QVERIFY2(findAction(menu.get(), id)->isEnabled(), qPrintable(QString::number(id)));
        for (int id : disabled)
            QVERIFY2(!findAction(menu.get(), id)->isEnabled(), qPrintable(QString::number(id)));
        for (int id : checked)
            QVERIFY2(findAction(menu.get(), id)->isChecked(), qPrintable(QString::number(id)));
        for (int id : unchecked)
            QVERIFY2(!findAction(menu.get(), id)->isChecked(), qPrintable(QString::number(id)));
    }

    void menuLayout() {
        Fixture f;
        std::unique_ptr<QMenu> menu(f.list->buildContextMenu());
        auto texts = [](QMenu* m) {
            QStringList out;
            for (QAction* a : m->actions())
                out << (a->isSeparator() ? "-" : a->text());
            return out;
        };
        QCOMPARE(texts(menu.get()),
                 (QStringList{"&View Device", "&Configure Device", "&Telnet", "-", "View", "Arrange Items By",
                              "Refresh", "-", "Advanced", "-", "About Lumetra Tools..."}));
        QCOMPARE(menu->defaultAction()->data().toInt(), 1009);
        QCOMPARE(texts(menu->actions()[4]->menu()), (QStringList{"Thumbnails", "Tiles", "Icons", "List",
                                                                 "Details", "-", "Preview Image", "Grid"}));
        QCOMPARE(texts(menu->actions()[5]->menu()),
                 (QStringList{"ID", "IP Address", "Device Type", "Version", "-", "Show in Groups"}));
        QCOMPARE(texts(menu->actions()[8]->menu()),
                 (QStringList{"Add Device...", "-", "Set Time...", "Erase Configuration...",
                              "Upgrade Firmware...", "Reboot...", "-", "System Log File...",
                              "Debug Log File...", "Activity Report...", "-", "View All Devices (Webpage)"}));
        QVERIFY(findAction(menu.get(), 2003)->actionGroup()->isExclusive());
        QCOMPARE(findAction(menu.get(), 1237)->objectName(), QString("id1237"));
    }

    void menuCommands() {
        Fixture f(ViewSettings::Details);
        QSignalSpy commands(f.list.get(), &DeviceListView::command);
        QSignalSpy changed(f.list.get(), &DeviceListView::viewSettingsChanged);
        std::unique_ptr<QMenu> menu(f.list->buildContextMenu());
        findAction(menu.get(), 1230)->trigger();
        findAction(menu.get(), 1043)->trigger();
        findAction(menu.get(), 2005)->trigger();
        findAction(menu.get(), 2011)->trigger();
        QCOMPARE(commands.size(), 2);
        QCOMPARE(commands[0][0].toInt(), 1230);
        QCOMPARE(commands[1][0].toInt(), 1043);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(f.list->view(), int(ViewSettings::Icons));
        QCOMPARE(f.settings.groupBy, 1);
        QCOMPARE(f.shown().first(), QString("[10.0.0.X]"));
    }

    void previewImageWithoutRescan() {
        Fixture f(ViewSettings::Details);
        const uint32_t slot =
            f.pictures.store(0, QImage(48, 48, QImage::Format_RGB32), QImage(160, 120, QImage::Format_RGB32));
        auto decoration = [&] {
            return f.active()
                ->model()
                ->index(f.rowOf("024C55-C10002"), 0)
                .data(Qt::DecorationRole)
                .value<QPixmap>();
        };
        QVERIFY(decoration().isNull());
        QVERIFY(f.list->handleViewCommand(1317, true));
        QCOMPARE(decoration().size(), QSize(48, 48));
        // A picture that arrives now shows at once, in place.
        QImage red(48, 48, QImage::Format_RGB32);
        red.fill(Qt::red);
        f.pictures.store(slot, red, QImage(160, 120, QImage::Format_RGB32));
        f.list->thumbnailReady(1, slot);
        QCOMPARE(decoration().toImage().pixelColor(24, 24), QColor(Qt::red));
        QVERIFY(f.list->handleViewCommand(2006));
        QVERIFY(!f.settings.previewImage);
        QVERIFY(decoration().isNull());
        QCOMPARE(f.inventory.count(), std::size(kDevices));
    }

    void gridAndGroupsCommands() {
        Fixture f(ViewSettings::Details);
        const int rows = f.shown().size();
        QVERIFY(f.list->handleViewCommand(2020));
        QVERIFY(!f.settings.showGrid);
        QVERIFY(f.list->handleViewCommand(2017));
        QVERIFY(!f.settings.showGroups);
        QCOMPARE(f.shown().size(), rows - 3);  // three type groups gone
        QVERIFY(!f.list->handleViewCommand(1230));
    }
};

QTEST_MAIN(DeviceListViewTest)
#include "DeviceListViewTest.moc"

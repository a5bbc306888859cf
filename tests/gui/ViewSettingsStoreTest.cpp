#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "PlacementRecord.h"
#include "app/ViewSettingsStore.h"

using lm::gui::ViewSettings;
using lm::gui::ViewSettingsStore;
using Placement = ViewSettingsStore::Placement;

class ViewSettingsStoreTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("settings-%1.ini").arg(++count_));
    }

    void placementIsElevenLittleEndianFields() {
        Placement p;
        p.flags = 2;
        p.showState = Placement::kShowMaximized;
        p.minPosition = QPoint(-1, -1);
        p.maxPosition = QPoint(-8, -31);
        p.normal = QRect(QPoint(100, 50), QSize(700, 480));
        const QByteArray bytes = p.encode();
        QCOMPARE(bytes, placementRecord({44, 2, 3, -1, -1, -8, -31, 100, 50, 800, 530}));
        QCOMPARE(Placement::decode(bytes), std::optional<Placement>(p));
    }

    void malformedPlacementsAreIgnored_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = placementRecord({44, 0, 1, -1, -1, -1, -1, 10, 20, 610, 520});
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("40 bytes") << good.left(40);
        QTest::newRow("48 bytes") << good + QByteArray(4, '\0');
        QTest::newRow("length field 40") << placementRecord({40, 0, 1, -1, -1, -1, -1, 10, 20, 610, 520});
        QTest::newRow("length field big-endian")
            << placementRecord({0x2c000000, 0, 1, -1, -1, -1, -1, 10, 20, 610, 520});
    }
    void malformedPlacementsAreIgnored() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!Placement::decode(bytes));
    }

    // A record of the right form whose rectangle is empty or inverted keeps no rectangle.
    void invertedRectangleIsDropped() {
        const auto p = Placement::decode(placementRecord({44, 0, 3, -1, -1, -1, -1, 600, 20, 10, 520}));
        QVERIFY(p);
        QVERIFY(p->maximized());
        QVERIFY(p->normal.isNull());
        const auto extreme = Placement::decode(
            placementRecord({44, 0, 1, -1, -1, -1, -1, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}));
        QVERIFY(extreme);
        QVERIFY(extreme->normal.isNull());
    }

    void storedValuesAreClampedAsUnsigned_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("viewType");
        QTest::addColumn<int>("groupBy");
        QTest::addColumn<int>("sortBy");
        const int dv = ViewSettings::Details, dg = ViewSettings::ByType, ds = ViewSettings::ById;
        QTest::newRow("viewType -1 is huge") << "viewType" << QVariant(-1) << 4 << dg << ds;
        QTest::newRow("groupBy 2^32-1") << "groupBy" << QVariant(0xffffffffu) << dv << 3 << ds;
        QTest::newRow("sortBy 4 is 3") << "sortBy" << QVariant(4u) << dv << dg << 3;
        QTest::newRow("unreadable text keeps default")
            << "groupBy" << QVariant(QStringLiteral("many")) << dv << dg << ds;
    }
    void storedValuesAreClampedAsUnsigned() {
        QFETCH(QString, name);
        QFETCH(QVariant, stored);
        QFETCH(int, viewType);
        QFETCH(int, groupBy);
        QFETCH(int, sortBy);
        write({{name, stored}});
        ViewSettings view;
        std::optional<Placement> placement;
        QVERIFY(load(view, placement));
        QCOMPARE(view.viewType, viewType);
        QCOMPARE(view.groupBy, groupBy);
        QCOMPARE(view.sortBy, sortBy);
    }

    void booleansAreNonZero() {
        write({{"arrangeGroups", 0}, {"sortDirection", 0}, {"viewGrid", 7}, {"viewPreview", 0x100}});
        ViewSettings view;
        std::optional<Placement> placement;
        QVERIFY(load(view, placement));
        QCOMPARE(view.showGroups, false);
        QCOMPARE(view.sortDescending, false);
        QCOMPARE(view.showGrid, true);
        QCOMPARE(view.previewImage, true);
    }

    // Only a binary record counts: the same bytes stored as text are not a placement.
    void placementMustBeBinary() {
        const QByteArray good = placementRecord({44, 0, 1, -1, -1, -1, -1, 10, 20, 610, 520});
        write({{"WindowPlacement", QString::fromLatin1(good.toHex())}});
        ViewSettings view;
        std::optional<Placement> placement;
        QVERIFY(load(view, placement));
        QVERIFY(!placement);
    }

    void savedSettingsReadBack() {
        ViewSettings view;
        view.viewType = ViewSettings::Thumbnails;
        view.groupBy = ViewSettings::ByAddress;
        view.sortBy = ViewSettings::ByVersion;
        view.showGrid = false;
        view.showGroups = false;
        view.previewImage = true;
        Placement placement;
        placement.normal = QRect(30, 40, 640, 480);
        {
            QSettings settings(path_, QSettings::IniFormat);
            QVERIFY(ViewSettingsStore(settings).save(view, placement));
        }
        QCOMPARE(QSettings(path_, QSettings::IniFormat).value("sortDirection").toUInt(), 0u);
        ViewSettings read;
        std::optional<Placement> readPlacement;
        QVERIFY(load(read, readPlacement));
        const auto fields = [](const ViewSettings& v) {
            return QList<int>{v.viewType, v.groupBy,    v.sortBy,      v.sortDescending,
                              v.showGrid, v.showGroups, v.previewImage};
        };
        QCOMPARE(fields(read), fields(view));
        QCOMPARE(readPlacement, std::optional<Placement>(placement));
    }

    // A store that cannot be opened (here a directory where the file should be) is neither read
    // nor written.
    void unusableStoreKeepsInitialValuesAndSavesNothing() {
        QVERIFY(QDir().mkpath(path_));
        QSettings settings(path_, QSettings::IniFormat);
        ViewSettings view;
        std::optional<Placement> placement;
        QVERIFY(!ViewSettingsStore(settings).load(view, placement));
        QCOMPARE(view.sortDescending, false);
        QCOMPARE(view.viewType, int(ViewSettings::Details));
        QVERIFY(!ViewSettingsStore(settings).save(view, Placement{}));
        QVERIFY(QFileInfo(path_).isDir());
    }

private:
    void write(std::initializer_list<std::pair<QString, QVariant>> values) const {
        QSettings writer(path_, QSettings::IniFormat);
        for (const auto& [name, value] : values)
            writer.setValue(name, value);
    }
    bool load(ViewSettings& view, std::optional<Placement>& placement) const {
        QSettings settings(path_, QSettings::IniFormat);
        return ViewSettingsStore(settings).load(view, placement);
    }

    QTemporaryDir dir_;
    QString path_;
    int count_ = 0;
};

QTEST_GUILESS_MAIN(ViewSettingsStoreTest)
#include "ViewSettingsStoreTest.moc"

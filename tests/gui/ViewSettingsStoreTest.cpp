#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "PlacementRecord.h"
#include "gui/app/ViewSettingsStore.h"

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

    // Only an exact record of 44 bytes counts; one whose rectangle is empty or inverted keeps none.
    void malformedPlacementsAreIgnored() {
        const QByteArray good = placementRecord({44, 0, 1, -1, -1, -1, -1, 10, 20, 610, 520});
        const QByteArray malformed[] = {
            QByteArray(), good.left(40), good + QByteArray(4, '\0'),
            placementRecord({40, 0, 1, -1, -1, -1, -1, 10, 20, 610, 520}),
            placementRecord({0x2c000000, 0, 1, -1, -1, -1, -1, 10, 20, 610, 520})};
        for (const QByteArray& bytes : malformed)
            QVERIFY2(!Placement::decode(bytes), bytes.toHex().constData());
        const auto inverted =
            Placement::decode(placementRecord({44, 0, 3, -1, -1, -1, -1, 600, 20, 10, 520}));
        QVERIFY(inverted && inverted->maximized() && inverted->normal.isNull());
        const auto extreme = Placement::decode(
            placementRecord({44, 0, 1, -1, -1, -1, -1, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}));
        QVERIFY(extreme && extreme->normal.isNull());
    }

    // Numbers are read as unsigned and clamped, flags are true when not zero, text is no number and
    // no placement.
    void storedValuesAreReadAsUnsignedNumbers() {
        const QByteArray good = placementRecord({44, 0, 1, -1, -1, -1, -1, 10, 20, 610, 520});
        write({{"viewType", -1},
               {"groupBy", 0xffffffffu},
               {"sortBy", 4u},
               {"arrangeGroups", 0},
               {"sortDirection", 0},
               {"viewGrid", 7},
               {"viewPreview", 0x100},
               {"WindowPlacement", QString::fromLatin1(good.toHex())}});
        ViewSettings view;
        std::optional<Placement> placement;
        QVERIFY(load(view, placement));
        QCOMPARE(fields(view), (QList<int>{4, 3, 3, false, true, false, true}));
        QVERIFY(!placement);
        write({{"groupBy", QStringLiteral("many")}});
        QVERIFY(load(view, placement));
        QCOMPARE(view.groupBy, int(ViewSettings::ByType));
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
    static QList<int> fields(const ViewSettings& v) {
        return {v.viewType, v.groupBy, v.sortBy, v.sortDescending, v.showGrid, v.showGroups, v.previewImage};
    }
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

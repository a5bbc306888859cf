// The upgrade dialog's offer of a folder's images: those that fit the device's model, newest first,
// each marked against the device's version, the one a folder upgrade would take suggested; a
// choice fills the ROM file field, and the dialog's own controls and texts stay as they were.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "ChildById.h"
#include "core/link/Session.h"
#include "gui/ops/RomUpgrade.h"

using namespace lm;
using namespace lm::gui;

namespace {

constexpr const char* kZelvixXlId = "024C55-C80001";  // zelvixxl-*.bin
constexpr int kStatusLine = 1018;

QStringList items(const QComboBox& box) {
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts << box.itemText(i);
    return texts;
}

}  // namespace

class RomUpgradeFolderTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        for (const char* name : {"zelvixxl-4.9.2.bin", "zelvixxl-4.10.0.bin", "ZelvixXL-4.2.1.bin",
                                 "dravielxl-5.0.0.bin", "zelvixxl-latest.bin", "notes.txt"})
            write(name, "firmware");
        write("zelvixxl-9.0.0.bin", "");                                         // empty: no image
        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("zelvixxl-8.0.0.bin")));  // a folder
    }
    void cleanup() {
        QDir(dir_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(dir_.path()));
    }

    // The device's version marks each image; choosing one fills the field, which the upgrade then
    // takes without the mismatch question.
    void offersTheFittingImagesNewestFirst() {
        const auto dialog = upgrade(kZelvixXlId, QStringLiteral("4.9.2"));
        auto* offer = child<QComboBox>(*dialog, RomUpgrade::Id::FolderImages);
        QVERIFY(offer->isEnabled());
        QCOMPARE(items(*offer), (QStringList{"3 images for this device here",
                                             "zelvixxl-4.10.0.bin  (4.10.0, newer, suggested)",
                                             "zelvixxl-4.9.2.bin  (4.9.2, the device's version)",
                                             "ZelvixXL-4.2.1.bin  (4.2.1, older)"}));
        QCOMPARE(labelOf(*dialog, offer)->text(), QStringLiteral("Images in folder:"));
        Q_EMIT offer->activated(1);
        auto* romFile = child<QLineEdit>(*dialog, RomUpgrade::Id::RomFile);
        QCOMPARE(romFile->text(), QDir(dir_.path()).filePath("zelvixxl-4.10.0.bin"));
        Q_EMIT offer->activated(0);  // the summary line chooses nothing
        QCOMPARE(romFile->text(), QDir(dir_.path()).filePath("zelvixxl-4.10.0.bin"));

        QCOMPARE(child<QLabel>(*dialog, kStatusLine)->text(),
                 QStringLiteral("Please enter the password and file name to use..."));
        QTest::mouseClick(child<QPushButton>(*dialog, RomUpgrade::Id::Upgrade), Qt::LeftButton);
        QTRY_COMPARE(child<QLabel>(*dialog, kStatusLine)->text(),
                     QStringLiteral("You must specify the administrator password."));
        QCOMPARE(boxes_, QStringList{});
        QTRY_VERIFY(!dialog->state()->running);
    }

    // A version the list cannot give is never older than an image: nothing is marked newer or
    // suggested, and the summary says why.
    void unknownVersionSuggestsNothing() {
        const auto dialog = upgrade(kZelvixXlId, QStringLiteral("Unknown (ARP)"));
        QCOMPARE(items(*child<QComboBox>(*dialog, RomUpgrade::Id::FolderImages)),
                 (QStringList{"3 images for this device here; its version is not known",
                              "zelvixxl-4.10.0.bin  (4.10.0)", "zelvixxl-4.9.2.bin  (4.9.2)",
                              "ZelvixXL-4.2.1.bin  (4.2.1)"}));
    }

    // The folder follows the field: a file chosen elsewhere, a folder that cannot be read, one
    // without images of the model, a model that is not known.
    void theOfferFollowsTheFieldsFolder() {
        QTemporaryDir other;
        QFile chosen(QDir(other.path()).filePath("zelvixxl-5.0.0.bin"));
        QVERIFY(chosen.open(QIODevice::WriteOnly) && chosen.write("fw") == 2);
        chosen.close();
        auto dialog = upgrade(kZelvixXlId, QStringLiteral("4.9.2"));
        dialog->setFileChooser([&](QWidget*, const QString&, const QString&) { return chosen.fileName(); });
        QTest::mouseClick(child<QPushButton>(*dialog, RomUpgrade::Id::Browse), Qt::LeftButton);
        auto* offer = child<QComboBox>(*dialog, RomUpgrade::Id::FolderImages);
        QCOMPARE(items(*offer), (QStringList{"1 image for this device here",
                                             "zelvixxl-5.0.0.bin  (5.0.0, newer, suggested)"}));

        auto* romFile = child<QLineEdit>(*dialog, RomUpgrade::Id::RomFile);
        const QString missing = QDir(dir_.path()).filePath("gone");
        romFile->setText(missing + "/zelvixxl-4.10.0.bin");
        Q_EMIT romFile->editingFinished();
        QCOMPARE(offer->count(), 1);
        QVERIFY2(offer->itemText(0).startsWith("cannot read the folder " + missing + ": "),
                 qPrintable(offer->itemText(0)));
        QVERIFY(!offer->isEnabled());

        // Another folder in the field is offered at once, as it is typed or set.
        romFile->setText(other.path() + "/");
        QCOMPARE(offer->count(), 2);

        // At opening the field holds the working folder, which has no firmware.
        dialog = upgrade("024C55-CB0001", QStringLiteral("1.0.0"), false);  // DravielXL
        QCOMPARE(items(*child<QComboBox>(*dialog, RomUpgrade::Id::FolderImages)),
                 (QStringList{"No dravielxl-*.bin image in this folder"}));
        dialog = upgrade("024C55-CB0001", QStringLiteral("1.0.0"));
        QCOMPARE(
            items(*child<QComboBox>(*dialog, RomUpgrade::Id::FolderImages)),
            (QStringList{"1 image for this device here", "dravielxl-5.0.0.bin  (5.0.0, newer, suggested)"}));
        dialog = upgrade("Device  1", QStringLiteral("1.0.0"));
        QCOMPARE(items(*child<QComboBox>(*dialog, RomUpgrade::Id::FolderImages)),
                 (QStringList{"The device's model is not known: no image is offered"}));
    }

private:
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(QDir(dir_.path()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    // The dialog as the main window opens it for a device of the list, its ROM field on the folder
    // (the current one, or the test's own when inFolder).
    std::unique_ptr<RomUpgrade> upgrade(const char* id, const QString& version, bool inFolder = true) {
        auto dialog =
            std::make_unique<RomUpgrade>(session_, &scanInProgress_, id, QStringLiteral("127.0.0.1"), "");
        dialog->setMessageBoxHandler(
            [this](QWidget*, const QString& text, const QString&, Question::Icon, Choices) {
                boxes_ << text;
                return Answer::No;
            });
        if (inFolder) {
            auto* romFile = child<QLineEdit>(*dialog, RomUpgrade::Id::RomFile);
            romFile->setText(dir_.path() + "/");
            Q_EMIT romFile->editingFinished();
        }
        dialog->setDeviceVersion(version);
        dialog->show();
        return dialog;
    }

    QTemporaryDir dir_;
    Session session_{NetworkProfile{}, Timing::fast()};
    std::atomic<bool> scanInProgress_{false};
    QStringList boxes_;
};

QTEST_MAIN(RomUpgradeFolderTest)
#include "RomUpgradeFolderTest.moc"

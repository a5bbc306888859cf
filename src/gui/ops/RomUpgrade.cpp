#include "gui/ops/RomUpgrade.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "core/discovery/ModelTable.h"
#include "core/link/Session.h"
#include "core/ops/FirmwareFolder.h"
#include "gui/app/Ipv4Field.h"

namespace lm::gui {

namespace {

// "Name|pattern|Name|pattern||" as Qt writes it: "Name (pattern);;Name (pattern)". A name that
// already shows its pattern keeps it once.
QString qtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& name = parts[i];
        const QString& pattern = parts[i + 1];
        if (name.isEmpty() || pattern.isEmpty()) continue;
        const QString shown = QStringLiteral("(%1)").arg(pattern);
        entries << (name.endsWith(shown) ? name : QStringLiteral("%1 %2").arg(name, shown));
    }
    return entries.join(QStringLiteral(";;"));
}

// Given a folder ending in "/", the file dialog opens in it; given a file, in its folder with the
// file's name filled in.
QString defaultChooser(QWidget* owner, const QString& startPath, const QString& filter) {
    return QFileDialog::getOpenFileName(owner, QString(), startPath, filter);
}

using K = ControlKind;
using F = OperationDialog::Frame;
using C = RomUpgrade::Id;

constexpr DialogRect kClient{0, 0, 322, 150};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Label, {}, "Device address:", {7, 9, 87, 8}, kBuddyOfNext},
    {K::Address, F::Address, nullptr, {97, 7, 90, 13}},
    {K::Label, {}, "Admin Password:", {7, 41, 87, 8}, kBuddyOfNext},
    {K::Password, F::Password, nullptr, {97, 39, 90, 13}, kFocus},
    {K::Label, {}, "This computer's address:", {7, 25, 87, 8}, kBuddyOfNext},
    {K::Address, C::PcAddress, nullptr, {97, 23, 90, 13}},
    {K::Label, {}, "ROM File:", {7, 57, 87, 8}, kBuddyOfNext},
    {K::LineEdit, C::RomFile, nullptr, {97, 55, 196, 13}},
    {K::Button, C::Browse, "...", {296, 55, 19, 13}},
    {K::Label, {}, "Images in folder:", {7, 73, 87, 8}, kBuddyOfNext},
    {K::ComboBox, C::FolderImages, nullptr, {97, 71, 218, 13}},
    // The check boxes go under their label: their texts need the dialog's width.
    {K::Label, {}, "Erase Old Config:", {7, 88, 87, 8}, kBuddyOfNext},
    {K::CheckBox, C::EraseConfig, "Note: For version compatibility this is highly recommended!",
     {15, 98, 300, 10}, kChecked},
    {K::CheckBox, C::SaveNetwork, "Save Network Settings (requires firmware version 1.1.55 or newer)",
     {15, 110, 300, 10}},
    {K::Progress, C::Progress, nullptr, {7, 123, 308, 9}},
    {K::Text, F::StatusLine, "Please enter the password and file name to use...", {7, 135, 308, 12}, kPlainText},
    {K::Button, C::Upgrade, "Upgrade", {265, 7, 50, 14}, kDefaultButton | kStartsWork},
    {K::Button, F::Cancel, "Cancel", {265, 24, 50, 14}},
};
// clang-format on

}  // namespace

RomUpgrade::RomUpgrade(Session& session, const std::atomic<bool>* scanInProgress, const QString& deviceId,
                       const QString& address, std::string siteText, QWidget* parent)
    : OperationDialog(session, scanInProgress, address, std::move(siteText), parent),
      modelCode_(ModelTable::codeFromId(deviceId.toStdString())),
      family_(firmwareFamily(modelCode_)),
      fileChooser_(defaultChooser) {
    setWindowTitle(QStringLiteral("Upgrade Firmware"));
    build(kClient, kControls, [this] { return prepare(); });
    setDoneStatus(QStringLiteral("The ROM file has been sent: the upgrade is complete."));
    connectControls();
    pcAddress_->setText(QString::fromStdString(pcAddressFor(session.profile(), address.toStdString())));
    romFile_->setText(QDir::currentPath() + QLatin1Char('/'));
}

void RomUpgrade::setDeviceVersion(const QString& version) {
    deviceVersion_ = version.toStdString();
    offerFolderImages();
}

void RomUpgrade::connectControls() {
    pcAddress_ = qobject_cast<Ipv4Field*>(control(Id::PcAddress));
    romFile_ = qobject_cast<QLineEdit*>(control(Id::RomFile));
    eraseConfig_ = qobject_cast<QCheckBox*>(control(Id::EraseConfig));
    saveNetwork_ = qobject_cast<QCheckBox*>(control(Id::SaveNetwork));
    folderImages_ = qobject_cast<QComboBox*>(control(Id::FolderImages));
    // A file typed or chosen may name another folder: its images are offered instead.
    connect(romFile_, &QLineEdit::editingFinished, this, &RomUpgrade::offerFolderImages);
    connect(romFile_, &QLineEdit::textChanged, this, [this] {
        if (folderOfField() != offeredFolder_) offerFolderImages();
    });
    connect(folderImages_, &QComboBox::activated, this, &RomUpgrade::folderImageChosen);
    connect(qobject_cast<QPushButton*>(control(Id::Browse)), &QPushButton::clicked, this,
            &RomUpgrade::browse);
    // Only the user's own clearing warns; the second box follows the first either way.
    connect(eraseConfig_, &QCheckBox::clicked, this, &RomUpgrade::eraseBoxClicked);
    connect(eraseConfig_, &QCheckBox::toggled, saveNetwork_, &QCheckBox::setEnabled);
    // Tab goes down the fields as they are shown.
    setTabOrder(control(kAddressField), pcAddress_);
    setTabOrder(pcAddress_, control(kPasswordField));
    setTabOrder(control(kPasswordField), romFile_);
}

void RomUpgrade::browse() {
    const QString chosen = fileChooser_(this, romFile_->text(), qtFilter(firmwareFilter(family_)));
    if (chosen.isEmpty()) return;
    romFile_->setText(chosen);
    offerFolderImages();
}

QString RomUpgrade::folderOfField() const {
    // The field holds a folder ending in "/" or a file: its folder is the one offered.
    const QString text = romFile_->text();
    const QFileInfo info(text);
    return text.endsWith(QLatin1Char('/')) || info.isDir() ? text : info.path();
}

void RomUpgrade::offerFolderImages() {
    offeredFolder_ = folderOfField();
    const FirmwareFolder folder = readFirmwareFolder(offeredFolder_.toStdString());
    const std::vector<FirmwareImage> images = fittingImages(folder, modelCode_);
    const auto current = parseFirmwareVersion(deviceVersion_);
    // The one a folder upgrade would take: the newest that is newer than the device's version.
    const FolderChoice choice = chooseFolderImage(folder, modelCode_, deviceVersion_);
    folderImages_->clear();
    if (!folder.error.empty())
        folderImages_->addItem(QString::fromStdString(folder.error));
    else if (family_.filterEntry.empty())
        folderImages_->addItem(QStringLiteral("The device's model is not known: no image is offered"));
    else if (images.empty())
        folderImages_->addItem(QStringLiteral("No %1 image in this folder")
                                   .arg(QString::fromStdString(firmwarePattern(family_))));
    else
        folderImages_->addItem((images.size() == 1 ? QStringLiteral("1 image for this device here")
                                                   : QStringLiteral("%1 images for this device here")
                                                         .arg(static_cast<qulonglong>(images.size()))) +
                               (current ? QString() : QStringLiteral("; its version is not known")));
    for (const FirmwareImage& image : images) {
        QString note = QString::fromStdString(versionText(image.version));
        if (current)
            note += image.version > *current    ? QStringLiteral(", newer")
                    : image.version == *current ? QStringLiteral(", the device's version")
                                                : QStringLiteral(", older");
        if (choice.image && choice.image->path == image.path) note += QStringLiteral(", suggested");
        folderImages_->addItem(QStringLiteral("%1  (%2)").arg(QString::fromStdString(image.name), note),
                               QString::fromStdString(image.path));
    }
    folderImages_->setEnabled(!images.empty());
}

void RomUpgrade::folderImageChosen(int index) {
    const QString path = folderImages_->itemData(index).toString();
    if (!path.isEmpty()) romFile_->setText(path);
}

void RomUpgrade::eraseBoxClicked(bool checked) {
    if (!checked)
        showMessageBox(QString::fromLatin1(kKeepConfigWarning), QString::fromLatin1(kKeepConfigTitle),
                       Question::Icon::Question, Choices::Ok);
}

OperationDialog::Work RomUpgrade::prepare() {
    // The worker flashes the file named in the field, typed or chosen, so that is what is checked.
    const std::string romPath = romFile_->text().toStdString();
    if (!firmwareConfirmed(romPath, modelCode_, operationUi())) return {};
    const UpgradeRequest request{login(), romPath, pcAddress_->addressText().toStdString(),
                                 eraseConfig_->isChecked(), saveNetwork_->isChecked()};
    return [request](WorkerTask& task) { upgradeWorker(task, request); };
}

}  // namespace lm::gui

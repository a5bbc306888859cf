#include "gui/ops/RomUpgrade.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "core/discovery/ModelTable.h"
#include "core/link/Session.h"
#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"
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

}  // namespace

RomUpgrade::RomUpgrade(Session& session, const std::atomic<bool>* scanInProgress, const QString& deviceId,
                       const QString& address, std::string siteText, QWidget* parent)
    : OperationDialog(session, scanInProgress, address, std::move(siteText), parent),
      modelCode_(ModelTable::codeFromId(deviceId.toStdString())),
      family_(firmwareFamily(modelCode_)),
      fileChooser_(defaultChooser) {
    setWindowTitle(QStringLiteral("Upgrade Firmware"));
    addControls();
    pcAddress_->setText(QString::fromStdString(pcAddressFor(session.profile(), address.toStdString())));
    romFile_->setText(QDir::currentPath() + QLatin1Char('/'));
}

void RomUpgrade::addControls() {
    const DialogUnits du(*this);
    const auto label = [&](const QString& text, int top, QWidget* buddy) {
        auto* shown = new QLabel(text, this);
        shown->setGeometry(du.rect(7, top + 2, 87, 8));
        shown->setBuddy(buddy);
    };
    addAddressAndPassword(7, 97, 7, 39);
    pcAddress_ = ControlId::tag(new Ipv4Field(this), kPcAddress);
    pcAddress_->setGeometry(du.rect(97, 23, 90, 13));
    label(QStringLiteral("This computer's address:"), 23, pcAddress_);

    romFile_ = ControlId::tag(new QLineEdit(this), kRomFile);
    romFile_->setGeometry(du.rect(97, 55, 196, 13));
    label(QStringLiteral("ROM File:"), 55, romFile_);
    connect(addButton(kBrowse, QStringLiteral("..."), QRect(296, 55, 19, 13)), &QPushButton::clicked, this,
            &RomUpgrade::browse);

    auto* erase = eraseConfig_ = ControlId::tag(
        new QCheckBox(QStringLiteral("Note: For version compatibility this is highly recommended!"), this),
        kEraseConfig);
    erase->setGeometry(du.rect(15, 82, 300, 10));
    erase->setChecked(true);
    // The check boxes go under their label: their texts need the dialog's width.
    label(QStringLiteral("Erase Old Config:"), 70, erase);
    auto* saveNetwork = saveNetwork_ = ControlId::tag(
        new QCheckBox(QStringLiteral("Save Network Settings (requires firmware version 1.1.55 or newer)"),
                      this),
        kSaveNetwork);
    saveNetwork->setGeometry(du.rect(15, 94, 300, 10));
    // Only the user's own clearing warns; the second box follows the first either way.
    connect(erase, &QCheckBox::clicked, this, &RomUpgrade::eraseBoxClicked);
    connect(erase, &QCheckBox::toggled, saveNetwork, &QCheckBox::setEnabled);

    auto* progress = ControlId::tag(new QProgressBar(this), kProgress);
    progress->setGeometry(du.rect(7, 107, 308, 9));
    progress->setValue(0);
    addStatusLine(QStringLiteral("Please enter the password and file name to use..."),
                  QRect(7, 119, 308, 12));

    addStartButton(kUpgrade, QStringLiteral("Upgrade"), QRect(265, 7, 50, 14), [this] {
        return prepare();
    })->setDefault(true);
    addButton(kCancel, QStringLiteral("Cancel"), QRect(265, 24, 50, 14));
    finishLayout(322, 134);
    // Tab goes down the fields as they are shown.
    setTabOrder(control(kAddressField), pcAddress_);
    setTabOrder(pcAddress_, control(kPasswordField));
    setTabOrder(control(kPasswordField), romFile_);
}

void RomUpgrade::browse() {
    const QString chosen = fileChooser_(this, romFile_->text(), qtFilter(firmwareFilter(family_)));
    if (!chosen.isEmpty()) romFile_->setText(chosen);
}

void RomUpgrade::eraseBoxClicked(bool checked) {
    if (!checked)
        showMessageBox(QString::fromLatin1(kKeepConfigWarning), QString::fromLatin1(kKeepConfigTitle),
                       OperationUi::Icon::Question, OperationUi::Buttons::Ok);
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

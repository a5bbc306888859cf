#pragma once

#include <functional>

#include "core/ops/FirmwareUpgrade.h"
#include "gui/ops/OperationDialog.h"

class QLineEdit;

namespace lm::gui {

// "Upgrade Firmware": takes the admin password and a firmware file, checks that the file looks
// like this device's firmware, and runs the upgrade, its progress in the bar.
class RomUpgrade : public OperationDialog {
    Q_OBJECT
public:
    static constexpr int kUpgrade = kUpgradeStartButton;
    static constexpr int kRomFile = kUpgradeRomFileField;
    static constexpr int kBrowse = kUpgradeBrowseButton;
    static constexpr int kProgress = kUpgradeProgressBar;
    static constexpr int kEraseConfig = kUpgradeEraseBox;
    static constexpr int kPcAddress = kUpgradePcAddressField;
    static constexpr int kSaveNetwork = kUpgradeSaveNetworkBox;

    // Asks for a file to open, starting at startPath (a folder ending in "/", or a file), offering the
    // filters in Qt's form; the chosen path, or empty when the user cancelled.
    using FileChooser =
        std::function<QString(QWidget* owner, const QString& startPath, const QString& filter)>;

    // deviceId is the list's ID text, read for the device's model code.
    RomUpgrade(Session& session, const std::atomic<bool>* scanInProgress, const QString& deviceId,
               const QString& address, std::string siteText, QWidget* parent = nullptr);

    // Replaces the file dialog (tests answer it this way); empty restores it.
    void setFileChooser(FileChooser chooser) { fileChooser_ = std::move(chooser); }

private:
    void addControls();
    void browse();
    void eraseBoxClicked(bool checked);
    // The name check before the worker starts: false when the user declined a mismatching file.
    bool confirmFile();

    FirmwareFamily family_;
    QLineEdit* romFile_ = nullptr;
    QLineEdit* pcAddress_ = nullptr;
    FileChooser fileChooser_;
};

}  // namespace lm::gui

#pragma once

#include <functional>

#include "core/ops/FirmwareUpgrade.h"
#include "gui/ops/OperationDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace lm::gui {

class Ipv4Field;

// "Upgrade Firmware": takes the admin password and a firmware file, checks that the file looks
// like this device's firmware, and runs the upgrade, its progress in the bar.
class RomUpgrade : public OperationDialog {
    Q_OBJECT
public:
    enum class Id {
        Upgrade = 1194,
        RomFile = 1193,
        Browse = 1245,
        Progress = 1196,
        EraseConfig = 1233,
        PcAddress = 1285,
        SaveNetwork = 1319,
        FolderImages = 1320,  // the images of the ROM file's folder that fit the device
    };

    // Asks for a file to open, starting at startPath (a folder ending in "/", or a file), offering the
    // filters in Qt's form; the chosen path, or empty when the user cancelled.
    using FileChooser =
        std::function<QString(QWidget* owner, const QString& startPath, const QString& filter)>;

    // deviceId is the list's ID text, read for the device's model code.
    RomUpgrade(Session& session, const std::atomic<bool>* scanInProgress, const QString& deviceId,
               const QString& address, std::string siteText, QWidget* parent = nullptr);

    // Replaces the file dialog (tests answer it this way); empty restores it.
    void setFileChooser(FileChooser chooser) { fileChooser_ = std::move(chooser); }
    // The firmware version the list shows for the device: the folder's images are offered as newer
    // or not than it.
    void setDeviceVersion(const QString& version);

private:
    void connectControls();
    void browse();
    void eraseBoxClicked(bool checked);
    // Offers the images of the ROM file field's folder that fit the device's model, newest first:
    // read again when the field names another folder, or when the user is done editing it.
    void offerFolderImages();
    QString folderOfField() const;
    void folderImageChosen(int index);
    // The request from the controls once the file's name is checked; none when the user declined a
    // file that does not fit the model.
    Work prepare();

    int modelCode_;
    FirmwareFamily family_;
    QLineEdit* romFile_ = nullptr;
    Ipv4Field* pcAddress_ = nullptr;
    QCheckBox* eraseConfig_ = nullptr;
    QCheckBox* saveNetwork_ = nullptr;
    QComboBox* folderImages_ = nullptr;
    std::string deviceVersion_;
    QString offeredFolder_;
    FileChooser fileChooser_;
};

}  // namespace lm::gui

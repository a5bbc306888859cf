#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstddef>

namespace lm::gui {

class CLmToolsDlg;

// For documentation: waits until the window shows every expected device with its picture, then
// shows each of the five views in turn and saves the window as DIR/view-<name>.png; then opens the
// operation dialogs that work at once on one device, saves each as DIR/dialog-<name>.png when it
// is done, and closes the window.
class ScreenshotTour : public QObject {
    Q_OBJECT
public:
    ScreenshotTour(CLmToolsDlg& window, QString directory, std::size_t expectedDevices);

    void start();
    // False when a picture could not be written.
    bool succeeded() const { return succeeded_; }

private:
    bool devicesReady() const;
    void poll();
    void showView(std::size_t step);
    void showDialog(std::size_t step);
    bool selectDevice(const QString& address);
    void save(QWidget& widget, const QString& name);

    CLmToolsDlg& window_;
    QString directory_;
    std::size_t expectedDevices_;
    QTimer poll_;
    QElapsedTimer waited_;
    bool succeeded_ = true;
};

}  // namespace lm::gui

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstddef>

namespace lm::gui {

class CLmToolsDlg;

// For documentation: waits until the window shows every expected device with its picture, then
// shows each of the five views in turn, saves the window as DIR/view-<name>.png and closes it.
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

    CLmToolsDlg& window_;
    QString directory_;
    std::size_t expectedDevices_;
    QTimer poll_;
    QElapsedTimer waited_;
    bool succeeded_ = true;
};

}  // namespace lm::gui

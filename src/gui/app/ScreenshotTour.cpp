#include "app/ScreenshotTour.h"

#include <QDir>
#include <QPixmap>
#include <cstdio>

#include "app/CLmToolsDlg.h"

namespace lm::gui {

namespace {

struct ViewShot {
    int command;
    const char* name;
};
constexpr ViewShot kViews[] = {
    {2003, "thumbnails"}, {59411, "details"}, {2005, "icons"}, {59410, "list"}, {2004, "tiles"},
};

// Pictures that have not come by then are shown as they are: the tour still ends.
constexpr qint64 kMaxWaitMs = 60000;
// Lets the list lay out and paint a view before it is grabbed.
constexpr int kSettleMs = 400;

}  // namespace

ScreenshotTour::ScreenshotTour(CLmToolsDlg& window, QString directory, std::size_t expectedDevices)
    : QObject(&window), window_(window), directory_(std::move(directory)), expectedDevices_(expectedDevices) {
    poll_.setInterval(200);
    connect(&poll_, &QTimer::timeout, this, &ScreenshotTour::poll);
}

void ScreenshotTour::start() {
    waited_.start();
    poll_.start();
}

bool ScreenshotTour::devicesReady() const {
    if (window_.scanRunning()) return false;
    const auto records = window_.inventory().snapshot();
    if (records.size() < expectedDevices_) return false;
    for (const DeviceRecord& record : records)
        if (record.imageIndex == 0 || record.thumbnailFetch) return false;
    return true;
}

void ScreenshotTour::poll() {
    const bool late = waited_.elapsed() > kMaxWaitMs;
    if (!devicesReady() && !late) return;
    poll_.stop();
    if (late) std::fprintf(stderr, "lmtools: not every device showed its picture in time\n");
    showView(0);
}

void ScreenshotTour::showView(std::size_t step) {
    if (step == std::size(kViews)) {
        window_.close();
        return;
    }
    window_.runCommand(kViews[step].command);
    QTimer::singleShot(kSettleMs, this, [this, step] {
        const QString path = QDir(directory_).filePath(QStringLiteral("view-%1.png").arg(kViews[step].name));
        if (window_.grab().save(path))
            std::fprintf(stderr, "lmtools: wrote %s\n", qPrintable(path));
        else {
            std::fprintf(stderr, "lmtools: cannot write %s\n", qPrintable(path));
            succeeded_ = false;
        }
        showView(step + 1);
    });
}

}  // namespace lm::gui

#pragma once

#include <QMenuBar>
#include <functional>

namespace lm::gui {

class DeviceListView;

// The main window's menu bar: every command of the window, each entry carrying the command id the
// buttons and the list's menu use, enabled and checked by the list's rules as it is now.
class MainMenuBar : public QMenuBar {
    Q_OBJECT
public:
    using Run = std::function<void(int command)>;

    MainMenuBar(DeviceListView& list, Run run, QWidget* parent);

    // Brings every entry's enabled and checked state in line with the list.
    void refresh();

private:
    DeviceListView& list_;
    Run run_;
};

}  // namespace lm::gui

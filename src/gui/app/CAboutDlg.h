#pragma once

#include <QDialog>
#include <QString>

namespace lm::gui {

// "About These Tools": the product line, the program's version and a fixed line.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // Its controls; the icon has no control id of its own.
    enum class Control { None = 0, Ok = 1, Product = 1220, Version = 1316, Icon = -1 };

    explicit CAboutDlg(QWidget* parent = nullptr);

    // "Version A.B.C", then " beta D" when D is above 0.
    static QString versionLine(int major, int minor, int patch, int tweak);
};

}  // namespace lm::gui

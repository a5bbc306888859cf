#pragma once

#include <QDialog>

class QTextBrowser;

namespace lm::gui {

// The program's manual (the README it was built with), to read and search, with links opened in
// the browser.
class ManualViewer : public QDialog {
    Q_OBJECT
public:
    explicit ManualViewer(QWidget* parent = nullptr);

    // The manual's text as built into the program; empty if it is missing.
    static QString text();

    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_ = nullptr;
};

}  // namespace lm::gui

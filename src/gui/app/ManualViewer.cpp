#include "gui/app/ManualViewer.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

// A static library's resources must be asked for by name before they can be read.
static void loadManual() {
    Q_INIT_RESOURCE(manual);
}

namespace lm::gui {

ManualViewer::ManualViewer(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Lumetra Tools Manual"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    // The README's pictures are installed beside it.
    browser_->setSearchPaths(
        {QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/lmtools")});
    const QString manual = text();
    if (manual.isEmpty())
        browser_->setPlainText(QStringLiteral("The manual is missing from this build."));
    else
        browser_->setMarkdown(manual);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
    resize(760, 640);
}

QString ManualViewer::text() {
    loadManual();
    QFile file(QStringLiteral(":/manual/README.md"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace lm::gui

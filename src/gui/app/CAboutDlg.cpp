#include "gui/app/CAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "core/ProgramVersion.h"
#include "gui/app/BrandArt.h"
#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"

namespace lm::gui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About These Tools"));
    const DialogUnits du(*this);
    setFixedSize(du.x(235), du.y(62));

    auto* icon = new QLabel(this);
    const QRect iconBox = du.rect(8, 10, 24, 24);
    icon->setPixmap(BrandArt::lensMark(std::min(iconBox.width(), iconBox.height())));
    icon->setGeometry(iconBox);

    auto* product =
        ControlId::tag(new QLabel(QStringLiteral("Lumetra Technologies Setup Tools"), this), 1220);
    product->setGeometry(du.rect(40, 10, 130, 8));
    auto* version = ControlId::tag(new QLabel(versionLine(kProgramVersionMajor, kProgramVersionMinor,
                                                          kProgramVersionPatch, kProgramVersionTweak),
                                              this),
                                   1316);
    version->setGeometry(du.rect(40, 24, 130, 8));
    auto* fixed = new QLabel(QStringLiteral("Copyright \u00a9 Lumetra Technologies"), this);
    fixed->setGeometry(du.rect(40, 38, 130, 8));

    auto* ok = ControlId::tag(new QPushButton(QStringLiteral("OK"), this), 1);
    ok->setDefault(true);
    ok->setGeometry(du.rect(178, 8, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QString CAboutDlg::versionLine(int major, int minor, int patch, int tweak) {
    QString line = QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(patch);
    if (tweak > 0) line += QStringLiteral(" beta %1").arg(tweak);
    return line;
}

}  // namespace lm::gui

#include "gui/app/CAboutDlg.h"

#include <algorithm>

#include <QLabel>
#include <QPushButton>

#include "core/ProgramVersion.h"
#include "gui/app/BrandArt.h"
#include "gui/app/DialogControls.h"

namespace lm::gui {

namespace {

using C = CAboutDlg::Control;
using K = ControlKind;

constexpr DialogRect kClient{0, 0, 235, 62};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Picture, C::Icon, nullptr, {8, 10, 24, 24}},
    {K::Label, C::Product, "Lumetra Technologies Setup Tools", {40, 10, 130, 8}},
    {K::Label, C::Version, nullptr, {40, 24, 130, 8}},
    {K::Label, C::None, "Copyright \u00a9 Lumetra Technologies", {40, 38, 130, 8}},
    {K::Button, C::Ok, "OK", {178, 8, 50, 14}, kDefaultButton},
};
// clang-format on

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About These Tools"));
    const DialogControls controls(*this, std::span(kControls));
    setFixedSize(controls.units().x(kClient.width), controls.units().y(kClient.height));

    const QRect iconBox = controls.place(C::Icon);
    controls.get<QLabel>(C::Icon)->setPixmap(BrandArt::lensMark(std::min(iconBox.width(), iconBox.height())));
    controls.get<QLabel>(C::Version)
        ->setText(versionLine(kProgramVersionMajor, kProgramVersionMinor, kProgramVersionPatch,
                              kProgramVersionTweak));
    connect(controls.get<QPushButton>(C::Ok), &QPushButton::clicked, this, &QDialog::accept);
}

QString CAboutDlg::versionLine(int major, int minor, int patch, int tweak) {
    QString line = QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(patch);
    if (tweak > 0) line += QStringLiteral(" beta %1").arg(tweak);
    return line;
}

}  // namespace lm::gui

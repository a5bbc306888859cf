#include "gui/wizard/SetupWizard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include "core/link/Session.h"
#include "core/wizard/SettingsReader.h"
#include "core/wizard/SettingsWriter.h"
#include "core/wizard/WizardPage.h"
#include "core/wizard/WizardSession.h"
#include "gui/app/BrandArt.h"
#include "gui/app/DialogUnits.h"
#include "gui/wizard/DeviceListPage.h"
#include "gui/wizard/SerialPortPage.h"
#include "gui/wizard/SetupWizardPage.h"
#include "gui/wizard/WizardPageTable.h"
#include "gui/wizard/WorkerPage.h"

namespace lm::gui {

namespace {

// The pictures' sizes, as the sheet's own artwork has them.
const QSize kWatermarkSize(164, 314);
constexpr int kLogoSide = 49;
constexpr int kPageWidthDu = 317;

void defaultMessageBox(QWidget* owner, const wizard::PageMessage& message) {
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(message.title));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(message.text));
    box.setIcon(message.icon == wizard::PageMessage::Icon::Information ? QMessageBox::Information
                                                                       : QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace

SetupWizard::SetupWizard(WizardSession& wizard, std::vector<DeviceRecord> devices, const QString& deviceId,
                         const QString& deviceAddress, QWidget* parent)
    : QWizard(parent), wizard_(wizard), model_(wizard.model()), messageBoxHandler_(defaultMessageBox) {
    setWindowTitle(QStringLiteral("Setup Wizard"));
    setWizardStyle(QWizard::ModernStyle);
    // Each page is initialised once per run; Back never undoes what a page showed.
    setOption(QWizard::IndependentPages);
    // A wizard page is 317 dialog units wide: room for the device list's four columns at any scale.
    setMinimumWidth(DialogUnits(*this).x(kPageWidthDu));
    // Drawn for the screen's pixel density, so they stay sharp when scaled.
    const qreal density = devicePixelRatioF();
    QPixmap logo = BrandArt::lensMark(qRound(kLogoSide * density));
    logo.setDevicePixelRatio(density);
    setPixmap(QWizard::LogoPixmap, logo);
    QPixmap watermark = BrandArt::logo(kWatermarkSize * density);
    watermark.setDevicePixelRatio(density);

    for (const PageLayout& table : wizardPages()) {
        SetupWizardPage* page = nullptr;
        switch (table.page) {
            case wizard::kDeviceList:
                page = new DeviceListPage(*this, std::move(devices), deviceId, deviceAddress);
                break;
            case wizard::kSerialPort:
                page = new SerialPortPage(*this);
                break;
            case wizard::kReadSettings:
                page = new WorkerPage(*this, table.page, wizard::Field::ReadStatus,
                                      wizard::Field::ReadProgress, readSettings);
                break;
            case wizard::kSummary:  // says what is about to be set up; Next writes it
                page = new WorkerPage(*this, table.page, wizard::Field::WriteStatus,
                                      wizard::Field::WriteProgress,
                                      [](WizardSession& kept, WizardPage& ui, PasswordPrompt* prompt) {
                                          return writeSettings(kept, ui, prompt);
                                      });
                break;
            default:
                page = new SetupWizardPage(*this, table.page);
        }
        if (table.title == nullptr) page->setPixmap(QWizard::WatermarkPixmap, watermark);
        setPage(table.page, page);
    }
    setStartId(wizard::kWelcome);

    // Back goes where the rules say, which is not always one step back through the history.
    QAbstractButton* back = button(QWizard::BackButton);
    back->disconnect(this);
    connect(back, &QAbstractButton::clicked, this, &SetupWizard::goBack);
    connect(this, &QWizard::currentIdChanged, this, &SetupWizard::activateCurrent);
}

Session& SetupWizard::session() {
    return wizard_.session();
}

const QFont& SetupWizard::titleFont() {
    static const QFont font = [] {
        QFont title = QApplication::font();
        title.setFamilies({QStringLiteral("Verdana"), title.family()});
        title.setBold(true);
        title.setPointSize(12);
        return title;
    }();
    return font;
}

void SetupWizard::showMessages(SetupWizardPage& owner, const std::vector<wizard::PageMessage>& messages) {
    for (const wizard::PageMessage& message : messages) {
        messageBoxHandler_(&owner, message);
        if (message.focus == wizard::Field::None) continue;
        if (QWidget* focus = owner.control(message.focus)) focus->setFocus();
    }
}

SetupWizardPage* SetupWizard::current() const {
    return qobject_cast<SetupWizardPage*>(currentPage());
}

void SetupWizard::applyButtons(Moves buttons) {
    button(QWizard::BackButton)->setEnabled(buttons & Moves::Back);
    button(QWizard::NextButton)->setEnabled(buttons & Moves::Next);
    button(QWizard::FinishButton)->setEnabled(buttons & Moves::Finish);
}

void SetupWizard::enableCancel(bool enabled) {
    button(QWizard::CancelButton)->setEnabled(enabled);
}

void SetupWizard::activateCurrent() {
    if (SetupWizardPage* page = current()) page->activate();
}

void SetupWizard::goBack() {
    SetupWizardPage* page = current();
    if (page == nullptr || !(page->buttons() & Moves::Back)) return;
    page->leave();
    const int target = wizard::previousPage(page->pageId(), model_);
    if (target == wizard::kStay || target == currentId() || !visitedIds().contains(target)) {
        back();
        return;
    }
    while (currentId() != target)
        back();
}

void SetupWizard::reject() {
    if (!button(QWizard::CancelButton)->isEnabled()) return;
    if (SetupWizardPage* page = current()) page->leave();
    QWizard::reject();
}

}  // namespace lm::gui

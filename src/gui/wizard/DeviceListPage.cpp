#include "gui/wizard/DeviceListPage.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableWidget>

#include "core/link/Session.h"
#include "core/wizard/WizardPages.h"
#include "gui/app/DialogUnits.h"
#include "gui/wizard/SetupWizard.h"

namespace lm::gui {

namespace {

enum Column { kId, kAddress, kType, kVersion, kColumns };
// The widest text each column is made for.
constexpr const char* kSampleTexts[kColumns] = {"000000-000000", "255.255.255.255", "XXXXXXXXXXXX",
                                                "8.8.88-pre88"};

}  // namespace

DeviceListPage::DeviceListPage(SetupWizard& wizard, std::vector<DeviceRecord> devices, QString deviceId,
                               QString deviceAddress)
    : SetupWizardPage(wizard, wizard::kDeviceList),
      list_(qobject_cast<QTableWidget*>(control(wizard::Field::DeviceListView))),
      devices_(std::move(devices)),
      deviceId_(std::move(deviceId)),
      deviceAddress_(std::move(deviceAddress)) {
    list_->setColumnCount(kColumns);
    list_->setHorizontalHeaderLabels({QStringLiteral("ID"), QStringLiteral("IP Address"),
                                      QStringLiteral("Device Type"), QStringLiteral("Version")});
    list_->horizontalHeader()->setStretchLastSection(true);  // a long version text gets the room left
    list_->viewport()->installEventFilter(this);
    connect(list_, &QTableWidget::itemSelectionChanged, this, [this] {
        if (sheet().currentPage() == this) activate();
    });
}

void DeviceListPage::initializePage() {
    SetupWizardPage::initializePage();
    list_->setRowCount(static_cast<int>(devices_.size()));
    int row = 0;
    for (const DeviceRecord& device : devices_) {
        const std::string* texts[kColumns] = {&device.id, &device.address, &device.deviceType,
                                              &device.version};
        for (int column = 0; column < kColumns; ++column)
            list_->setItem(row, column, new QTableWidgetItem(QString::fromStdString(*texts[column])));
        const bool given = !deviceId_.isEmpty() && QString::fromStdString(device.id) == deviceId_ &&
                           QString::fromStdString(device.hostPart()) == deviceAddress_;
        if (given) {
            list_->selectRow(row);
            list_->scrollToItem(list_->item(row, kId));
        }
        ++row;
    }
    fitColumns();
}

bool DeviceListPage::listSelected() const {
    return !list_->selectionModel()->selectedRows().isEmpty();
}

bool DeviceListPage::validatePage() {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return false;
    const int row = rows.front().row();
    DeviceSettings& settings = sheet().model().settings;
    wizard::chooseDevice(settings, list_->item(row, kId)->text().toStdString(),
                         list_->item(row, kAddress)->text().toStdString());
    sheet().session().setSiteText(settings.targetIp);
    return SetupWizardPage::validatePage();
}

// The columns follow the list's visible width.
bool DeviceListPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize) fitColumns();
    return SetupWizardPage::eventFilter(watched, event);
}

// Each column as wide as its sample text; all shrunk alike when together they are too wide.
void DeviceListPage::fitColumns() {
    const QFontMetrics metrics = list_->fontMetrics();
    const int margin = DialogUnits(*list_).x(8);
    int widths[kColumns];
    int total = 0;
    for (int column = 0; column < kColumns; ++column) {
        widths[column] = metrics.horizontalAdvance(QString::fromLatin1(kSampleTexts[column])) + margin;
        total += widths[column];
    }
    const int room = list_->viewport()->width();
    for (int column = 0; column < kColumns; ++column)
        list_->setColumnWidth(column,
                              total > room && room > 0 ? widths[column] * room / total : widths[column]);
}

}  // namespace lm::gui

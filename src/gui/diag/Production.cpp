#include "gui/diag/Production.h"

#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <system_error>
#include <thread>

#include "core/diag/ProductionResults.h"
#include "gui/app/DialogControls.h"
#include "gui/discovery/ListExport.h"
#include "gui/ops/GuiThread.h"

namespace lm::gui {

namespace {

using K = ControlKind;
using C = ProductionControl;

// clang-format off
constexpr DialogRect kClient{0, 0, 574, 295};
constexpr DialogControl kControls[] = {
    {K::List, C::List, nullptr, {7, 7, 560, 238}},
    {K::Text, C::None, "Test Conditions: 12V adapter, indoor temperature, 320x240 image, time set in device, "
                       "good lighting, iris open, device case closed, device pointed at a non-black image, at "
                       "least one side of device exposed to open air for cooling, 1 inch between devices.",
     {7, 250, 500, 18}, kPlainText},
    {K::Label, C::Status, "Working...", {7, 275, 500, 10}, kPlainText},
    {K::Button, C::Export, "&Export...", {517, 255, 50, 14}},
    {K::Button, C::Close, "Close", {517, 273, 50, 14}, kDefaultButton},
};
// clang-format on

}  // namespace

// The worker's way to the window: each call runs on the GUI thread while the worker waits, and
// does nothing once the window is closing or gone.
class ProductionWindowUi : public ProductionUi {
public:
    ProductionWindowUi(Production* window, std::shared_ptr<Production::Shared> shared)
        : window_(window), shared_(std::move(shared)) {}

    void setStatus(const std::string& text) override {
        onWindow([&text](Production& window) { window.status_->setText(QString::fromStdString(text)); });
    }
    void setCell(std::size_t device, ProductionColumn column, const std::string& text) override {
        onWindow([&](Production& window) { window.setCell(device, static_cast<int>(column), text); });
    }
    bool closing() override { return shared_->closing; }
    // The finished rows, verdicts and all.
    void results(std::vector<ProductionRow> rows) {
        onWindow([&rows](Production& window) { window.rows_ = std::move(rows); });
    }

private:
    template <typename F>
    void onWindow(F work) {
        GuiThread::call([this, &work] {
            Production* window = window_.data();
            if (window != nullptr && !shared_->closing) work(*window);
        });
    }

    QPointer<Production> window_;  // read on the GUI thread only
    std::shared_ptr<Production::Shared> shared_;
};

Production::Production(std::vector<DeviceRecord> devices, ProductionSettings settings, QWidget* parent)
    : QDialog(parent),
      ordered_(productionOrder(std::move(devices))),
      settings_(std::move(settings)),
      shared_(std::make_shared<Shared>()) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Production Test Summary"));
    const DialogControls controls(*this, kControls);
    list_ = controls.get<QTreeWidget>(C::List);
    status_ = controls.get<QLabel>(C::Status);

    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setUniformRowHeights(true);
    list_->setColumnCount(int(kProductionColumns));
    QStringList headers;
    for (const char* header : kProductionHeaders)
        headers << QString::fromLatin1(header);
    list_->setHeaderLabels(headers);
    list_->header()->setSectionsClickable(false);
    list_->header()->setSectionsMovable(false);
    list_->header()->setStretchLastSection(false);

    // Row 0 is the criteria caption; row i + 1 is device i. Items hold plain text only.
    auto addRow = [this](int row, const auto& cells) {
        auto* item = new QTreeWidgetItem(list_);
        item->setData(0, Qt::UserRole, row);
        for (std::size_t c = 0; c < kProductionColumns; ++c)
            item->setText(int(c), QString::fromStdString(std::string(cells[c])));
    };
    addRow(0, kProductionCriteria);
    rows_ = productionRows(ordered_);
    int row = 1;
    for (const ProductionRow& device : rows_)
        addRow(row++, device.cells);

    connect(controls.get<QPushButton>(C::Close), &QPushButton::clicked, this, &QDialog::accept);
    auto* exportButton = controls.get<QPushButton>(C::Export);
    exportButton->setAutoDefault(false);
    exportButton->setToolTip(QStringLiteral("Save the results as CSV or JSON"));
    connect(exportButton, &QPushButton::clicked, this, &Production::exportRows);
    setFixedSize(controls.units().x(kClient.width), controls.units().y(kClient.height));
}

Production::~Production() {
    shared_->closing = true;
}

void Production::done(int result) {
    shared_->closing = true;
    QDialog::done(result);
}

void Production::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitColumns();
    if (!started_) start();
}

void Production::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fitColumns();
}

void Production::fitColumns() {
    const std::array<int, kProductionColumns> widths = productionColumnWidths(list_->viewport()->width());
    for (std::size_t c = 0; c < kProductionColumns; ++c)
        list_->setColumnWidth(int(c), widths[c]);
}

void Production::start() {
    started_ = true;
    shared_->closing = false;
    shared_->running = true;
    auto ui = std::make_shared<ProductionWindowUi>(this, shared_);
    try {
        std::thread([ui, shared = shared_, devices = ordered_, settings = settings_] {
            ui->results(productionWorker(devices, *ui, settings));
            shared->running = false;
        }).detach();
    } catch (const std::system_error&) {
        shared_->running = false;
        status_->setText(QStringLiteral("The production test could not be started."));
    }
}

void Production::setCell(std::size_t device, int column, const std::string& text) {
    if (QTreeWidgetItem* item = list_->topLevelItem(int(device) + 1))
        item->setText(column, QString::fromStdString(text));
    // The file gets the device's bytes as they came.
    if (device < rows_.size() && column >= 0 && std::size_t(column) < kProductionColumns)
        rows_[device].cells[std::size_t(column)] = text;
}

void Production::exportRows() {
    QString filter;
    const QString path = chooseFile_(this, QStringLiteral("Export Results"),
                                     QString::fromLatin1(ListExport::kFilters), &filter);
    if (path.isEmpty()) return;
    const QString failure = saveText(path, ListExport::wantsJson(path, filter) ? productionResultsJson(rows_)
                                                                               : productionResultsCsv(rows_));
    status_->setText(failure.isEmpty()
                         ? QStringLiteral("Results saved to %1.").arg(path)
                         : QStringLiteral("The results could not be saved to %1: %2").arg(path, failure));
}

}  // namespace lm::gui

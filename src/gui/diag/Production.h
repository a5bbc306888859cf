#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <vector>

#include "core/diag/ProductionTest.h"
#include "core/discovery/DeviceRecord.h"
#include "gui/app/SaveText.h"

class QLabel;
class QTreeWidget;

namespace lm::gui {

// The controls of the production test's window.
enum class ProductionControl {
    None = 0,
    Close = 1,
    Status = 1018,
    List = 1239,
    Export = 1400,
};

// "Production Test Summary": tests every device of the inventory as soon as it opens, one row per
// device in id order, each cell shown as soon as it is known. Closing does not wait: the worker
// logs out of the device at hand and stops, and never touches the window again.
class Production : public QDialog {
    Q_OBJECT
public:
    static constexpr int kList = static_cast<int>(ProductionControl::List);
    static constexpr int kStatus = static_cast<int>(ProductionControl::Status);
    static constexpr int kClose = static_cast<int>(ProductionControl::Close);

    // What the worker shares with the window; it lives as long as either of them.
    struct Shared {
        std::atomic<bool> closing{false};
        std::atomic<bool> running{false};
    };

    Production(std::vector<DeviceRecord> devices, ProductionSettings settings, QWidget* parent = nullptr);
    ~Production() override;

    const std::shared_ptr<Shared>& shared() const { return shared_; }

    // Where Export asks for the file; the file dialog unless replaced.
    void setSaveChooser(SaveChooser chooser) { chooseFile_ = std::move(chooser); }
    // The rows as far as the test has come, every row once it has ended.
    const std::vector<ProductionRow>& rows() const { return rows_; }

    // Every way out (Close, Escape, the close box) ends here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class ProductionWindowUi;

    void start();
    void fitColumns();
    void setCell(std::size_t device, int column, const std::string& text);
    // Saves the rows as CSV or JSON, as the file's name or the chosen filter says.
    void exportRows();

    std::vector<DeviceRecord> ordered_;
    std::vector<ProductionRow> rows_;
    SaveChooser chooseFile_ = chooseSaveFile;
    ProductionSettings settings_;
    std::shared_ptr<Shared> shared_;
    QTreeWidget* list_ = nullptr;
    QLabel* status_ = nullptr;
    bool started_ = false;
};

}  // namespace lm::gui

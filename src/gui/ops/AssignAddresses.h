#pragma once

#include <QDialog>
#include <vector>

#include "core/platform/NetworkProfile.h"
#include "core/wizard/AddressPlan.h"
#include "gui/ops/OperationDialog.h"

class QLineEdit;

namespace lm::gui {

class Ipv4Field;

// "Assign Addresses": a static address and name for each selected device, from a range or a plan
// file. OK checks the whole plan as the command line does, before anything is sent; a plan refused
// is told in a box and the dialog stays open with what was entered.
class AssignAddresses : public QDialog {
    Q_OBJECT
public:
    enum class Id {
        Heading = 2201,
        FirstAddress = 2202,
        LastAddress = 2203,
        PlanFile = 2204,
        Browse = 2205,
        Netmask = 2206,
        Gateway = 2207,
        HostnamePattern = 2208,
        Ok = 2209,
        Cancel = 2210,
    };

    AssignAddresses(const NetworkProfile& profile, std::vector<BatchDevice> devices,
                    QWidget* parent = nullptr);

    QWidget* control(Id id) const;
    // The checked plan, once OK accepted it: the devices in the order they are worked on.
    const std::vector<PlannedAddress>& plan() const { return plan_; }
    // Replaces the refusal's message box (tests answer it this way).
    void setMessageBoxHandler(OperationDialog::MessageBoxHandler handler) {
        messageBoxHandler_ = std::move(handler);
    }

    void accept() override;
    void reject() override;

private:
    void browse();
    // The plan from the fields, checked; empty when it may be sent, else why not.
    QString checkPlan();
    void refuse(const QString& why);

    NetworkProfile profile_;
    std::vector<BatchDevice> devices_;
    std::vector<PlannedAddress> plan_;
    OperationDialog::MessageBoxHandler messageBoxHandler_;
    Ipv4Field* first_ = nullptr;
    Ipv4Field* last_ = nullptr;
    QLineEdit* planFile_ = nullptr;
    Ipv4Field* netmask_ = nullptr;
    Ipv4Field* gateway_ = nullptr;
    QLineEdit* pattern_ = nullptr;
    bool checking_ = false;
};

}  // namespace lm::gui

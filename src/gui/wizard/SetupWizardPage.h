#pragma once

#include <QWizardPage>

#include "core/wizard/PageRules.h"

namespace lm::gui {

class SetupWizard;
struct PageLayout;

// One page of the Setup Wizard, built from its row of the page table. It only shows what the
// page rules give it and hands back what the user made of it; every rule lives in the core.
class SetupWizardPage : public QWizardPage {
    Q_OBJECT
public:
    SetupWizardPage(SetupWizard& wizard, int page);

    int pageId() const { return page_; }
    // The control that shows a field on this page; null when the page has none.
    QWidget* control(wizard::Field field) const;

    // The controls as the rules see them, and back.
    wizard::PageView collect() const;
    void show(const wizard::PageView& view);

    // Every time the page is shown: the rules' activation, and the sheet's buttons it names.
    virtual void activate();
    // The sheet's Back, Next and Finish buttons this page allows now (Moves::Back...).
    Moves buttons() const { return buttons_; }
    void setButtons(Moves buttons);
    // Back or Cancel is taking the user off this page.
    virtual void leave() {}

    void initializePage() override;
    bool validatePage() override;
    int nextId() const override;
    bool isComplete() const override;

protected:
    SetupWizard& sheet() const { return wizard_; }
    // Whether the rules may let Next on: the device list's selection.
    virtual bool listSelected() const { return false; }
    // A click or choice on a control.
    void changed(wizard::Field field);

private:
    void build(const PageLayout& table);

    SetupWizard& wizard_;
    int page_;
    Moves buttons_ = Moves::None;
    int next_ = wizard::kStay;
};

}  // namespace lm::gui

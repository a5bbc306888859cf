#include "gui/wizard/SetupWizardPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <map>

#include "core/wizard/WizardPage.h"
#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"
#include "gui/app/Ipv4Field.h"
#include "gui/wizard/SetupWizard.h"
#include "gui/wizard/WizardPageTable.h"

namespace lm::gui {

namespace {

using K = ControlLayout::Kind;

// The lists of the combos that have one.
std::vector<std::string> comboItems(wizard::Field field) {
    switch (field) {
        case wizard::Field::PortCombo:
            return wizard::serialPortNames();
        case wizard::Field::ModemCombo:
            return wizard::modemNames();
        case wizard::Field::BaudCombo:
            return wizard::baudRates();
        case wizard::Field::ProviderCombo:
            return wizard::providerNames();
        default:
            return {};
    }
}

// Chooses text in a drop-down list; a value the list lacks (a device's own baud rate or provider)
// is added, so what the device holds is shown rather than lost.
void chooseText(QComboBox& combo, const QString& text) {
    int index = combo.findText(text, Qt::MatchExactly);
    if (index < 0 && !text.isEmpty()) {
        combo.addItem(text);
        index = combo.count() - 1;
    }
    combo.setCurrentIndex(index);
}

}  // namespace

SetupWizardPage::SetupWizardPage(SetupWizard& wizard, int page) : wizard_(wizard), page_(page) {
    const PageLayout& table = wizardPage(page);
    if (table.title) setTitle(QString::fromUtf8(table.title));
    if (table.subTitle) setSubTitle(QString::fromUtf8(table.subTitle));
    build(table);
}

void SetupWizardPage::build(const PageLayout& table) {
    auto* grid = new QGridLayout(this);
    const DialogUnits du(*this);
    std::map<int, QButtonGroup*> groups;
    int lastRow = 0;
    for (const ControlLayout& c : table.controls) {
        const QString text = c.text ? QString::fromUtf8(c.text) : QString();
        int column = c.column;
        QWidget* widget = nullptr;
        switch (c.kind) {
            case K::Title:
            case K::Text: {
                auto* label = new QLabel(text, this);
                label->setTextFormat(Qt::PlainText);  // may carry what a device sent
                label->setWordWrap(c.span > 1);
                if (c.kind == K::Title) label->setFont(SetupWizard::titleFont());
                if (c.centred) label->setAlignment(Qt::AlignCenter);
                widget = label;
                break;
            }
            case K::Field:
            case K::Password:
            case K::Address:
            case K::Combo: {
                QWidget* field = nullptr;
                if (c.kind == K::Combo) {
                    auto* combo = new QComboBox(this);
                    for (const std::string& item : comboItems(c.field))
                        combo->addItem(QString::fromStdString(item));
                    connect(combo, &QComboBox::activated, this, [this, field = c.field] { changed(field); });
                    field = combo;
                } else {
                    auto* edit = c.kind == K::Address ? new Ipv4Field(this) : new QLineEdit(this);
                    if (c.kind == K::Password) edit->setEchoMode(QLineEdit::Password);
                    if (c.width > 0) edit->setFixedWidth(du.x(c.width));
                    field = edit;
                }
                if (c.text) {
                    auto* label = new QLabel(text, this);
                    label->setBuddy(field);
                    grid->addWidget(label, c.row, column++);
                }
                widget = field;
                break;
            }
            case K::Radio:
            case K::Check:
            case K::Button: {
                QAbstractButton* button = nullptr;
                if (c.kind == K::Radio)
                    button = new QRadioButton(text, this);
                else if (c.kind == K::Check)
                    button = new QCheckBox(text, this);
                else
                    button = new QPushButton(text, this);
                if (c.kind == K::Radio) {
                    QButtonGroup*& group = groups[c.group];
                    if (group == nullptr) group = new QButtonGroup(this);
                    group->addButton(button);
                }
                connect(button, &QAbstractButton::clicked, this, [this, field = c.field] { changed(field); });
                widget = button;
                break;
            }
            case K::Progress:
                widget = new QProgressBar(this);
                static_cast<QProgressBar*>(widget)->setTextVisible(false);
                break;
            case K::List: {
                auto* list = new QTableWidget(this);
                list->setShowGrid(true);
                list->setSelectionMode(QAbstractItemView::SingleSelection);
                list->setSelectionBehavior(QAbstractItemView::SelectRows);
                list->setEditTriggers(QAbstractItemView::NoEditTriggers);
                list->setWordWrap(false);
                list->verticalHeader()->hide();
                list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + du.y(3));
                widget = list;
                break;
            }
        }
        if (c.field != wizard::Field::None) ControlId::tag(widget, controlId(c.field));
        grid->addWidget(widget, c.row, column, 1, c.span);
        lastRow = std::max(lastRow, c.row);
    }
    // Labels and fields keep their natural widths; what is left goes to the last column.
    grid->setColumnMinimumWidth(0, du.x(14));
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(lastRow + 1, 1);
    grid->setVerticalSpacing(du.y(5));
}

QWidget* SetupWizardPage::control(wizard::Field field) const {
    const int id = controlId(field);
    for (QWidget* widget : findChildren<QWidget*>()) {
        const QVariant tagged = widget->property("controlId");
        if (id != 0 && tagged.isValid() && tagged.toInt() == id) return widget;
    }
    return nullptr;
}

wizard::PageView SetupWizardPage::collect() const {
    wizard::PageView view;
    for (const ControlLayout& c : wizardPage(page_).controls) {
        QWidget* widget = control(c.field);
        if (widget == nullptr) continue;
        wizard::ControlState state;
        if (auto* address = qobject_cast<Ipv4Field*>(widget))
            state.text = address->text().isEmpty() ? std::string() : address->addressText().toStdString();
        else if (auto* edit = qobject_cast<QLineEdit*>(widget))
            state.text = edit->text().toStdString();
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            state.text = combo->currentText().toStdString();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            state.text = label->text().toStdString();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            state.text = button->text().toStdString();
            state.checked = button->isChecked();
        }
        state.enabled = widget->isEnabledTo(this);
        state.visible = !widget->isHidden();
        view[c.field] = std::move(state);
    }
    return view;
}

void SetupWizardPage::show(const wizard::PageView& view) {
    for (const auto& [field, state] : view) {
        QWidget* widget = control(field);
        if (widget == nullptr) continue;
        const QString text = QString::fromStdString(state.text);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            if (edit->text() != text) {
                edit->setText(text);
                edit->setCursorPosition(0);  // a value too long for its field shows its beginning
            }
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            chooseText(*combo, text);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setText(text);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            // A radio is unchecked by checking another of its group; a check box is set either way.
            if (state.checked || qobject_cast<QRadioButton*>(button) == nullptr)
                button->setChecked(state.checked);
            if (!text.isEmpty() && qobject_cast<QCheckBox*>(button)) button->setText(text);
        }
        widget->setEnabled(state.enabled);
        widget->setVisible(state.visible);
    }
}

void SetupWizardPage::initializePage() {
    show(wizard::initialisePage(page_, wizard_.model()));
}

void SetupWizardPage::activate() {
    wizard::PageView view = collect();
    const Moves buttons = wizard::activatePage(page_, wizard_.model(), view, listSelected());
    show(view);
    // The header would say "not found" over the news that a device was found.
    if (page_ == wizard::kSerialResult)
        setTitle(wizard::isPortName(wizard_.model().settings.serialPort)
                     ? QStringLiteral("Device found")
                     : QStringLiteral("Device not found"));
    setButtons(buttons);
    // The settings are written: there is nothing left to cancel.
    if (page_ == wizard::kComplete) wizard_.enableCancel(false);
}

void SetupWizardPage::setButtons(Moves buttons) {
    buttons_ = buttons;
    emit completeChanged();
    wizard_.applyButtons(buttons);
}

void SetupWizardPage::changed(wizard::Field field) {
    wizard::PageView view = collect();
    wizard::controlChanged(page_, field, wizard_.model(), view);
    show(view);
}

bool SetupWizardPage::validatePage() {
    if (page_ == wizard::kComplete) return true;  // Finish
    if (!(buttons_ & Moves::Next)) return false;
    const wizard::PageAnswer answer = wizard::nextPage(page_, wizard_.model(), collect());
    wizard_.showMessages(*this, answer.messages);
    next_ = answer.next;
    return next_ != wizard::kStay;
}

int SetupWizardPage::nextId() const {
    if (page_ == wizard::kComplete) return -1;
    // Until Next has asked the rules, any page but this one: the sheet shows Next, not Finish.
    return next_ != wizard::kStay ? next_ : wizard::kComplete;
}

bool SetupWizardPage::isComplete() const {
    return buttons_ & (Moves::Next | Moves::Finish);
}

}  // namespace lm::gui

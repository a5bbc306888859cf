#include "gui/ops/OperationDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include "core/link/Session.h"
#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"
#include "gui/app/Ipv4Field.h"
#include "gui/ops/GuiPasswordPrompt.h"
#include "gui/ops/GuiThreadChannel.h"

namespace lm::gui {

namespace {

// Closing waits up to 10 s for a running worker, looking every few milliseconds.
constexpr int kCloseWaitMs = 100 * 100;
constexpr int kCloseWaitPollMs = 10;

Answer defaultMessageBox(QWidget* owner, const QString& text, const QString& title, Question::Icon icon,
                         Choices buttons) {
    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);  // texts may carry what a device sent
    box.setText(text);
    switch (icon) {
        case Question::Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Question::Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Question::Icon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case Question::Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    switch (buttons) {
        case Choices::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Choices::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Choices::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

}  // namespace

OperationDialog::OperationDialog(Session& session, const std::atomic<bool>* scanInProgress, QString address,
                                 std::string siteText, QWidget* parent)
    : QDialog(parent),
      session_(session),
      scanInProgress_(scanInProgress),
      address_(std::move(address)),
      state_(std::make_shared<OperationState>()),
      ui_(std::make_shared<GuiThreadChannel>(this, state_)),
      prompt_(std::make_shared<GuiPasswordPrompt>(this, std::move(siteText), state_)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

OperationDialog::~OperationDialog() {
    // A worker let go while still running must leave the dialog alone from here on.
    state_->closing = true;
}

QWidget* OperationDialog::control(int id) const {
    for (QWidget* widget : findChildren<QWidget*>()) {
        // Untagged widgets (texts, the bar's parts) have no id at all, not id 0.
        const QVariant tagged = widget->property("controlId");
        if (tagged.isValid() && tagged.toInt() == id) return widget;
    }
    return nullptr;
}

void OperationDialog::build(const DialogLayout& layout, std::function<Work()> prepare) {
    QLabel* waitingLabel = nullptr;  // a label whose buddy comes next
    for (const LayoutControl& row : layout.controls) {
        QWidget* widget = addControl(row, prepare);
        if (waitingLabel) waitingLabel->setBuddy(widget);
        waitingLabel = row.kind == LayoutControl::Kind::Label ? qobject_cast<QLabel*>(widget) : nullptr;
        if (row.flags & LayoutControl::Disabled) widget->setEnabled(false);
        if (row.flags & LayoutControl::Focus) widget->setFocus();
        if (auto* button = qobject_cast<QPushButton*>(widget); button && (row.flags & LayoutControl::Default))
            button->setDefault(true);
    }
    finishLayout(layout.width, layout.height);
}

void OperationDialog::finishLayout(int width, int height) {
    okButton_ = qobject_cast<QPushButton*>(control(kOk));
    if (okButton_ == nullptr) {
        okButton_ = addButton(kOk, QStringLiteral("OK"), QRect());
        okButton_->hide();
    }
    const DialogUnits du(*this);
    setFixedSize(du.x(width), du.y(height));
}

QLabel* OperationDialog::addText(const QString& text, const QRect& place) {
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(DialogUnits(*this).rect(place.x(), place.y(), place.width(), place.height()));
    return label;
}

QWidget* OperationDialog::addControl(const LayoutControl& row, const std::function<Work()>& prepare) {
    using Kind = LayoutControl::Kind;
    const QString text = QString::fromUtf8(row.text ? row.text : "");
    const QRect place = DialogUnits(*this).rect(row.left, row.top, row.width, row.height);
    QWidget* widget = nullptr;
    switch (row.kind) {
        case Kind::Text:
            return addText(text, QRect(row.left, row.top, row.width, row.height));
        case Kind::StatusLine: {
            // Workers' texts may carry what a device sent.
            QLabel* line = addText(text, QRect(row.left, row.top, row.width, row.height));
            ControlId::tag(line, kStatusLine)->setTextFormat(Qt::PlainText);
            return line;
        }
        case Kind::Label:
            widget = new QLabel(text, this);
            break;
        case Kind::StatusField: {
            auto* field = ControlId::tag(new QLineEdit(this), kStatusLine);
            field->setReadOnly(true);
            widget = field;
            break;
        }
        case Kind::Address: {
            auto* field = ControlId::tag(new Ipv4Field(this), kAddressField);
            field->setText(address_);
            widget = field;
            break;
        }
        case Kind::Password: {
            auto* field = ControlId::tag(new QLineEdit(this), kPasswordField);
            field->setEchoMode(QLineEdit::Password);
            widget = field;
            break;
        }
        case Kind::Ipv4:
            widget = ControlId::tag(new Ipv4Field(this), row.id);
            break;
        case Kind::Field:
            widget = ControlId::tag(new QLineEdit(this), row.id);
            break;
        case Kind::Button:
            return addButton(row.id, text, QRect(row.left, row.top, row.width, row.height));
        case Kind::Start: {
            QPushButton* button = addButton(row.id, text, QRect(row.left, row.top, row.width, row.height));
            connect(button, &QPushButton::clicked, this, [this, id = row.id, prepare] {
                if (const Work work = prepare()) start(id, work);
            });
            return button;
        }
        case Kind::Check: {
            auto* box = ControlId::tag(new QCheckBox(text, this), row.id);
            box->setChecked(row.flags & LayoutControl::Checked);
            widget = box;
            break;
        }
        case Kind::Progress: {
            auto* bar = ControlId::tag(new QProgressBar(this), row.id);
            bar->setValue(0);
            bar->setTextVisible(!(row.flags & LayoutControl::NoBarText));
            widget = bar;
            break;
        }
        case Kind::Log: {
            auto* log = ControlId::tag(new QPlainTextEdit(this), row.id);
            log->setReadOnly(true);
            log->setLineWrapMode(QPlainTextEdit::NoWrap);
            log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            widget = log;
            break;
        }
    }
    widget->setGeometry(place);
    return widget;
}

QPushButton* OperationDialog::addButton(int id, const QString& text, const QRect& place) {
    auto* button = ControlId::tag(new QPushButton(text, this), id);
    button->setAutoDefault(false);
    button->setGeometry(DialogUnits(*this).rect(place.x(), place.y(), place.width(), place.height()));
    if (id == kCancel) connect(button, &QPushButton::clicked, this, &QDialog::reject);
    if (id == kOk) connect(button, &QPushButton::clicked, this, &QDialog::accept);
    return button;
}

DeviceLogin OperationDialog::login() const {
    const auto* address = qobject_cast<Ipv4Field*>(control(kAddressField));
    const auto* password = qobject_cast<QLineEdit*>(control(kPasswordField));
    return {address ? address->addressText().toStdString() : std::string(),
            password ? password->text().toStdString() : std::string()};
}

void OperationDialog::startWhenShown(Work work, int button) {
    startWork_ = std::move(work);
    startWorkButton_ = button;
}

void OperationDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!startWork_) return;
    const auto work = std::move(startWork_);
    startWork_ = nullptr;
    // An earlier window's worker still talks to a device: this one starts none of its own.
    if (session_.busy()) {
        if (auto* status = control(statusLine_))
            status->setProperty("text", QString::fromLatin1(Session::kBusyText));
        if (okButton_) okButton_->setEnabled(true);
        return;
    }
    startsAtOnce_ = true;
    start(startWorkButton_, work);
}

void OperationDialog::start(int startButton, const Work& work) {
    if (state_->running) return;  // the previous worker has yet to clear it
    startButton_ = startButton;
    if (QWidget* button = control(startButton)) button->setEnabled(false);
    state_->closing = false;
    const bool started =
        WorkerTask::start(state_, [&session = session_, ui = ui_, state = state_, prompt = prompt_,
                                   address = address_.toStdString(), scan = scanInProgress_, work] {
            WorkerTask task(session, ui, state, prompt.get(), address, scan);
            work(task);
        });
    if (!started) {
        if (QWidget* button = control(startButton)) button->setEnabled(true);
        if (startsAtOnce_ && okButton_) okButton_->setEnabled(true);  // no worker will enable it
        if (auto* status = control(statusLine_))
            status->setProperty("text", QStringLiteral("The operation could not be started."));
    }
}

Answer OperationDialog::showMessageBox(const QString& text, const QString& title, Question::Icon icon,
                                       Choices buttons) {
    return messageBoxHandler_ ? messageBoxHandler_(this, text, title, icon, buttons)
                              : defaultMessageBox(this, text, title, icon, buttons);
}

void OperationDialog::finishFromWorker() {
    // The worker waits for this request to return: closing must not wait for it in turn.
    finishing_ = true;
    if (okButton_) okButton_->click();
    finishing_ = false;
}

void OperationDialog::done(int result) {
    if (waiting_) return;  // already on the way out
    state_->closing = true;
    // A dialog that started at once is closed at once: its worker checks closing as it goes.
    if (!finishing_ && !startsAtOnce_) waitForWorker();
    QDialog::done(result);
}

void OperationDialog::waitForWorker() {
    // Requests the worker is blocked in are answered (as skipped) by the events processed here.
    waiting_ = true;
    QElapsedTimer timer;
    timer.start();
    while (state_->running && timer.elapsed() < kCloseWaitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (state_->running) QThread::msleep(kCloseWaitPollMs);
    }
    waiting_ = false;
}

}  // namespace lm::gui

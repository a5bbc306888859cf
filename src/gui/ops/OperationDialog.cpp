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

Answer showOwnedMessageBox(QWidget* owner, const QString& text, const QString& title, Question::Icon icon,
                           Choices buttons) {
    return defaultMessageBox(owner, text, title, icon, buttons);
}

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

void OperationDialog::build(DialogRect client, std::span<const DialogControl> table,
                            std::function<Work()> prepare) {
    const DialogControls controls(*this, table);
    for (const DialogControl& row : table) {
        if (row.id.value == kAddressField) controls.get<Ipv4Field>(row.id)->setText(address_);
        auto* button = row.kind == ControlKind::Button && row.id.value != 0
                           ? controls.get<QPushButton>(row.id)
                           : nullptr;
        if (button == nullptr) continue;
        // Only the default button takes Enter, wherever the focus is.
        button->setAutoDefault(false);
        if (row.id.value == kCancel) connect(button, &QPushButton::clicked, this, &QDialog::reject);
        if (row.id.value == kOk) connect(button, &QPushButton::clicked, this, &QDialog::accept);
        if (row.flags & kStartsWork)
            connect(button, &QPushButton::clicked, this, [this, id = row.id.value, prepare] {
                if (const Work work = prepare()) start(id, work);
            });
    }
    okButton_ = qobject_cast<QPushButton*>(control(kOk));
    if (okButton_ == nullptr) {
        // The worker ends the dialog through OK, shown or not.
        okButton_ = ControlId::tag(new QPushButton(QStringLiteral("OK"), this), kOk);
        okButton_->setAutoDefault(false);
        okButton_->hide();
        connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    }
    setFixedSize(controls.units().x(client.width), controls.units().y(client.height));
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
        allowClose(true);
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

// The Setup Wizard walked with its own buttons against a simulated device, over the network and
// the serial console, checking what the device holds afterwards.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <set>

#include "ChildById.h"
#include "core/link/Session.h"
#include "core/wizard/WizardPages.h"
#include "core/wizard/WizardSession.h"
#include "devsim/Simulator.h"
#include "gui/ops/Login.h"
#include "gui/wizard/SetupWizard.h"
#include "gui/wizard/WizardPageTable.h"
#include "gui/wizard/WorkerPage.h"

using namespace lm;
using namespace lm::gui;
using namespace lm::wizard;

namespace {

constexpr int kPageLimitMs = 20000;  // a worker page's run, at fast timing

// What the user does on a page before Next: a click, a choice in a list, or text typed.
struct Act {
    Field field;
    QString text = {};
};
struct Step {
    int page;
    std::vector<Act> acts = {};
};

// The steps from the FTP page to the summary, with an upload account.
std::vector<Step> uploadSteps() {
    return {{kFtpSetup,
             {{Field::FtpHostField, "ftp.example.com"},
              {Field::FtpUserField, "cam"},
              {Field::FtpPasswordField, "secret"},
              {Field::FtpVerifyField, "secret"},
              {Field::FtpPathField, "pics/Cam.jpg"}}},
            {kSchedule},
            {kDays},
            {kDialOutOptions},
            {kFtpOptions}};
}

// A page's control by the field it shows, found as the user's tools find it: by its control id.
template <typename T>
T* child(QObject& page, Field field) {
    return child<T>(page, controlId(field));
}

// Runs `act` whenever the watched widget is enabled or disabled.
class OnEnabledChange : public QObject {
public:
    explicit OnEnabledChange(std::function<void()> act) : act_(std::move(act)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) act_();
        return false;
    }

private:
    std::function<void()> act_;
};

}  // namespace

class SetupWizardTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        sim::SimulatorConfig config;
        config.devices = sim::demoDevices(1, *parseIpv4("127.0.94.10"));
        config.devices[0].shell.serial = true;
        config.devices[0].shell.rebootDelayMs = 20;
        // A console slow enough that a search is still under way when it is cancelled.
        config.devices[0].shell.faults.slowOutput = QTest::currentDataTag() == QByteArray("detecting");
        simulator_ = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        QVERIFY2(simulator_->start(&error), error.c_str());
        NetworkProfile profile;
        profile.telnetPort = simulator_->telnetPort();
        // COM1 is the device's console; no other name reaches this machine's own ports.
        SerialPortMap ports = SerialPortMap::standard();
        for (int port = 2; port <= 32; ++port)
            ports.set(port, "/nonexistent/tty" + std::to_string(port));
        ports.set(1, simulator_->serialPath(0));
        session_ = std::make_unique<Session>(profile, Timing::fast(), ports);
        wizardSession_ = std::make_unique<WizardSession>(*session_);
        DeviceRecord device;
        device.id = sim::identifierOf(simulator_->devices()[0]);
        device.address = kAddress.toStdString();
        DeviceRecord nobody = device;
        nobody.id = "0012AB-000000";
        nobody.address = "127.0.94.99:8080";  // nothing listens there
        boxes_.clear();
        wizard_ = std::make_unique<SetupWizard>(*wizardSession_, std::vector{nobody, device},
                                                QString::fromStdString(device.id), kAddress);
        wizard_->setMessageBoxHandler([this](QWidget*, const PageMessage& message) {
            boxes_ << QString::fromStdString(message.title);
        });
        wizard_->show();
    }

    void cleanup() {
        wizard_.reset();
        // A worker let go has ended, not only let go of the device: the session goes next.
        QTRY_VERIFY_WITH_TIMEOUT(WorkerPage::runningWorkers() == 0, kPageLimitMs);
        simulator_->stop();
    }

    // Every field a page's rules show is placed on that page under a control id of its own: a
    // field the page table lacks would be dropped on the way to the screen without a word.
    void everyFieldTheRulesShowIsPlaced() {
        DeviceSettings settings;
        bool network = false;
        const FirmwareVersion firmware;
        WizardModel model{settings, network, firmware};
        for (const PageLayout& table : wizardPages()) {
            std::set<int> ids;
            std::set<Field> placed;
            for (const ControlLayout& c : table.controls) {
                if (c.field == Field::None) continue;
                QVERIFY2(ids.insert(controlId(c.field)).second && controlId(c.field) != 0,
                         qPrintable(QStringLiteral("page %1, field %2").arg(table.page).arg(int(c.field))));
                placed.insert(c.field);
            }
            PageView view = initialisePage(table.page, model);
            activatePage(table.page, model, view);
            for (const auto& [field, state] : view)
                QVERIFY2(
                    placed.contains(field),
                    qPrintable(QStringLiteral("page %1 lacks field %2").arg(table.page).arg(int(field))));
        }
    }

    void networkWalks_data() {
        QTest::addColumn<bool>("dhcp");
        QTest::addColumn<bool>("upload");
        QTest::newRow("static, upload") << false << true;
        QTest::newRow("DHCP, serve only") << true << false;
    }

    // The main window's device comes preselected. Back from the FTP options skips the dial-out
    // options in network mode; Back from the summary returns to the last page before it.
    void networkWalks() {
        QFETCH(bool, dhcp);
        QFETCH(bool, upload);
        auto* list = child<QTableWidget>(*wizard_->page(kDeviceList), Field::DeviceListView);
        std::vector<Step> steps = {{kWelcome, {{Field::NetworkRadio}}},
                                   {kDeviceList},
                                   {kReadSettings},
                                   {kNetworkSetup, {{Field::PrimaryNetworkRadio}}},
                                   {kAddressAssignment, {{dhcp ? Field::DhcpRadio : Field::StaticRadio}}}};
        if (!dhcp)
            steps.insert(steps.end(),
                         {{kStaticAddress,
                           {{Field::IpField, kAddress},
                            {Field::MaskField, ""},
                            {Field::AutogenButton},
                            {Field::GatewayField, "127.0.0.1"}}},
                          {kDns, {{Field::Dns1Field, "127.0.0.53"}, {Field::HttpPortField, "81"}}}});
        steps.push_back({kTransmitImages, {{upload ? Field::UploadRadio : Field::ServeOnlyRadio}}});
        if (upload) {
            const auto more = uploadSteps();
            steps.insert(steps.end(), more.begin(), more.end() - 1);
        }
        QVERIFY(walk(steps));
        QCOMPARE(list->selectionModel()->selectedRows().front().row(), 1);
        QCOMPARE(session_->siteText(), kAddress.toStdString());
        if (upload) {
            back(kDays);
            QVERIFY(walk({{kDays}, {kDialOutOptions}, {kFtpOptions}}));
        }
        back(upload ? kFtpOptions : kTransmitImages);
        // From the moves on, Cancel is off and Esc leaves the sheet open.
        QAbstractButton* cancel = wizard_->button(QWizard::CancelButton);
        bool refused = false;
        OnEnabledChange watch([&] {
            if (cancel->isEnabled()) return;
            QTest::keyClick(wizard_.get(), Qt::Key_Escape);
            refused = wizard_->isVisible();
        });
        cancel->installEventFilter(&watch);
        QVERIFY(walk({{wizard_->currentId()}, {kSummary}, {kComplete}}));
        QVERIFY(refused);
        // The settings are written once "Setup Wizard Complete" shows: there is nothing to cancel.
        QVERIFY(!cancel->isEnabled());
        QCOMPARE(wizard_->result(), int(QDialog::Accepted));
        QCOMPARE(boxes_, QStringList());

        const std::string eth0 = file("ifcfg-eth0");
        for (const char* line :
             dhcp ? std::vector{"BOOTPROTO=dhcp"} : std::vector{"IPADDR=127.0.94.10", "NETMASK=255.0.0.0"})
            QVERIFY2(eth0.find(line) != std::string::npos, eth0.c_str());
        const std::string generation = wizardSession_->settings().secondGeneration ? "0" : "";
        const std::string schedule = file("sched" + generation + ".conf");
        QVERIFY2(schedule.find(upload ? "sched_ftp_upload=on" : "sched_ftp_upload=off") != std::string::npos,
                 schedule.c_str());
        if (upload) QVERIFY(file("ftp" + generation + ".conf").find("ftp.example.com") != std::string::npos);
        if (!dhcp) QVERIFY(file("resolv.conf").find("nameserver 127.0.0.53") != std::string::npos);
    }

    // Back from the summary and a change on an earlier page: the summary shown again says so.
    void summaryFollowsBack() {
        QVERIFY(walk({{kWelcome, {{Field::NetworkRadio}}},
                      {kDeviceList},
                      {kReadSettings},
                      {kNetworkSetup, {{Field::PrimaryNetworkRadio}}},
                      {kAddressAssignment, {{Field::DhcpRadio}}},
                      {kTransmitImages, {{Field::ServeOnlyRadio}}}}));
        QTRY_COMPARE_WITH_TIMEOUT(wizard_->currentId(), int(kSummary), kPageLimitMs);
        const auto summary = [this] {
            return child<QLabel>(*wizard_->currentPage(), Field::SummaryText)->text();
        };
        QVERIFY2(summary().contains("serving images from the internal web page"), qPrintable(summary()));
        back(kTransmitImages);
        std::vector<Step> steps = {{kTransmitImages, {{Field::UploadRadio}}}};
        const auto more = uploadSteps();
        steps.insert(steps.end(), more.begin(), more.end());
        QVERIFY(walk(steps));
        QTRY_COMPARE_WITH_TIMEOUT(wizard_->currentId(), int(kSummary), kPageLimitMs);
        QVERIFY2(summary().contains("with FTP to ftp.example.com"), qPrintable(summary()));
    }

    // A modem that dials, one whose init string is typed and a packet modem; what each model fixes
    // on the page and where each goes next are the page rules' tests' concern.
    void serialDialOut_data() {
        QTest::addColumn<QString>("modem");
        QTest::addColumn<QString>("expected");
        QTest::newRow("3JTech") << "3JTech"
                                << "DEVICE_SPEED=38400\nMODEM_INIT=AT&F\n";
        QTest::newRow("Other") << "Other"
                               << "MODEM_INIT=ATX4\nPHONE_NUMBER=5551234\n";
        QTest::newRow("iDEN Packet Data") << "iDEN Packet Data"
                                          << "PHONE_NUMBER=S=2";
    }

    // Found on COM1 and read and written over the console. A modem that dials always uploads and
    // logs in to a provider; the packet modems may only serve and skip the provider pages. The
    // page fills what each model fixes; the user types only into the fields it leaves free.
    void serialDialOut() {
        QFETCH(QString, modem);
        QFETCH(QString, expected);
        const bool dials = modem != "iDEN Packet Data";
        std::vector<Act> modemActs = {{Field::ModemCombo, modem}, {Field::ModemTimeoutField, "90"}};
        if (dials) modemActs.push_back({Field::PhoneField, "5551234"});
        if (modem == "Other") modemActs.push_back({Field::InitField, "ATX4"});
        std::vector<Step> steps = {{kWelcome, {{Field::SerialRadio}}},
                                   {kSerialPort, {{Field::PortCombo, "COM1"}}},
                                   {kSerialResult},
                                   {kReadSettings},
                                   {kNetworkSetup, {{Field::PrimaryDialOutRadio}}},
                                   {kModem, modemActs},
                                   {kWebserver}};
        if (dials) {
            steps.insert(steps.end(), {{kIspSetup,
                                        {{Field::IspUserField, "joe"},
                                         {Field::IspPasswordField, "pw"},
                                         {Field::IspVerifyField, "pw"}}},
                                       {kTransmitImages}});
            const auto more = uploadSteps();
            steps.insert(steps.end(), more.begin(), more.end());
        } else {
            steps.push_back({kTransmitImages, {{Field::ServeOnlyRadio}}});
        }
        steps.insert(steps.end(), {{kSummary}, {kComplete}});
        QVERIFY(walk(steps));
        QCOMPARE(wizardSession_->settings().serialPort, std::string("COM1"));
        QCOMPARE(wizard_->result(), int(QDialog::Accepted));
        const std::string dialout = file("dialout.conf");
        QVERIFY2(dialout.find(expected.toStdString()) != std::string::npos, dialout.c_str());
        QCOMPARE(file("ifcfg-ppp0").find("ONBOOT=yes") != std::string::npos, true);
    }

    // A phone number that would end the quote of the device's dial command: the page's own warning
    // box, and the page stays.
    void quotedPhoneNumberStaysOnItsPage() {
        QVERIFY(walk({{kWelcome, {{Field::NetworkRadio}}},
                      {kDeviceList},
                      {kReadSettings},
                      {kNetworkSetup, {{Field::PrimaryDialOutRadio}}},
                      {kModem,
                       {{Field::ModemCombo, "Other"},
                        {Field::ModemTimeoutField, "90"},
                        {Field::PhoneField, "555'; reboot; '"}}}}));
        QCOMPARE(wizard_->currentId(), int(kModem));
        QCOMPARE(boxes_, QStringList{"Invalid entry value"});
    }

    // A port that leads nowhere: the result page says why and offers only Back, to the port page.
    void serialSearchFails() {
        QVERIFY(walk({{kWelcome, {{Field::SerialRadio}}}, {kSerialPort, {{Field::PortCombo, "COM2"}}}}));
        QTRY_COMPARE_WITH_TIMEOUT(wizard_->currentId(), int(kSerialResult), kPageLimitMs);
        QCOMPARE(child<QLabel>(*wizard_->currentPage(), Field::Results)->text(),
                 QStringLiteral("The specified serial port was not found!"));
        QVERIFY(!wizard_->button(QWizard::NextButton)->isEnabled());
        back(kSerialPort);
    }

    // A device that cannot be reached: the read page says so and offers only Back, which returns
    // to the list; there the other device is chosen and read.
    void failedReadGoesBack() {
        auto* list = child<QTableWidget>(*wizard_->page(kDeviceList), Field::DeviceListView);
        QVERIFY(walk({{kWelcome, {{Field::NetworkRadio}}}}));
        QVERIFY(QTest::qWaitFor([&] { return wizard_->currentId() == kDeviceList; }));
        list->selectRow(0);
        QVERIFY(walk({{kDeviceList}, {kReadSettings}}));
        auto* failure = child<QLabel>(*wizard_->currentPage(), Field::CannotProceed);
        QTRY_VERIFY_WITH_TIMEOUT(!failure->isHidden(), kPageLimitMs);
        QCOMPARE(failure->text(), QString::fromLatin1(kCannotProceedText));
        QVERIFY(!wizard_->button(QWizard::NextButton)->isEnabled());
        QCOMPARE(wizardSession_->settings().targetIp, std::string("127.0.94.99"));
        back(kDeviceList);
        list->selectRow(1);
        QVERIFY(walk({{kDeviceList}, {kReadSettings}, {kNetworkSetup}}));
        QVERIFY(child<QLabel>(*wizard_->page(kReadSettings), Field::CannotProceed)->isHidden());
    }

    // The device refuses the password the session starts with: the prompt over the wizard names
    // the device chosen on the list, and the password typed there carries the read on.
    void passwordPromptNamesTheChosenDevice() {
        session_->setStartPassword("wrong");
        QString site;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            auto* login = qobject_cast<Login*>(QApplication::activeModalWidget());
            if (login == nullptr || !site.isEmpty()) return;
            site = child<QLabel>(*login, Login::Control::Site)->text();
            child<QLineEdit>(*login, Login::Control::Password)->setText(QStringLiteral("vorna"));
            login->accept();
        });
        answer.start(20);
        QVERIFY(walk({{kWelcome, {{Field::NetworkRadio}}}, {kDeviceList}, {kReadSettings}, {kNetworkSetup}}));
        QCOMPARE(site, kAddress);
    }

    void cancelStopsTheWorker_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("statusId");
        QTest::newRow("detecting") << int(kSerialPort) << controlId(Field::DetectStatus);
        QTest::newRow("reading") << int(kReadSettings) << controlId(Field::ReadStatus);
        QTest::newRow("writing") << int(kSummary) << controlId(Field::WriteStatus);
    }

    // Cancel right after the worker started: the sheet closes, the worker stops before its next
    // step and changes nothing on its page afterwards. The serial search lets go of the port
    // before the sheet is gone.
    void cancelStopsTheWorker() {
        QFETCH(int, page);
        QFETCH(int, statusId);
        std::vector<Step> steps = {
            {kWelcome, {{page == kSerialPort ? Field::SerialRadio : Field::NetworkRadio}}}};
        if (page != kSerialPort) steps.push_back({kDeviceList});
        if (page == kSummary)
            steps.insert(steps.end(), {{kReadSettings},
                                       {kNetworkSetup},
                                       {kAddressAssignment, {{Field::DhcpRadio}}},
                                       {kTransmitImages, {{Field::ServeOnlyRadio}}}});
        QVERIFY(walk(steps));
        QVERIFY(QTest::qWaitFor([&] { return wizard_->currentId() == page; }, kPageLimitMs));
        if (page == kSerialPort)
            child<QComboBox>(*wizard_->currentPage(), Field::PortCombo)->setCurrentIndex(1);
        const std::size_t commandsBefore = simulator_->commands(0).size();
        wizard_->button(QWizard::NextButton)->click();
        auto* status = child<QLabel>(*wizard_->currentPage(), statusId);
        if (page == kSerialPort) QTRY_VERIFY(session_->busy());  // the search holds the port
        const QString shown = status->text();
        wizard_->button(QWizard::CancelButton)->click();
        QVERIFY(!wizard_->isVisible());
        if (page == kSerialPort) QVERIFY(!session_->busy());
        QTRY_VERIFY_WITH_TIMEOUT(!session_->busy(), kPageLimitMs);
        QCOMPARE(status->text(), shown);
        const auto commands = simulator_->commands(0);
        const auto sent = [&](const std::string& what) {
            return std::any_of(commands.begin() + commandsBefore, commands.end(),
                               [&](const std::string& c) { return c.starts_with(what); });
        };
        QVERIFY(!sent(page == kSummary ? "mv " : "cat /etc/version"));
        QVERIFY(!sent("reboot"));
    }

private:
    // Does each step's acts on its page (once it is shown) and presses Next, or Finish at the end.
    bool walk(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            if (!QTest::qWaitFor([&] { return wizard_->currentId() == step.page; }, kPageLimitMs)) {
                qWarning("waited for page %d on page %d", step.page, wizard_->currentId());
                return false;
            }
            QWizardPage& page = *wizard_->currentPage();
            for (const Act& act : step.acts) {
                if (auto* combo = child<QComboBox>(page, act.field)) {
                    combo->setCurrentIndex(combo->findText(act.text));
                    emit combo->activated(combo->currentIndex());
                } else if (auto* edit = child<QLineEdit>(page, act.field)) {
                    edit->setText(act.text);
                } else if (auto* button = child<QAbstractButton>(page, act.field)) {
                    button->click();
                } else {
                    qWarning("page %d has no control %d", step.page, static_cast<int>(act.field));
                    return false;
                }
            }
            QAbstractButton* next =
                wizard_->button(step.page == kComplete ? QWizard::FinishButton : QWizard::NextButton);
            if (!next->isEnabled()) {
                qWarning("page %d: %s is off", step.page, qPrintable(next->text()));
                return false;
            }
            next->click();
        }
        return true;
    }

    void back(int expected) {
        QVERIFY(wizard_->button(QWizard::BackButton)->isEnabled());
        wizard_->button(QWizard::BackButton)->click();
        QCOMPARE(wizard_->currentId(), expected);
    }

    std::string file(const std::string& name) const {
        return simulator_->fileText(0, "/etc/config/" + name).value_or("");
    }

    const QString kAddress = QStringLiteral("127.0.94.10");
    std::unique_ptr<sim::Simulator> simulator_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<WizardSession> wizardSession_;
    std::unique_ptr<SetupWizard> wizard_;
    QStringList boxes_;
};

QTEST_MAIN(SetupWizardTest)
#include "SetupWizardTest.moc"

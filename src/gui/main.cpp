#include "core/link/Session.h"
#include "gui/app/CLmToolsApp.h"

int main(int argc, char* argv[]) {
    lm::gui::CLmToolsApp::answerHelpOrVersion(argc, argv);
    lm::gui::CLmToolsApp app(argc, argv);
    lm::NetworkProfile profile;
    lm::SerialPortMap serialPorts = lm::SerialPortMap::standard();
    if (!app.prepare(profile, serialPorts)) app.exitNow(app.exitCode());

    lm::Session session(std::move(profile), lm::Timing{}, std::move(serialPorts));
    session.serial().setBitRate(app.serialBitRate());
    app.exitNow(app.run(session));
}

#include "config/configuration.h"

#include "app/timer_settings.h"
#include "config/config_image.h"
#include "content/cw_message.h"
#include "link/timer_command.h"
#include "link/timer_session.h"
#include "ui/operator_panel.h"

void readConfiguration(TimerSession& session) {
    OperatorPanel& panel = session.panel();
    if (!session.echoCommand(TimerCommand::readConfiguration)) {
        panel.showMessage(ConfigurationText::commandFailed);
        return;
    }
    // The whole image in one read: a timer that stops short leaves the settings as they
    // were rather than half replaced.
    ConfigImage image;
    if (session.port().Read(image.bytes.data(), image.bytes.size()) < image.bytes.size()) {
        panel.showMessage(ConfigurationText::readFailed);
        return;
    }
    TimerSettings& settings = session.settings();
    image.decode(settings, session.clockHz());
    panel.showForm(settings);
    panel.updateModeControls(settings);
    panel.playInformationSound();
}

void writeConfiguration(TimerSession& session) {
    OperatorPanel& panel = session.panel();
    TimerSettings& settings = session.settings();
    // A field that failed its check has been reported already; the block is built from
    // the values as the form left them.
    panel.readForm(settings);
    WaitCursor wait(panel);
    const ConfigBlock block = encodeConfigBlock(settings, session.clockHz());
    if (!session.writeBlock(TimerMemoryMap::configAddress, TimerMemoryMap::configLength, block)) {
        panel.showMessage(ConfigurationText::writeFailed);
        return;
    }
    // Neither the CW message nor the apply command stops the sequence: the configuration
    // block is in the timer already and should take effect.
    downloadCwMessage(session);
    session.echoCommand(TimerCommand::apply);
    panel.sleepMs(applyWaitMs);
    panel.playInformationSound();
}

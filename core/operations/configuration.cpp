#include "core/operations/configuration.h"

#include <cstdio>
#include <vector>

#include "core/formats/config_image.h"
#include "core/formats/cw_message.h"
#include "core/link/timer_command.h"
#include "core/link/timer_session.h"
#include "core/operations/whole_setup.h"
#include "core/operator_panel.h"
#include "core/settings_view.h"
#include "core/timer_settings.h"

bool readConfiguration(OperationContext& op, ConfigImage* read) {
    if (!op.session.echoCommand(TimerCommand::readConfiguration)) {
        op.panel.showMessage(ConfigurationText::commandFailed);
        return false;
    }
    // The whole image in one read: a timer that stops short leaves the settings as they
    // were rather than half replaced.
    ConfigImage image;
    if (!op.session.readReply(image.bytes)) {
        op.panel.showMessage(ConfigurationText::readFailed);
        return false;
    }
    image.decode(op.settings, op.session.clockHz());
    op.view.showForm(op.settings);
    op.view.updateModeControls(op.settings);
    if (!image.settingsStored()) op.panel.showMessage(ConfigurationText::noSettingsStored);
    op.panel.playInformationSound();
    if (read) *read = image;
    return true;
}

bool writeConfiguration(OperationContext& op) {
    // A field that failed its check has been reported already; the block is built from
    // the values as the form left them.
    op.view.readForm(op.settings);
    WaitCursor wait(op.panel);
    const ConfigBlock block = encodeConfigBlock(op.settings, op.session.clockHz());
    if (!op.session.writeBlock(TimerMemoryMap::configAddress, TimerMemoryMap::configLength, block)) {
        reportBlockFailure(op, ConfigurationText::writeFailed);
        return false;
    }
    // Neither the CW message nor the apply command stops the sequence: the configuration
    // block is in the timer already and should take effect. A stop asked for now leaves
    // out the CW block, not the apply.
    const bool cwWritten = !op.session.interrupted() && downloadCwMessage(op);
    op.session.echoCommand(TimerCommand::apply);
    op.panel.sleepMs(applyWaitMs);
    op.panel.playInformationSound();
    return cwWritten;
}

bool downloadCwMessage(OperationContext& op) {
    const std::string& text = op.settings.cwText;
    if (text.empty()) {
        op.panel.showMessage(CwMessageText::empty);
        return true;
    }
    if (text.size() > static_cast<std::size_t>(cwTextMaxLength)) {
        op.panel.showMessage(CwMessageText::tooLong);
        return true;
    }
    const CwMessageBlock block = encodeCwMessage(text);
    if (!op.session.writeBlock(TimerMemoryMap::cwMessageAddress, TimerMemoryMap::cwMessageLength, block)) {
        reportBlockFailure(op, CwMessageText::writeFailed);
        return false;
    }
    return true;
}

void reportBlockFailure(OperationContext& op, std::string_view message) {
    if (!op.session.interrupted()) op.panel.showMessage(message);
}

namespace {

// "CW block at 32": the block of the parameter memory that starts at address.
std::string blockName(std::uint8_t address) {
    using namespace TimerMemoryMap;
    const char* name = "block";
    if (address == configAddress) name = "configuration block";
    if (address == soundLengthAddress) name = "sound length";
    if (address == transmitSequenceAddress) name = "transmit sequence block";
    if (address == cwMessageAddress) name = "CW block";
    if (address == toneSequenceAddress) name = "tone sequence block";
    if (address == ringtoneAddress) name = "ringtone block";
    return name + std::string(" at ") + std::to_string(address);
}

void addName(std::string& list, const std::string& name) {
    if ((", " + list + ", ").find(", " + name + ", ") != std::string::npos) return;
    list += (list.empty() ? "" : ", ") + name;
}

} // namespace

std::string reachedTimerReport(const TimerSession& session) {
    const std::vector<WrittenBlock>& blocks = session.writtenBlocks();
    std::string applied, notApplied;
    for (std::size_t i = 0; i < blocks.size(); ++i)
        addName(i < session.appliedBlockCount() ? applied : notApplied, blockName(blocks[i].address));
    std::string report;
    const auto add = [&report](const std::string& part) { report += (report.empty() ? "" : "; ") + part; };
    if (!applied.empty()) add("written and applied: " + applied);
    if (!notApplied.empty()) add("written, not applied: " + notApplied);
    if (const std::size_t uploaded = session.uploadedBlockCount(); uploaded > 0)
        add(std::to_string(uploaded) + " sample blocks uploaded");
    return report.empty() ? "nothing written" : report;
}

VerifyReport verifyWrittenBlocks(TimerSession& session, std::span<const WrittenBlock> blocks) {
    VerifyReport report;
    std::vector<WrittenBlock> compared;
    for (const WrittenBlock& block : blocks) {
        if (block.address >= TimerMemoryMap::imageLength) {
            addName(report.beyondImage, blockName(block.address));
            continue;
        }
        addName(report.compared, blockName(block.address));
        compared.push_back(block);
    }
    // The form's words, as the window reports the same difference, and the cell after them.
    if (const std::optional<ReadBackDifference> difference = readBackDifference(session, compared)) {
        report.difference = VerifyText::failedPrefix + difference->text;
        if (difference->cell) *report.difference += " (cell " + std::to_string(*difference->cell) + ")";
    }
    return report;
}

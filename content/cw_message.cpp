#include "content/cw_message.h"

#include <algorithm>

#include "app/settings_form.h"
#include "link/timer_session.h"
#include "ui/operator_panel.h"

CwMessageBlock encodeCwMessage(const std::string& text) {
    // The timer stops keying at the first zero byte, so the block always keeps one.
    CwMessageBlock block{};
    const std::size_t n = std::min<std::size_t>(text.size(), cwTextMaxLength);
    std::copy_n(text.begin(), n, block.begin());
    return block;
}

std::string decodeCwMessage(const std::uint8_t* block) {
    // A block that was never written holds no zero byte (erased cells read 0xFF); the
    // text then ends where the longest text that can be written would end, never past
    // the block.
    const std::uint8_t* end = std::find(block, block + cwTextMaxLength, 0);
    return std::string(block, end);
}

bool downloadCwMessage(TimerSession& session) {
    OperatorPanel& panel = session.panel();
    const std::string& text = session.settings().cwText;
    if (text.empty()) {
        panel.showMessage(CwMessageText::empty);
        return true;
    }
    if (text.size() > static_cast<std::size_t>(cwTextMaxLength)) {
        panel.showMessage(CwMessageText::tooLong);
        return true;
    }
    const CwMessageBlock block = encodeCwMessage(text);
    if (!session.writeBlock(TimerMemoryMap::cwMessageAddress, TimerMemoryMap::cwMessageLength, block)) {
        panel.showMessage(CwMessageText::writeFailed);
        return false;
    }
    return true;
}

#include "core/formats/cw_message.h"

#include <algorithm>

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

#include "core/formats/utf8.h"

#include "core/formats/utf8_path.h"

namespace {

constexpr unsigned char continuationMask = 0xC0;
constexpr unsigned char continuationTag = 0x80;
constexpr char32_t lastCodePoint = 0x10FFFF;
constexpr char32_t firstSurrogate = 0xD800;
constexpr char32_t lastSurrogate = 0xDFFF;

struct LeadByte {
    unsigned char mask;
    unsigned char tag;
    int continuations;
    char32_t smallest; // anything below it has a shorter form
};
constexpr LeadByte leadBytes[] = {
    {0x80, 0x00, 0, 0x0}, {0xE0, 0xC0, 1, 0x80}, {0xF0, 0xE0, 2, 0x800}, {0xF8, 0xF0, 3, 0x10000}};

} // namespace

std::string latin1ToUtf8(std::string_view latin1) {
    std::string text;
    text.reserve(latin1.size() * 2);
    for (char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(continuationTag | (byte & 0x3F));
        }
    }
    return text;
}

std::optional<std::u32string> decodeUtf8(std::string_view utf8) {
    std::u32string characters;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i++]);
        const LeadByte* form = nullptr;
        for (const LeadByte& candidate : leadBytes)
            if ((lead & candidate.mask) == candidate.tag) form = &candidate;
        if (!form || i + static_cast<std::size_t>(form->continuations) > utf8.size()) return std::nullopt;
        char32_t c = lead & static_cast<unsigned char>(~form->mask);
        for (int k = 0; k < form->continuations; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i++]);
            if ((next & continuationMask) != continuationTag) return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < form->smallest || c > lastCodePoint || (c >= firstSurrogate && c <= lastSurrogate))
            return std::nullopt;
        characters += c;
    }
    return characters;
}

std::filesystem::path utf8Path(std::string_view utf8) {
#if defined(_WIN32)
    if (!decodeUtf8(utf8)) return {};
#endif
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Name(const std::filesystem::path& path) {
    const std::u8string name = path.generic_u8string();
    return std::string(name.begin(), name.end());
}

bool readableAsFile(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
}

#pragma once
// Text in UTF-8, as consoles, editors and scripts hold it, and the timer's one-byte
// characters, which are Latin-1: byte n is the character U+00n.

#include <optional>
#include <string>
#include <string_view>

std::string latin1ToUtf8(std::string_view latin1);
// The characters of UTF-8 text; nothing when the text is not valid UTF-8 (stray or missing
// continuation bytes, overlong forms, surrogates, numbers beyond U+10FFFF).
std::optional<std::u32string> decodeUtf8(std::string_view utf8);

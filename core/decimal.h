#pragma once
// Decimal integers in text, read the same way everywhere: the form's fields, the settings
// text, the tone sequence, the port links and the command lines.

#include <optional>
#include <string_view>

// The C library's white space: blank, tab, line feed, vertical tab, form feed, return.
bool isBlank(char c);

// Text of decimal digits only, as a non-negative int; nothing for any other text or for a
// number beyond an int.
std::optional<int> parseDigits(std::string_view text);

// A decimal integer with an optional sign and blanks around it; nothing for anything else
// or for a number beyond an int.
std::optional<int> parseInteger(std::string_view text);

// The C library's decimal rule: leading blanks, an optional sign, then the digits up to the
// first other character. No digits give 0; a number beyond an int saturates, as strtol does.
int leadingInteger(std::string_view text);

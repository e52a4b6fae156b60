// Checks on text a user gives, before it is shown or passed on.
#ifndef CVCORE_USER_TEXT_H
#define CVCORE_USER_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace cvcore {

// A control byte: below 0x20, or 0x7F.
bool is_control(char c);

// Text as a message may show it: control bytes as \xHH, so that no input
// reaches the terminal that reads the message as a command to it.
std::string escape_controls(std::string_view text);

// The offset of the first control byte, or npos.
std::size_t control_character_in(std::string_view text);

// Whether `text` is UTF-8: the offset of the first byte that breaks it, or
// npos. A character cut short by the end is reported at its first byte.
std::size_t invalid_utf8_in(std::string_view text);

}  // namespace cvcore

#endif

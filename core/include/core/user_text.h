// Checks on text a user gives, before it is shown or passed on.
#ifndef CORE_USER_TEXT_H
#define CORE_USER_TEXT_H

#include <cstddef>
#include <string_view>

namespace core {

// The offset of the first control byte (platform/escaped_text.h), or npos.
std::size_t control_character_in(std::string_view text);

// Whether `text` is UTF-8: the offset of the first byte that breaks it, or
// npos. A character cut short by the end is reported at its first byte.
std::size_t invalid_utf8_in(std::string_view text);

}  // namespace core

#endif

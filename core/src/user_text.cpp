#include "core/user_text.h"

#include "platform/escaped_text.h"

namespace core {

std::size_t control_character_in(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (platform::is_control(text[i])) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::size_t invalid_utf8_in(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        // The sequence's length, and the range its second byte must lie in
        // (which rules out overlong forms, surrogates and values past U+10FFFF).
        std::size_t length = 1;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return i;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= text.size()) {
                return i;  // the lead of a character the end cuts short
            }
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF)) {
                return i + k;
            }
        }
        i += length;
    }
    return std::string_view::npos;
}

}  // namespace core

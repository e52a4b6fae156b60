// Blank-padded text: measuring and justifying fields, searching text.
#include "text/blank_text.h"

#include <cstring>

namespace {

constexpr char BLANK = ' ';

}  // namespace

void justify_field(char* field, std::int32_t width, std::int32_t mode, std::int32_t* length,
                   std::int32_t* position)
{
    // 1. Skip leading blanks; `count` is left as the width from the first
    //    non-blank byte to the end of the field.
    std::int32_t start = 0;
    std::int32_t count = width;
    while (count > 0 && field[start] == BLANK) {
        ++start;
        --count;
    }

    // 2. Nothing but blanks (or no field at all).
    if (count <= 0) {
        if (length != nullptr) {
            *length = 0;
        }
        if (position != nullptr) {
            *position = 0;
        }
        return;
    }

    // 3. Trim trailing blanks; the scan stops at the non-blank found above.
    std::int32_t trimmed = count;
    while (field[start + trimmed - 1] == BLANK) {
        --trimmed;
    }
    const std::int32_t trailing = count - trimmed;

    // 4. The shift, positive to the right. Centring computes in 64 bits so
    //    that width + trimmed cannot overflow.
    std::int64_t shift = 0;
    switch (mode) {
    case 'C':
    case 'c':
        shift = count - (static_cast<std::int64_t>(width) + trimmed + 1) / 2;
        break;
    case 'L':
    case 'l':
        shift = -start;
        break;
    case 'R':
    case 'r':
        shift = trailing;
        break;
    default:
        break;
    }

    // 5. Move the text and blank the positions it left.
    if (shift != 0) {
        char* text = field + start;
        std::memmove(text + shift, text, static_cast<std::size_t>(trimmed));
        if (shift < 0) {
            std::memset(text + shift + trimmed, BLANK, static_cast<std::size_t>(-shift));
        } else {
            std::memset(text, BLANK, static_cast<std::size_t>(shift));
        }
    }

    // 6. Results.
    if (position != nullptr) {
        *position = static_cast<std::int32_t>(start + shift);
    }
    if (length != nullptr) {
        *length = trimmed;
    }
}

std::int32_t find_text(const char* text, std::int32_t text_length, const char* word,
                       std::int32_t word_length)
{
    if (word_length <= 0) {
        if (word_length == 0 || word == nullptr) {
            return 0;
        }
        word_length = static_cast<std::int32_t>(std::strlen(word));
    }
    if (text_length <= 0) {
        return -1;
    }
    const std::int64_t candidates = static_cast<std::int64_t>(text_length) - word_length + 1;
    // Byte by byte, leaving a candidate at its first difference: the words
    // are short and most candidates differ in their first byte or two.
    for (std::int64_t i = 0; i < candidates; ++i) {
        std::int32_t j = 0;
        while (j < word_length && text[i + j] == word[j]) {
            ++j;
        }
        if (j == word_length) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}
